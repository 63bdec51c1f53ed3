// The module's export hooks, and CPython 3.14's text writer for 3.13: what of
// compat.hpp needs a definition.
#include "compat.hpp"

#include <cstdarg>

namespace kairodex::python {
namespace {

#if PY_VERSION_HEX >= 0x030F0000

// Built for the GIL-enabled interpreter, not the stable ABI.
PyABIInfo abi_info = {1, 0, PyABIInfo_GIL, 0, 0};

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
    make_slot(Py_mod_name, PySlot_STATIC, const_cast<char*>("kairodex")),
    make_slot(Py_mod_doc, PySlot_STATIC, const_cast<char*>("")),
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
    PyModuleDef_HEAD_INIT, "kairodex", "", 0, nullptr, legacy_slots, nullptr, nullptr, nullptr,
};

}  // namespace
}  // namespace kairodex::python

#if PY_VERSION_HEX >= 0x030F0000
PyMODEXPORT_FUNC PyModExport_kairodex(void) { return kairodex::python::module_slots; }
#endif

PyMODINIT_FUNC PyInit_kairodex(void) { return PyModuleDef_Init(&kairodex::python::legacy_definition); }

#if PY_VERSION_HEX < 0x030E0000

struct PyUnicodeWriter {
    PyObject* pieces;  // a list of str
};

PyUnicodeWriter* PyUnicodeWriter_Create(Py_ssize_t) noexcept {
    auto* writer = static_cast<PyUnicodeWriter*>(PyMem_Malloc(sizeof(PyUnicodeWriter)));
    if (writer == nullptr) {
        PyErr_NoMemory();
        return nullptr;
    }
    writer->pieces = PyList_New(0);
    if (writer->pieces == nullptr) {
        PyMem_Free(writer);
        return nullptr;
    }
    return writer;
}

namespace {

// Appends a new reference; -1 where there is none or it cannot be kept.
int append_piece(PyUnicodeWriter* writer, PyObject* piece) noexcept {
    if (piece == nullptr) return -1;
    const int status = PyList_Append(writer->pieces, piece);
    Py_DECREF(piece);
    return status;
}

}  // namespace

int PyUnicodeWriter_WriteUTF8(PyUnicodeWriter* writer, const char* text, Py_ssize_t size) noexcept {
    return append_piece(writer, PyUnicode_DecodeUTF8(text, size, "strict"));
}

int PyUnicodeWriter_Format(PyUnicodeWriter* writer, const char* format, ...) noexcept {
    std::va_list arguments;
    va_start(arguments, format);
    PyObject* piece = PyUnicode_FromFormatV(format, arguments);
    va_end(arguments);
    return append_piece(writer, piece);
}

PyObject* PyUnicodeWriter_Finish(PyUnicodeWriter* writer) noexcept {
    PyObject* empty = PyUnicode_FromStringAndSize(nullptr, 0);
    PyObject* text = empty == nullptr ? nullptr : PyUnicode_Join(empty, writer->pieces);
    Py_XDECREF(empty);
    PyUnicodeWriter_Discard(writer);
    return text;
}

void PyUnicodeWriter_Discard(PyUnicodeWriter* writer) noexcept {
    if (writer == nullptr) return;
    Py_DECREF(writer->pieces);
    PyMem_Free(writer);
}

#endif
