// Instances: the object header, then the value record, nothing else; their
// allocation, reuse and deallocation.
#pragma once

#include "registry.hpp"

#include <cstddef>

namespace kairodex::python {

template <class Value>
struct Instance {
    PyObject_HEAD
    Value value;
};

template <class Value>
constexpr Py_ssize_t instance_size = sizeof(Instance<Value>);

template <class Value>
const Value& value_of(PyObject* object) noexcept {
    return reinterpret_cast<Instance<Value>*>(object)->value;
}

// Blocks of freed instances, kept by size for the next instance of that size:
// most values live briefly, and reuse skips the allocator both ways. A few
// dozen per size at most, used with the GIL held. Off where there is no GIL
// (the free-threaded builds, whose allocator keeps a heap per thread
// already), and under AddressSanitizer, which should see every use after
// free. The companion modules keep theirs on the calendar module's shelves
// (share_shelves): the calendar classes' blocks come back to those when
// freed, whichever module made them.
class BlockPool {
  public:
#if defined(__SANITIZE_ADDRESS__)
    static constexpr int capacity = 0;
#else
    static constexpr int capacity = compat::free_threaded ? 0 : 32;
#endif
    static constexpr Py_ssize_t largest = 64;

    static void* take(Py_ssize_t size) noexcept {
        if constexpr (capacity > 0) {
            Shelf& shelf = shelves()[size / 8];
            if (shelf.count > 0) return shelf.blocks[--shelf.count];
        }
        return PyObject_Malloc(static_cast<std::size_t>(size));
    }

    // A block of `size` bytes from PyObject_Malloc.
    static void give(void* block, Py_ssize_t size) noexcept {
        if constexpr (capacity > 0) {
            Shelf& shelf = shelves()[size / 8];
            if (shelf.count < capacity) {
                shelf.blocks[shelf.count++] = block;
                return;
            }
        }
        PyObject_Free(block);
    }

    // What the calendar module hands its companions, through its
    // interpreter's dictionary (shelves_key): its shelves and how they are
    // laid out.
    static constexpr const char shelves_key[] = "kairodex.blocks";
    struct Shelves {
        std::size_t shelf_size;
        int capacity;
        void* shelves;
    };

    static constexpr Shelves exported() noexcept { return {sizeof(Shelf), capacity, shelves_}; }

    // Takes the calendar module's shelves, where they are laid out as here.
    static void share_shelves(const Shelves& calendar) noexcept {
        if (calendar.shelf_size == sizeof(Shelf) && calendar.capacity == capacity) {
            shared_ = static_cast<Shelf*>(calendar.shelves);
        }
    }

  private:
    struct Shelf {
        int count;
        void* blocks[capacity > 0 ? capacity : 1];
    };
    static inline constinit Shelf shelves_[largest / 8 + 1] = {};
    static inline constinit Shelf* shared_ = nullptr;

    static Shelf* shelves() noexcept {
        if constexpr (this_module == Module::calendar) {
            return shelves_;
        } else {
            return shared_ != nullptr ? shared_ : shelves_;
        }
    }
};

// Every class allocates its instances itself (new_instance), each from a
// valid value, and its tp_alloc refuses: the generic allocator would hand
// out a zero-filled block, such as the date 0000-00-00, which no operation
// may ever see. Only object.__new__ reaches tp_alloc, and only once Python
// code has given the class a __new__ of its own, which turns off the
// interpreter's own check ("object.__new__(kairodex.Date) is not safe, use
// kairodex.Date.__new__()"); the refusal says what that check says.
KAIRODEX_SLOW_PATH PyObject* refuse_allocation(PyTypeObject* type, Py_ssize_t) noexcept;

// The tp_new of a class without a constructor: calling the class, with any
// arguments or none, says what the interpreter says of a type that cannot be
// instantiated. (Its flag for such types would make a debug interpreter abort
// as soon as Python code gives the class a __new__.)
KAIRODEX_SLOW_PATH PyObject* refuse_instantiation(PyTypeObject* type, PyObject*, PyObject*) noexcept;

// A new instance of `type`, one of the classes, holding `value`; null with
// MemoryError set. Instances are plain blocks of the instance size (no
// garbage collection, no items), written in full here: no zeroing first.
template <class Value>
PyObject* new_instance(PyTypeObject* type, const Value& value) noexcept {
    static_assert(instance_size<Value> <= BlockPool::largest);
    auto* object = static_cast<PyObject*>(BlockPool::take(instance_size<Value>));
    if (object == nullptr) return PyErr_NoMemory();
    PyObject_Init(object, type);
    reinterpret_cast<Instance<Value>*>(object)->value = value;
    return object;
}

// A new instance of exactly the value's own class.
template <ValueClass Value>
PyObject* new_instance(const Value& value) noexcept {
    PyTypeObject* type = type_object<Value>();
    return type == nullptr ? nullptr : new_instance(type, value);
}

// Whether `object` is an instance of the class. No class here can be
// subclassed (none has Py_TPFLAGS_BASETYPE), and each exists once per
// process, so its instances are exactly the objects of that type.
inline bool is_instance(PyObject* object, PyTypeObject* type) noexcept { return Py_IS_TYPE(object, type); }

// Every class's deallocator: the block goes back to the pool.
inline void dealloc_instance(PyObject* self) noexcept {
    PyTypeObject* type = Py_TYPE(self);
    BlockPool::give(self, type->tp_basicsize);
    Py_DECREF(type);
}

}  // namespace kairodex::python
