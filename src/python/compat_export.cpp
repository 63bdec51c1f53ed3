// The module's export hooks, as each interpreter version loads them (see
// compat.hpp); both lead to module_exec. Their names carry the module's
// import name, KAIRODEX_MODULE_NAME (kairodex, kairodex_tz...).
#include "classes.hpp"

#ifndef KAIRODEX_MODULE_NAME
#define KAIRODEX_MODULE_NAME kairodex
#endif
#define KAIRODEX_JOIN_NAMES(a, b) a##b
#define KAIRODEX_EXPORT_HOOK(prefix, name) KAIRODEX_JOIN_NAMES(prefix, name)
#define KAIRODEX_TEXT_OF(name) #name
#define KAIRODEX_NAME_TEXT(name) KAIRODEX_TEXT_OF(name)

static_assert(std::string_view(KAIRODEX_NAME_TEXT(KAIRODEX_MODULE_NAME)) ==
                  kairodex::python::module_name(kairodex::python::this_module),
              "the export hooks are named after the module the frame is built for");

namespace kairodex::python {
namespace {

#if PY_VERSION_HEX >= 0x030F0000

// Built for the interpreter's own build (GIL-enabled or free-threaded), not
// the stable ABI.
PyABIInfo abi_info = {1, 0, compat::free_threaded ? PyABIInfo_FREETHREADED : PyABIInfo_GIL, 0, 0};

PySlot make_slot(std::uint16_t id, std::uint16_t flags, void* value) noexcept {
    PySlot slot{};
    slot.sl_id = id;
    slot.sl_flags = flags;
    slot.sl_ptr = value;
    return slot;
}

PySlot module_slots[] = {
    [] {
        PySlot slot{};
        slot.sl_id = Py_mod_exec;
        slot.sl_func = reinterpret_cast<_Py_funcptr_t>(&module_exec);
        return slot;
    }(),
    make_slot(Py_mod_abi, PySlot_STATIC, &abi_info),
    make_slot(Py_mod_gil, PySlot_INTPTR, Py_MOD_GIL_NOT_USED),
    make_slot(Py_mod_name, PySlot_STATIC, const_cast<char*>(module_name(this_module))),
    make_slot(Py_mod_doc, PySlot_STATIC, const_cast<char*>(module_doc)),
    // The type objects are process-wide, shared by every module object, so
    // sub-interpreters (with their own object spaces) are refused at import.
    make_slot(Py_mod_multiple_interpreters, PySlot_INTPTR, Py_MOD_MULTIPLE_INTERPRETERS_NOT_SUPPORTED),
    PySlot{},
};

PyModuleDef_Slot legacy_slots[] = {
    {Py_slot_subslots, module_slots},
    {0, nullptr},
};

#else

// The same module in classic slots, which name and document it through the
// definition below.
PyModuleDef_Slot legacy_slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(&module_exec)},
    {Py_mod_gil, Py_MOD_GIL_NOT_USED},
    {Py_mod_multiple_interpreters, Py_MOD_MULTIPLE_INTERPRETERS_NOT_SUPPORTED},
    {0, nullptr},
};

#endif

PyModuleDef legacy_definition = {
    PyModuleDef_HEAD_INIT, module_name(this_module), module_doc, 0, nullptr, legacy_slots, nullptr, nullptr, nullptr,
};

}  // namespace
}  // namespace kairodex::python

#if PY_VERSION_HEX >= 0x030F0000
PyMODEXPORT_FUNC KAIRODEX_EXPORT_HOOK(PyModExport_, KAIRODEX_MODULE_NAME)(void) {
    return kairodex::python::module_slots;
}
#endif

PyMODINIT_FUNC KAIRODEX_EXPORT_HOOK(PyInit_, KAIRODEX_MODULE_NAME)(void) {
    return PyModuleDef_Init(&kairodex::python::legacy_definition);
}
