// The process-wide type objects, created on first use from each class's
// surface and what every class shares; in a companion module, the calendar
// classes are those of the kairodex module.
#include "binding.hpp"
#include "errors.hpp"
#include "instance.hpp"
#include "reference.hpp"

#include <array>
#include <atomic>
#include <cstring>
#include <utility>

namespace kairodex::python {
namespace {

// What the registry needs of a class, by place in the list.
struct ClassRecord {
    const ClassSurface& surface;
    Py_ssize_t basicsize;
    const char* qualified_name;  // "kairodex.Date"
};

// "kairodex.Date": the module's name, a dot and the class's.
template <int index>
constexpr auto qualified_name = [] {
    constexpr std::string_view name = class_names[index];
    constexpr std::string_view module = module_name(class_modules[index]);
    std::array<char, module.size() + 1 + name.size() + 1> chars{};
    std::size_t at = 0;
    for (const char c : module) chars[at++] = c;
    chars[at++] = '.';
    for (const char c : name) chars[at++] = c;
    return chars;
}();

constexpr auto records = []<std::size_t... I>(std::index_sequence<I...>) {
    return std::array<ClassRecord, class_count>{
        ClassRecord{class_surfaces[I], instance_size<ValueAt<I>>, qualified_name<static_cast<int>(I)>.data()}...};
}(std::make_index_sequence<class_count>{});

// One lock per class. PyMutex releases the GIL while it waits, so a thread that
// waits here never blocks the creating thread when creation needs the GIL
// back (a garbage collection, say).
PyMutex creation_locks[class_count];

// The classic slot array of a class: what every class shares, then what its
// surface declares.
class SlotList {
  public:
    explicit SlotList(const ClassSurface& surface) noexcept {
        add(Py_tp_base, &PyBaseObject_Type);
        add(Py_tp_dealloc, reinterpret_cast<void*>(surface.dealloc != nullptr ? surface.dealloc : &dealloc_instance));
        add(Py_tp_doc, const_cast<char*>(surface.constructor.doc));
        add(Py_tp_alloc, reinterpret_cast<void*>(&refuse_allocation));
        add(Py_tp_new, surface.constructor.new_instance != nullptr
                           ? reinterpret_cast<void*>(surface.constructor.new_instance)
                           : reinterpret_cast<void*>(&refuse_instantiation));
        add(compat::tp_vectorcall, reinterpret_cast<void*>(surface.constructor.vectorcall));
        add(Py_tp_methods, surface.methods);
        add(Py_tp_getset, surface.getters);
        add(Py_tp_str, reinterpret_cast<void*>(surface.str));
        add(Py_tp_repr, reinterpret_cast<void*>(surface.repr));
        add(Py_tp_richcompare, reinterpret_cast<void*>(surface.richcompare));
        add(Py_tp_hash, reinterpret_cast<void*>(surface.hash));
        for (const PyType_Slot& slot : surface.other_slots) add(slot.slot, slot.pfunc);
        slots_[count_] = {0, nullptr};
    }

    PyType_Slot* data() noexcept { return slots_; }

  private:
    void add(int slot, void* value) noexcept {
        if (value != nullptr) slots_[count_++] = {slot, value};
    }

