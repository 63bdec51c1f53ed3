// The module frame shared by every class surface: the class registry, the
// instance layout, and the error paths. Nothing here knows any particular
// class beyond the mapping from a core value type to its class.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <atomic>
#include <cstddef>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>

#include "kairodex/calendar_error.hpp"
#include "kairodex/date.hpp"

#if defined(__ELF__) && defined(__has_attribute)
#if __has_attribute(tls_model)
#define KAIRODEX_INITIAL_EXEC_TLS __attribute__((tls_model("initial-exec")))
#endif
#endif
#ifndef KAIRODEX_INITIAL_EXEC_TLS
#define KAIRODEX_INITIAL_EXEC_TLS
#endif

namespace kairodex {
struct Time;
struct Duration;
struct DateTime;
struct UtcOffset;
struct OffsetDateTime;
}  // namespace kairodex

namespace kairodex::python {

// ---------------------------------------------------------------------------
// Class registry
// ---------------------------------------------------------------------------

// Registration order: the order of `__all__` and of the module's attributes.
enum class ClassId : int { Weekday, Date, Time, Duration, DateTime, UtcOffset, OffsetDateTime };
constexpr int class_count = 7;

// Everything needed to create one class's type object.
struct ClassSpec {
    const char* qualified_name;  // "kairodex.Date"
    const char* name;            // "Date"
    unsigned long flags;         // 0, or Py_TPFLAGS_DISALLOW_INSTANTIATION
    PyType_Slot* slots;          // the classic slot array, ending with {0, nullptr}
    Py_ssize_t basicsize;
    // Sets the class attributes on the new type object; null when there are none.
    int (*add_class_attributes)(PyTypeObject* type);
};

// The core value type of each class, in ClassId order.
using ClassValues = std::tuple<Weekday, Date, Time, Duration, DateTime, UtcOffset, OffsetDateTime>;
static_assert(std::tuple_size_v<ClassValues> == class_count);

// The place of `Value` in ClassValues, or -1 for a type that has no class.
template <class Value>
constexpr int class_index = []<std::size_t... I>(std::index_sequence<I...>) {
    int index = -1;
    ((std::is_same_v<Value, std::tuple_element_t<I, ClassValues>> ? (void)(index = static_cast<int>(I)) : (void)0),
     ...);
    return index;
}(std::make_index_sequence<class_count>{});

template <class Value>
concept ValueClass = class_index<Value> >= 0;

// The class of a core value type.
template <ValueClass Value>
constexpr ClassId class_of = static_cast<ClassId>(class_index<Value>);

// The class's spec, defined in the class's own file.
const ClassSpec& class_spec(ClassId id) noexcept;

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

// The plain name of a class ("Date"), for messages.
const char* class_name(ClassId id) noexcept;

// ---------------------------------------------------------------------------
// Instances: the object header, then the value record, nothing else.
// ---------------------------------------------------------------------------

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
// dozen per size at most; like all module state, used with the GIL held.
// (Off under AddressSanitizer, which should see every use after free.)
class BlockPool {
  public:
#if defined(__SANITIZE_ADDRESS__)
    static constexpr int capacity = 0;
#else
    static constexpr int capacity = 32;
#endif
    static constexpr Py_ssize_t largest = 64;

    static void* take(Py_ssize_t size) noexcept {
        if constexpr (capacity > 0) {
            Shelf& shelf = shelves_[size / 8];
            if (shelf.count > 0) return shelf.blocks[--shelf.count];
        }
        return PyObject_Malloc(static_cast<std::size_t>(size));
    }

    // A block of `size` bytes from PyObject_Malloc.
    static void give(void* block, Py_ssize_t size) noexcept {
        if constexpr (capacity > 0) {
            Shelf& shelf = shelves_[size / 8];
            if (shelf.count < capacity) {
                shelf.blocks[shelf.count++] = block;
                return;
            }
        }
        PyObject_Free(block);
    }

