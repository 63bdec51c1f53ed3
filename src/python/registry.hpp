// The class registry: what each class file declares about its class (its
// surface), and the process-wide type objects made from it on first use.
#pragma once

#include "classes.hpp"
#include "reference.hpp"

#include <atomic>
#include <span>

namespace kairodex::python {

// A constructor: its text signature and the two ways a call reaches it.
struct Constructor {
    const char* doc = nullptr;  // "Date(year, month, day)\n--\n\n"
    newfunc new_instance = nullptr;
    vectorcallfunc vectorcall = nullptr;
};

// What a class file declares about its class. The registry adds what every
// class shares (the base, the deallocator, the name, the instance size), and
// a class without a constructor cannot be instantiated from Python.
struct ClassSurface {
    PyMethodDef* methods = nullptr;
    PyGetSetDef* getters = nullptr;
    Constructor constructor = {};
    reprfunc str = nullptr;
    reprfunc repr = nullptr;
    richcmpfunc richcompare = nullptr;
    hashfunc hash = nullptr;
    std::span<const PyType_Slot> other_slots = {};  // number slots, say
    // For instances that hold more than a value record (a time zone's
    // tables): gives that back, then the block (dealloc_instance).
    destructor dealloc = nullptr;
    // Sets the class attributes on the new type object.
    int (*add_class_attributes)(PyTypeObject* type) = nullptr;
};

// What each class file has declared, by place in the class list.
extern constinit ClassSurface class_surfaces[class_count];

// Declares a class: each class file calls it once, while the library loads,
// to initialise a constant of its own, long before the first type object is
// made.
template <ValueClass Value>
bool define_class(const ClassSurface& surface) noexcept {
    class_surfaces[class_index<Value>] = surface;
    return true;
}

// Replaces each class method's descriptor in the class dictionary of `type`
// by the method already bound to the class. A classmethod descriptor makes a
// new bound method object on every `Class.method` lookup; a bound method
// stored in the dictionary is found and called as it is, by the interpreter's
// attribute caches too. Reached through an instance, it is the same method,
// bound to the class; the classes cannot be subclassed, so no other class
// could need its own binding. 0, or -1 with an exception set.
inline int bind_class_methods(PyTypeObject* type, PyMethodDef* methods) noexcept {
    for (PyMethodDef* def = methods; def != nullptr && def->ml_name != nullptr; ++def) {
        if ((def->ml_flags & METH_CLASS) == 0) continue;
        const Owned bound{PyCFunction_NewEx(def, reinterpret_cast<PyObject*>(type), nullptr)};
        if (!bound || PyObject_SetAttrString(reinterpret_cast<PyObject*>(type), def->ml_name, bound.get()) < 0) {
            return -1;
        }
    }
    return 0;
}

// The type objects created so far, by class; the registry fills them in.
extern std::atomic<PyTypeObject*> type_objects[class_count];

// Creates a class's type object on first use (the slow path of type_object).
PyTypeObject* create_type_object(ClassId id) noexcept;

// The process-wide type object of a class, created on first use. Borrowed;
// null with an exception set when creation failed. Inline, since nearly every
// call into the module asks for one.
inline PyTypeObject* type_object(ClassId id) noexcept {
    if (PyTypeObject* type = type_objects[static_cast<int>(id)].load(std::memory_order_acquire)) return type;
    return create_type_object(id);
}

// Whether any type object has been made in this process.
inline bool classes_made() noexcept {
    for (const auto& type : type_objects) {
        if (type.load(std::memory_order_acquire) != nullptr) return true;
    }
    return false;
}

template <ValueClass Value>
PyTypeObject* type_object() noexcept {
    return type_object(class_of<Value>);
}

}  // namespace kairodex::python