    static constexpr int capacity = 24;
    PyType_Slot slots_[capacity];
    int count_ = 0;
};

// Drops a class whose set-up failed. Its dictionary is emptied first, as the
// collector would: an attribute can refer back to the class through objects
// that the collector does not see (the Weekday instances), and that cycle
// would keep both alive for good.
void discard(Owned type) noexcept {
    auto* as_type = reinterpret_cast<PyTypeObject*>(type.get());
    PyType_Modified(as_type);
    if (const Owned dict{PyType_GetDict(as_type)}) PyDict_Clear(dict.get());
}

// A class's __new__ as the interpreter makes it reaches the class through its
// tp_new, which Python code changes: once the class has been given a __new__
// of its own, tp_new is the interpreter's generic one, and stays so when the
// original __new__ is put back (as unittest.mock does when a patch ends), and
// that original then refuses every call. So the class's dictionary holds a
// __new__ of the module's own, bound to the class as the interpreter's is and
// with its docstring, which calls the class's constructor itself: put back,
// it keeps working. A call that is not for the class (no type, another type)
// goes to the interpreter's own __new__, for its refusal.
PyMethodDef own_new_definitions[class_count] = {};
PyObject* interpreter_new[class_count] = {};

template <int index>
PyObject* own_new(PyObject* cls, PyObject* args, PyObject* kwargs) noexcept {
    const Py_ssize_t count = PyTuple_GET_SIZE(args);
    // No class here has subclasses: the class itself is the one type asked for.
    if (count == 0 || PyTuple_GET_ITEM(args, 0) != cls) return PyObject_Call(interpreter_new[index], args, kwargs);
    const Owned rest{PyTuple_GetSlice(args, 1, count)};
    if (!rest) return nullptr;
    auto* type = reinterpret_cast<PyTypeObject*>(cls);
    const newfunc construct = class_surfaces[index].constructor.new_instance;
    return construct != nullptr ? construct(type, rest.get(), kwargs) : refuse_instantiation(type, rest.get(), kwargs);
}

constexpr auto own_new_functions = []<std::size_t... I>(std::index_sequence<I...>) {
    return std::array<PyCFunctionWithKeywords, class_count>{&own_new<static_cast<int>(I)>...};
}(std::make_index_sequence<class_count>{});

// Puts the class's own __new__ into its dictionary, written there directly:
// an assignment would make the interpreter's generic function its tp_new.
// Gives the interpreter's __new__ (which refers to the class), for the caller
// to keep once the class is made; null with an exception set.
Owned install_own_new(PyTypeObject* type, int index) noexcept {
    const Owned dict{PyType_GetDict(type)};
    Owned original;
    if (!dict || PyDict_GetItemStringRef(dict.get(), "__new__", original.out()) < 0) return {};
    if (!original || !PyCFunction_Check(original.get())) {
        PyErr_SetString(PyExc_SystemError, "a new class has no built-in __new__");
        return {};
    }
    PyMethodDef& definition = own_new_definitions[index];
    definition = {"__new__", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(own_new_functions[index])),
                  METH_VARARGS | METH_KEYWORDS, reinterpret_cast<PyCFunctionObject*>(original.get())->m_ml->ml_doc};
    const Owned own{PyCFunction_NewEx(&definition, reinterpret_cast<PyObject*>(type), nullptr)};
    if (!own || PyDict_SetItemString(dict.get(), "__new__", own.get()) < 0) return {};
    PyType_Modified(type);
    return original;
}

PyTypeObject* create(const ClassRecord& record, int index) noexcept {
    object_init.store(PyBaseObject_Type.tp_init, std::memory_order_relaxed);
    const ClassSurface& surface = record.surface;
    SlotList class_slots(surface);
    // No flags: the classes are neither base types nor immutable, and a class
    // without a constructor refuses in its tp_new (SlotList).
    Owned type{compat::create_type(record.qualified_name, 0, record.basicsize, class_slots.data())};
    if (!type) return nullptr;
    auto* as_type = reinterpret_cast<PyTypeObject*>(type.get());
    // The class attributes last: once the Weekday class has its seven, the
    // module holds them, and nothing of the set-up may fail any more.
    Owned original_new;
    if (bind_class_methods(as_type, surface.methods) < 0 || !(original_new = install_own_new(as_type, index)) ||
        (surface.add_class_attributes != nullptr && surface.add_class_attributes(as_type) < 0)) {
        discard(std::move(type));
        return nullptr;
    }
    interpreter_new[index] = original_new.release();  // kept for as long as the class
    compat::settle_class(type.get());
    return reinterpret_cast<PyTypeObject*>(type.release());
}

// A calendar class in a companion module: the kairodex module's own class
// (imported, so that kairodex's own checks run first), checked to be what
// this build of the frame takes it for: a class of that name whose instances
// are plain blocks holding the value record as here. Kept for good, as
// kairodex keeps it. Null with an exception set.
PyTypeObject* adopt(int index) noexcept {
    const Owned calendar{PyImport_ImportModule(module_name(Module::calendar))};
    if (!calendar) return nullptr;
    // Its block pool's shelves, where the blocks of its classes' instances go
    // back to (one lookup in its interpreter's dictionary; none there, the
    // module's own shelves serve).
    if (PyObject* dict = PyInterpreterState_GetDict(PyInterpreterState_Get())) {
        Owned capsule;
        if (PyDict_GetItemStringRef(dict, BlockPool::shelves_key, capsule.out()) < 0) return nullptr;
        if (capsule && PyCapsule_IsValid(capsule.get(), BlockPool::shelves_key)) {
            BlockPool::share_shelves(
                *static_cast<const BlockPool::Shelves*>(PyCapsule_GetPointer(capsule.get(), BlockPool::shelves_key)));
        }
    }
    const Owned found{PyObject_GetAttrString(calendar.get(), class_names[index])};
    if (!found) return nullptr;
    auto* type = reinterpret_cast<PyTypeObject*>(found.get());
    if (!PyType_Check(found.get()) || std::strcmp(type->tp_name, records[index].qualified_name) != 0 ||
        type->tp_basicsize != records[index].basicsize || type->tp_itemsize != 0 || PyType_IS_GC(type) ||
        PyType_HasFeature(type, Py_TPFLAGS_BASETYPE)) {
        PyErr_Format(PyExc_ImportError, "module %s needs the class %s of kairodex, not %R", module_name(this_module),
                     records[index].qualified_name, found.get());
        return nullptr;
    }
    return reinterpret_cast<PyTypeObject*>(Py_NewRef(found.get()));
}

}  // namespace

