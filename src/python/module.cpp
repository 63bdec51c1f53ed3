// The module body that every module of the distribution runs: the checks of
// the interpreter it is set up in, its own classes registered in list order,
// then what the module adds of its own (add_module_members); the export
// hooks that lead to it are in compat_export.cpp.
#include "errors.hpp"
#include "instance.hpp"
#include "reference.hpp"
#include "registry.hpp"

namespace kairodex::python {
namespace {

// Reads the module's `__all__`, creating it when absent; null with an
// exception set.
Owned all_list(PyObject* module) noexcept {
    Owned all;
    const int found = PyObject_GetOptionalAttrString(module, "__all__", all.out());
    if (found < 0) return {};
    if (found == 0) {
        all = Owned{PyList_New(0)};
        if (!all || PyObject_SetAttrString(module, "__all__", all.get()) < 0) return {};
    }
    if (!PyList_Check(all.get())) {
        raise_not_instance(all.get(), "list");
        return {};
    }
    return all;
}

int register_class(PyObject* module, ClassId id) noexcept {
    PyTypeObject* type = type_object(id);
    if (type == nullptr) return -1;
    return add_public(module, class_name(id), reinterpret_cast<PyObject*>(type));
}

// Whether the module may be set up in the running interpreter; false with
// ImportError set where it may not. The classes are made once per process and
// hold objects of the interpreter that made them: another interpreter sharing
// them would share that interpreter's attribute caches and names (a method
// found on the wrong class, a freed object). So the main interpreter alone
// makes and registers them, and marks itself as their home in its own
// dictionary. Refused before anything of the module is touched: every
// sub-interpreter, isolated or legacy, and a main interpreter started again
// after the one that made the classes was finalised (an embedding
// application's Py_FinalizeEx, then Py_Initialize).
bool home_interpreter() noexcept {
    PyInterpreterState* here = PyInterpreterState_Get();
    const char* name = module_name(this_module);
    if (here != PyInterpreterState_Main()) {
        PyErr_Format(PyExc_ImportError, "module %s does not support loading in subinterpreters", name);
        return false;
    }
    // Borrowed; made on first use, so null where memory ran out (with no
    // exception set).
    PyObject* dict = PyInterpreterState_GetDict(here);
    if (dict == nullptr) {
        if (!PyErr_Occurred()) PyErr_NoMemory();
        return false;
    }
    char home_key[64];  // "kairodex.classes"
    PyOS_snprintf(home_key, sizeof home_key, "%s.classes", name);
    Owned mark;
    const int marked = PyDict_GetItemStringRef(dict, home_key, mark.out());
    if (marked != 0) return marked > 0;
    if (classes_made()) {
        PyErr_Format(PyExc_ImportError,
                     "module %s cannot be loaded again after the interpreter was re-initialized: its classes belong "
                     "to the interpreter that was finalized",
                     name);
        return false;
    }
    if (PyDict_SetItemString(dict, home_key, Py_True) < 0) return false;
    if constexpr (this_module == Module::calendar) {
        // The block pool's shelves, for the companion modules (instance.hpp).
        static constexpr BlockPool::Shelves shelves = BlockPool::exported();
        const Owned capsule{PyCapsule_New(const_cast<BlockPool::Shelves*>(&shelves), BlockPool::shelves_key, nullptr)};
        if (!capsule || PyDict_SetItemString(dict, BlockPool::shelves_key, capsule.get()) < 0) {
            PyDict_DelItemString(dict, home_key);
            return false;
        }
    }
    return true;
}

}  // namespace

int add_public(PyObject* module, const char* name, PyObject* value) noexcept {
    const Owned all = all_list(module);
    if (!all) return -1;
    const Owned text{PyUnicode_FromString(name)};
    if (!text || PyList_Append(all.get(), text.get()) < 0) {
        raise_panic("could not append __name__ to __all__");
        return -1;
    }
    return PyModule_AddObjectRef(module, name, value);
}

int module_exec(PyObject* module) noexcept {
    if (!home_interpreter()) return -1;
    // The class list is in registration order; the module's own classes are
    // its attributes, in that order.
    for (int index = 0; index < class_count; ++index) {
        if (module_of(static_cast<ClassId>(index)) != this_module || !class_listed[index]) continue;
        if (register_class(module, static_cast<ClassId>(index)) < 0) return -1;
    }
    return add_module_members(module);
}

}  // namespace kairodex::python
