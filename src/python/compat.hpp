// What differs between the interpreters the module is built for, CPython
// 3.13, 3.14 and 3.15: the frame calls the names here, and only this file,
// compat.cpp and compat_export.cpp test the interpreter's version.
//
//   type creation       3.15 takes slot records (PyType_FromSlots); before,
//                       a PyType_Spec (PyType_FromMetaclass)
//   a class's own call  a classic slot from 3.14 on (Py_tp_vectorcall); on
//                       3.13 the type's field, set once the type is made
//   immortal objects    3.15 can make an object immortal; before, it stays
//                       an ordinary object
//   text writers        PyUnicodeWriter from 3.14 on; on 3.13 a stand-in of
//                       the same name and calls (compat.cpp)
//   export hooks        3.15 loads PyModExport_kairodex or PyInit_kairodex,
//                       both leading to one slot list; before, PyInit_kairodex
//                       alone, with classic module slots (compat_export.cpp)
//   free threading      a free-threaded build (Py_GIL_DISABLED) runs module
//                       code in several threads at once: what the module
//                       shares between calls must then need no GIL
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstdint>

#if PY_VERSION_HEX < 0x030D0000
#error "kairodex needs CPython 3.13 or later"
#endif

namespace kairodex::python::compat {

// Whether the interpreter is a free-threaded build, where no GIL serialises
// calls into the module.
#ifdef Py_GIL_DISABLED
inline constexpr bool free_threaded = true;
#else
inline constexpr bool free_threaded = false;
#endif

// The classic slot that names a class's own call (Date(...)): CPython's own
// number from 3.14 on; on 3.13 the same number, which create_type takes out
// of the slots before the interpreter sees them.
#ifdef Py_tp_vectorcall
inline constexpr int tp_vectorcall = Py_tp_vectorcall;
#else
inline constexpr int tp_vectorcall = 82;
#endif

// Creates a heap type from its qualified name ("kairodex.Date"), flags,
// instance size and classic slots (ended by a zero slot; on 3.13 the array is
// rewritten in place). New reference; null with an exception set.
inline PyObject* create_type(const char* qualified_name, std::uint64_t flags, Py_ssize_t basicsize,
                             PyType_Slot* slots) noexcept {
#if PY_VERSION_HEX >= 0x030F0000
    PySlot records[5] = {};
    records[0].sl_id = Py_tp_name;
    records[0].sl_flags = PySlot_INTPTR;
    records[0].sl_ptr = const_cast<char*>(qualified_name);
    records[1].sl_id = Py_tp_flags;
    records[1].sl_uint64 = flags;
    records[2].sl_id = Py_tp_slots;
    records[2].sl_flags = PySlot_INTPTR;
    records[2].sl_ptr = slots;
    records[3].sl_id = Py_tp_basicsize;
    records[3].sl_size = basicsize;
    // records[4] is the end record.
    return PyType_FromSlots(records);
#else
    vectorcallfunc vectorcall = nullptr;
#if PY_VERSION_HEX < 0x030E0000
    PyType_Slot* kept = slots;
    for (PyType_Slot* slot = slots;; ++slot) {
        if (slot->slot == tp_vectorcall) {
            vectorcall = reinterpret_cast<vectorcallfunc>(slot->pfunc);
            continue;
        }
        *kept++ = *slot;
        if (slot->slot == 0) break;
    }
#endif
    PyType_Spec spec = {qualified_name, static_cast<int>(basicsize), 0, static_cast<unsigned int>(flags), slots};
    PyObject* type = PyType_FromMetaclass(nullptr, nullptr, &spec, nullptr);
    if (type != nullptr && vectorcall != nullptr) reinterpret_cast<PyTypeObject*>(type)->tp_vectorcall = vectorcall;
    return type;
#endif
}

// Makes `object` immortal where the interpreter can; elsewhere it stays an
// ordinary object, which its holders keep alive as before. 3.13's
// free-threaded build has no call for it, but counts an object whose local
// count is at its maximum as immortal, as it makes its own: set so, no thread
// writes its counts again.
inline void make_immortal(PyObject* object) noexcept {
#if PY_VERSION_HEX >= 0x030F0000
    PyUnstable_SetImmortal(object);
#elif defined(Py_GIL_DISABLED) && PY_VERSION_HEX < 0x030E0000
    object->ob_tid = 0;
    object->ob_ref_local = _Py_IMMORTAL_REFCNT_LOCAL;
    object->ob_ref_shared = 0;
#else
    (void)object;
#endif
}

// Every instance holds a reference to its class, so under free threading
// each value made or freed on any thread writes the class's reference count,
// one cache line that the threads then take from each other: with two
// threads making values, 3.13's free-threaded build did less work than with
// one. The classes live as long as the process, so there they become
// immortal, and their counts are never written. (3.14 and later count a
// class's references per thread; with the GIL, nothing is shared.)
inline void settle_class(PyObject* type) noexcept {
#if defined(Py_GIL_DISABLED) && PY_VERSION_HEX < 0x030E0000
    make_immortal(type);
#else
    (void)type;
#endif
}

}  // namespace kairodex::python::compat

namespace kairodex::python {

// The module body (module.cpp), which the export hooks (compat_export.cpp) lead to:
// registers the module's classes on a new module object, then its other
// members. 0, or -1 with an exception set.
int module_exec(PyObject* module) noexcept;

// What a module adds besides its classes (its functions, its exceptions),
// defined by each module's own file; 0, or -1 with an exception set.
int add_module_members(PyObject* module) noexcept;

// Adds `value` to the module as `name` and appends the name to `__all__`.
// 0, or -1 with an exception set.
int add_public(PyObject* module, const char* name, PyObject* value) noexcept;

// The module's docstring, defined by each module's own file.
extern const char module_doc[];

}  // namespace kairodex::python

#if PY_VERSION_HEX < 0x030E0000
// CPython 3.14's text writer, the calls the frame makes of it, for 3.13: the
// pieces are kept in a list and joined at the end.
struct PyUnicodeWriter;
PyUnicodeWriter* PyUnicodeWriter_Create(Py_ssize_t length) noexcept;
int PyUnicodeWriter_WriteUTF8(PyUnicodeWriter* writer, const char* text, Py_ssize_t size) noexcept;
int PyUnicodeWriter_Format(PyUnicodeWriter* writer, const char* format, ...) noexcept;
PyObject* PyUnicodeWriter_Finish(PyUnicodeWriter* writer) noexcept;
void PyUnicodeWriter_Discard(PyUnicodeWriter* writer) noexcept;
#endif
