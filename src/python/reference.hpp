// An owned reference to a Python object: its count is given back when the
// holder goes, on every path out of a function. Plain PyObject* in the frame
// are borrowed, or new references handed straight on to the caller.
#pragma once

#include "compat.hpp"

#include <utility>

namespace kairodex::python {

class Owned {
  public:
    Owned() noexcept = default;
    // Takes over a new reference, or null (a failed call, its exception set).
    explicit Owned(PyObject* new_reference) noexcept : object_(new_reference) {}
    Owned(Owned&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    Owned& operator=(Owned&& other) noexcept {
        Py_XDECREF(std::exchange(object_, std::exchange(other.object_, nullptr)));
        return *this;
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    ~Owned() { Py_XDECREF(object_); }

    PyObject* get() const noexcept { return object_; }
    explicit operator bool() const noexcept { return object_ != nullptr; }

    // Hands the reference on: to the caller as a result, say.
    PyObject* release() noexcept { return std::exchange(object_, nullptr); }

    // Where a call that gives a new reference through an out-parameter
    // (PyDict_GetItemStringRef, PyObject_GetOptionalAttrString) puts it.
    PyObject** out() noexcept {
        Py_XDECREF(std::exchange(object_, nullptr));
        return &object_;
    }

  private:
    PyObject* object_ = nullptr;
};

}  // namespace kairodex::python