PyObject* refuse_allocation(PyTypeObject* type, Py_ssize_t) noexcept {
    return PyErr_Format(PyExc_TypeError, "object.__new__(%s) is not safe, use %s.__new__()", type->tp_name,
                        type->tp_name);
}

PyObject* refuse_instantiation(PyTypeObject* type, PyObject*, PyObject*) noexcept {
    return PyErr_Format(PyExc_TypeError, "cannot create '%s' instances", type->tp_name);
}

constinit ClassSurface class_surfaces[class_count] = {};
std::atomic<PyTypeObject*> type_objects[class_count];

PyTypeObject* create_type_object(ClassId id) noexcept {
    const int index = static_cast<int>(id);
    if (module_of(id) != this_module) {
        if (module_of(id) != Module::calendar) {
            PyErr_Format(PyExc_SystemError, "module %s has no class %s", module_name(this_module), class_name(id));
            return nullptr;
        }
        PyMutex_Lock(&creation_locks[index]);
        PyTypeObject* type = type_objects[index].load(std::memory_order_acquire);
        if (type == nullptr && (type = adopt(index)) != nullptr)
            type_objects[index].store(type, std::memory_order_release);
        PyMutex_Unlock(&creation_locks[index]);
        return type;
    }
    PyMutex_Lock(&creation_locks[index]);
    PyTypeObject* type = type_objects[index].load(std::memory_order_acquire);
    if (type == nullptr) {
        type = create(records[index], index);
        if (type != nullptr) type_objects[index].store(type, std::memory_order_release);
    }
    PyMutex_Unlock(&creation_locks[index]);
    if (type != nullptr) return type;

    // The failure is reported as unraisable and the internal-failure exception
    // raised in its place; where that cannot be created, the failure propagates.
    char message[96];
    PyOS_snprintf(message, sizeof message, "failed to create type object for `%s`", class_name(id));
    raise_panic(message, Pending::Report);
    return nullptr;
}

}  // namespace kairodex::python
