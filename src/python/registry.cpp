// The process-wide type objects, created on first use from each class's spec.
#include "frame.hpp"

#include <atomic>

namespace kairodex::python {

extern const ClassSpec weekday_class;
extern const ClassSpec date_class;
extern const ClassSpec time_class;
extern const ClassSpec duration_class;
extern const ClassSpec datetime_class;
extern const ClassSpec utc_offset_class;
extern const ClassSpec offset_datetime_class;

namespace {

const ClassSpec* const specs[class_count] = {
    &weekday_class,         &date_class, &time_class, &duration_class, &datetime_class, &utc_offset_class,
    &offset_datetime_class,
};

// One lock per class. PyMutex releases the GIL while it waits, so a thread that
// waits here never blocks the creating thread when creation needs the GIL
// back (a garbage collection, say).
PyMutex creation_locks[class_count];

// Replaces each class method's descriptor in the class dictionary by the method
// already bound to the class. A classmethod descriptor makes a new bound
// method object on every `Class.method` lookup; a bound method stored in the
// dictionary is found and called as it is, by the interpreter's attribute
// caches too. Reached through an instance, it is the same method, bound to
// the class; the classes cannot be subclassed, so no other class could need
// its own binding.
int bind_class_methods(PyTypeObject* type, const PyType_Slot* slots) noexcept {
    for (; slots->slot != 0; ++slots) {
        if (slots->slot != Py_tp_methods) continue;
        for (auto* def = static_cast<PyMethodDef*>(slots->pfunc); def->ml_name != nullptr; ++def) {
            if ((def->ml_flags & METH_CLASS) == 0) continue;
            PyObject* bound = PyCFunction_NewEx(def, reinterpret_cast<PyObject*>(type), nullptr);
            if (bound == nullptr) return -1;
            const int status = PyObject_SetAttrString(reinterpret_cast<PyObject*>(type), def->ml_name, bound);
            Py_DECREF(bound);
            if (status < 0) return -1;
        }
    }
    return 0;
}

// Drops a class whose set-up failed. Its dictionary is emptied first, as the
// collector would: an attribute can refer back to the class through objects
// that the collector does not see (the Weekday instances), and that cycle
// would keep both alive for good.
void discard(PyObject* type) noexcept {
    PyType_Modified(reinterpret_cast<PyTypeObject*>(type));
    if (PyObject* dict = PyType_GetDict(reinterpret_cast<PyTypeObject*>(type))) {
        PyDict_Clear(dict);
        Py_DECREF(dict);
    }
    Py_DECREF(type);
}

PyTypeObject* create(const ClassSpec& spec) noexcept {
    PySlot slots[5] = {};
    slots[0].sl_id = Py_tp_name;
    slots[0].sl_flags = PySlot_INTPTR;
    slots[0].sl_ptr = const_cast<char*>(spec.qualified_name);
    slots[1].sl_id = Py_tp_flags;
    slots[1].sl_uint64 = spec.flags;
    slots[2].sl_id = Py_tp_slots;
    slots[2].sl_flags = PySlot_INTPTR;
    slots[2].sl_ptr = spec.slots;
    slots[3].sl_id = Py_tp_basicsize;
    slots[3].sl_size = spec.basicsize;
    // slots[4] is the end record.

    PyObject* type = PyType_FromSlots(slots);
    if (type == nullptr) return nullptr;
    if (bind_class_methods(reinterpret_cast<PyTypeObject*>(type), spec.slots) < 0 ||
        (spec.add_class_attributes != nullptr &&
         spec.add_class_attributes(reinterpret_cast<PyTypeObject*>(type)) < 0)) {
        discard(type);
        return nullptr;
    }
    return reinterpret_cast<PyTypeObject*>(type);
}

}  // namespace

std::atomic<PyTypeObject*> type_objects[class_count];

const ClassSpec& class_spec(ClassId id) noexcept { return *specs[static_cast<int>(id)]; }

const char* class_name(ClassId id) noexcept { return class_spec(id).name; }

PyTypeObject* create_type_object(ClassId id) noexcept {
    const int index = static_cast<int>(id);
    PyMutex_Lock(&creation_locks[index]);
    PyTypeObject* type = type_objects[index].load(std::memory_order_acquire);
    if (type == nullptr) {
        type = create(*specs[index]);
        if (type != nullptr) type_objects[index].store(type, std::memory_order_release);
    }
    PyMutex_Unlock(&creation_locks[index]);
    if (type != nullptr) return type;

    // The failure is reported as unraisable and the internal-failure exception
    // raised in its place; where that cannot be created, the failure propagates.
    char message[96];
    PyOS_snprintf(message, sizeof message, "failed to create type object for `%s`", specs[index]->name);
    raise_panic(message, Pending::Report);
    return nullptr;
}

}  // namespace kairodex::python
