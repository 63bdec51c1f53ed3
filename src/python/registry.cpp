// The process-wide type objects, created on first use from each class's
// surface and what every class shares.
#include "errors.hpp"
#include "instance.hpp"
#include "reference.hpp"

#include <array>
#include <atomic>
#include <utility>

namespace kairodex::python {
namespace {

// What the registry needs of a class, by place in the list.
struct ClassRecord {
    const ClassSurface& surface;
    Py_ssize_t basicsize;
    const char* qualified_name;  // "kairodex.Date"
};

template <class Value>
constexpr auto qualified_name = [] {
    constexpr std::string_view name = class_name_of<Value>;
    constexpr std::string_view module = "kairodex.";
    std::array<char, module.size() + name.size() + 1> chars{};
    std::size_t at = 0;
    for (const char c : module) chars[at++] = c;
    for (const char c : name) chars[at++] = c;
    return chars;
}();

constexpr auto records = []<std::size_t... I>(std::index_sequence<I...>) {
    return std::array<ClassRecord, class_count>{
        ClassRecord{class_surfaces[I], instance_size<ValueAt<I>>, qualified_name<ValueAt<I>>.data()}...};
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
        add(Py_tp_dealloc, reinterpret_cast<void*>(&dealloc_instance));
        add(Py_tp_doc, const_cast<char*>(surface.constructor.doc));
        add(Py_tp_new, reinterpret_cast<void*>(surface.constructor.new_instance));
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

PyTypeObject* create(const ClassRecord& record) noexcept {
    const ClassSurface& surface = record.surface;
    SlotList class_slots(surface);
    // A class without a constructor has its values from elsewhere only.
    const std::uint64_t flags = surface.constructor.new_instance == nullptr ? Py_TPFLAGS_DISALLOW_INSTANTIATION : 0;
    Owned type{compat::create_type(record.qualified_name, flags, record.basicsize, class_slots.data())};
    if (!type) return nullptr;
    auto* as_type = reinterpret_cast<PyTypeObject*>(type.get());
    if (bind_class_methods(as_type, surface.methods) < 0 ||
        (surface.add_class_attributes != nullptr && surface.add_class_attributes(as_type) < 0)) {
        discard(std::move(type));
        return nullptr;
    }
    compat::settle_class(type.get());
    return reinterpret_cast<PyTypeObject*>(type.release());
}

}  // namespace

constinit ClassSurface class_surfaces[class_count] = {};
std::atomic<PyTypeObject*> type_objects[class_count];

PyTypeObject* create_type_object(ClassId id) noexcept {
    const int index = static_cast<int>(id);
    PyMutex_Lock(&creation_locks[index]);
    PyTypeObject* type = type_objects[index].load(std::memory_order_acquire);
    if (type == nullptr) {
        type = create(records[index]);
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
