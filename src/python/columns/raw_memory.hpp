// Memory of the columns' own: from the interpreter's raw allocator, which any
// thread may call without the GIL (the workers fill and grow it, and a
// consumer of an exported Arrow array gives it back from wherever it is done)
// and which tracemalloc sees.
#pragma once

#include "compat.hpp"

#include <cstddef>
#include <cstring>
#include <utility>

namespace kairodex::python {

// An array of `T` that is given back when its holder goes.
template <class T>
class RawArray {
  public:
    RawArray() noexcept = default;
    RawArray(RawArray&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}
    RawArray& operator=(RawArray&& other) noexcept {
        PyMem_RawFree(std::exchange(data_, std::exchange(other.data_, nullptr)));
        size_ = std::exchange(other.size_, 0);
        return *this;
    }
    ~RawArray() { PyMem_RawFree(data_); }

    // Room for `count` items (at least one, so that an empty array has an
    // address too), unset; false where memory ran out (no exception set).
    bool allocate(std::size_t count) noexcept {
        PyMem_RawFree(std::exchange(data_, nullptr));
        size_ = 0;
        if (count > PY_SSIZE_T_MAX / sizeof(T)) return false;
        data_ = static_cast<T*>(PyMem_RawMalloc((count > 0 ? count : 1) * sizeof(T)));
        if (data_ != nullptr) size_ = count;
        return data_ != nullptr;
    }

    // Room for at least `count` items, keeping those there are; false where
    // memory ran out, the items kept.
    bool reserve(std::size_t count) noexcept {
        if (count <= size_) return true;
        if (count > PY_SSIZE_T_MAX / sizeof(T)) return false;
        const std::size_t grown = count > 2 * size_ ? count : 2 * size_;
        T* moved = static_cast<T*>(PyMem_RawRealloc(data_, grown * sizeof(T)));
        if (moved == nullptr) return false;
        data_ = moved;
        size_ = grown;
        return true;
    }

    T* data() const noexcept { return data_; }
    std::size_t size() const noexcept { return size_; }
    T& operator[](std::size_t i) const noexcept { return data_[i]; }

    // Hands the memory on, to be given back with PyMem_RawFree.
    T* release() noexcept {
        size_ = 0;
        return std::exchange(data_, nullptr);
    }

  private:
    T* data_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace kairodex::python