  private:
    struct Shelf {
        int count;
        void* blocks[capacity > 0 ? capacity : 1];
    };
    static inline constinit Shelf shelves_[largest / 8 + 1] = {};
};

// Whether instances of `type` are plain blocks of `size` bytes from
// PyObject_Malloc, as for every class here: no garbage collection, no items,
// the generic allocator and deallocator.
inline bool is_plain_block(PyTypeObject* type, Py_ssize_t size) noexcept {
    return type->tp_alloc == PyType_GenericAlloc && type->tp_free == PyObject_Free && !PyType_IS_GC(type) &&
           type->tp_itemsize == 0 && type->tp_basicsize == size && size <= BlockPool::largest;
}

// A new instance of `type` holding `value`; null with MemoryError set.
template <class Value>
PyObject* new_instance(PyTypeObject* type, const Value& value) noexcept {
    PyObject* object = nullptr;
    if (is_plain_block(type, instance_size<Value>)) {
        // What the generic allocator does for such a type, less zeroing memory
        // that the value record overwrites at once.
        object = static_cast<PyObject*>(BlockPool::take(instance_size<Value>));
        if (object == nullptr) return PyErr_NoMemory();
        PyObject_Init(object, type);
    } else {
        object = type->tp_alloc(type, 0);
        if (object == nullptr) return nullptr;
    }
    reinterpret_cast<Instance<Value>*>(object)->value = value;
    return object;
}

// A new instance of exactly the value's own class.
template <ValueClass Value>
PyObject* new_instance(const Value& value) noexcept {
    PyTypeObject* type = type_object(class_of<Value>);
    return type == nullptr ? nullptr : new_instance(type, value);
}

// Whether `object` is an instance of the class (or of a subtype).
inline bool is_instance(PyObject* object, PyTypeObject* type) noexcept {
    return Py_IS_TYPE(object, type) || PyType_IsSubtype(Py_TYPE(object), type);
}

void dealloc_instance(PyObject* self) noexcept;

// The seven Weekday class attributes, Monday first, held by the module for
// the life of the process (so rebinding `Weekday.MONDAY` changes nothing);
// set when the Weekday class is created.
extern PyObject* weekday_objects[7];

// One of them, borrowed; null with an exception set when the Weekday class
// could not be created.
inline PyObject* weekday_object(Weekday weekday) noexcept {
    if (type_object(ClassId::Weekday) == nullptr) return nullptr;
    return weekday_objects[weekday.number % 7];
}

// ---------------------------------------------------------------------------
// Errors
// ---------------------------------------------------------------------------

// A message template: "{}" stands for the error kind's name, or for the
// argument text where `quote_argument` is set.
struct Failure {
    enum class Raises : std::uint8_t { ValueError, OverflowError };

    std::string_view message;
    bool quote_argument = false;
    Raises raises = Raises::ValueError;
};

// Raises the failure's exception with the template filled in. Always returns null.
PyObject* raise_failure(const Failure& failure, CalendarError error, std::string_view argument = {}) noexcept;

// What raise_panic does with the exception already set, if any, when it
// replaces it: drops it, or first reports it through sys.unraisablehook.
enum class Pending : std::uint8_t { Drop, Report };

// Raises the internal-failure exception with `message` in place of the
// exception already set. Where that exception type cannot be created (memory
// has run out), the exception already set propagates instead, or where there
// is none, the one that creating the type raised. Always returns null, with an
// exception set.
PyObject* raise_panic(const char* message, Pending pending = Pending::Drop) noexcept;

// Raises TypeError "'{}' object is not an instance of '{}'" (or the None
// form); MemoryError instead where the object's type name cannot be had.
void raise_not_instance(PyObject* object, const char* expected) noexcept;

// Marks the current thread as running module code for the length of a call.
class Entry {
  public:
    Entry() noexcept { ++depth_; }
    ~Entry() { --depth_; }
    Entry(const Entry&) = delete;
    Entry& operator=(const Entry&) = delete;

    static int depth() noexcept { return depth_; }

  private:
    // Defined here with a constant initialiser, so no call needs a TLS wrapper,
    // and, on ELF systems, in the initial-exec model, so no call needs
    // __tls_get_addr: one word of static TLS, which the loader keeps in
    // reserve for modules it opens.
    KAIRODEX_INITIAL_EXEC_TLS static inline constinit thread_local int depth_ = 0;
};

}  // namespace kairodex::python
