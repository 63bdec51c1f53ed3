#include "convert.hpp"
#include "reference.hpp"

#include <climits>

namespace kairodex::python {
namespace {

constexpr const char long_overflow[] = "Python int too large to convert to C long";
constexpr const char integral_overflow[] = "out of range integral type conversion attempted";

// CPython's conversion to a 32-bit C long, with the same texts on every
// platform: an int outside the 32-bit range (beyond 64 bits included) gets
// the C long overflow text, whatever the wider conversion said. An object's
// own __index__ runs first, so that what it raises, an OverflowError
// included, reaches the caller as it was raised.
bool to_long32(PyObject* object, long long& out) noexcept {
    const Owned index{PyLong_Check(object) ? Py_NewRef(object) : PyNumber_Index(object)};
    if (!index) return false;
    const long long value = PyLong_AsLongLong(index.get());
    if (value == -1 && PyErr_Occurred()) {
        if (!PyErr_ExceptionMatches(PyExc_OverflowError)) return false;
        PyErr_SetString(PyExc_OverflowError, long_overflow);
        return false;
    }
    if (value < INT32_MIN || value > INT32_MAX) {
        PyErr_SetString(PyExc_OverflowError, long_overflow);
        return false;
    }
    out = value;
    return true;
}

// After a failed look-up of a type's name: -1 where memory ran out, with
// MemoryError still set; 0, with the error cleared, where the name is merely
// missing or odd (a class with no `__module__`), which no numpy type is.
int not_named_unless_out_of_memory() noexcept {
    if (PyErr_ExceptionMatches(PyExc_MemoryError)) return -1;
    PyErr_Clear();
    return 0;
}

// 1 for numpy's bool type, 0 for any other, -1 with MemoryError set.
int is_numpy_bool(PyTypeObject* type) noexcept {
    const Owned module{PyType_GetModuleName(type)};
    if (!module) return not_named_unless_out_of_memory();
    if (!PyUnicode_Check(module.get()) || !PyUnicode_EqualToUTF8(module.get(), "numpy")) return 0;
    const Owned name{PyType_GetName(type)};
    if (!name) return not_named_unless_out_of_memory();
    return PyUnicode_EqualToUTF8(name.get(), "bool_") || PyUnicode_EqualToUTF8(name.get(), "bool") ? 1 : 0;
}

}  // namespace

bool convert_any(PyObject* object, std::uint8_t& out) noexcept {
    long long value = 0;
    if (!to_long32(object, value)) return false;
    if (value < 0 || value > UINT8_MAX) {
        PyErr_SetString(PyExc_OverflowError, integral_overflow);
        return false;
    }
    out = static_cast<std::uint8_t>(value);
    return true;
}

bool convert_any(PyObject* object, std::int32_t& out) noexcept {
    long long value = 0;
    if (!to_long32(object, value)) return false;
    out = static_cast<std::int32_t>(value);
    return true;
}

bool convert_any(PyObject* object, std::uint32_t& out) noexcept {
    const Owned index{PyLong_Check(object) ? Py_NewRef(object) : PyNumber_Index(object)};
    if (!index) return false;
    const unsigned long long value = PyLong_AsUnsignedLongLong(index.get());
    if (value == static_cast<unsigned long long>(-1) && PyErr_Occurred()) return false;
    if (value > UINT32_MAX) {
        PyErr_SetString(PyExc_OverflowError, integral_overflow);
        return false;
    }
    out = static_cast<std::uint32_t>(value);
    return true;
}

bool convert_any(PyObject* object, std::int64_t& out) noexcept {
    long long value = PyLong_AsLongLong(object);
    if (value == -1 && PyErr_Occurred()) return false;
    out = value;
    return true;
}

// Through 16 little-endian bytes, so that the value crosses the same way
// whatever the machine's byte order and whether i128 is built in.
bool convert_any(PyObject* object, i128& out) noexcept {
    const Owned index{PyNumber_Index(object)};
    if (!index) return false;
    Bytes16 value{};
    const Py_ssize_t needed =
        PyLong_AsNativeBytes(index.get(), value.bytes, sizeof value.bytes, Py_ASNATIVEBYTES_LITTLE_ENDIAN);
    if (needed < 0) return false;
    if (needed > static_cast<Py_ssize_t>(sizeof value.bytes)) {
        PyErr_SetString(PyExc_OverflowError, "Python int larger than 128 bits");
        return false;
    }
    out = from_le_bytes(value);
    return true;
}

bool convert(PyObject* object, bool& out) noexcept {
    if (PyBool_Check(object)) {
        out = object == Py_True;
        return true;
    }
    PyTypeObject* type = Py_TYPE(object);
    const int numpy_bool = is_numpy_bool(type);
    if (numpy_bool < 0) return false;
    if (numpy_bool == 0) {
        raise_not_instance(object, "bool");
        return false;
    }
    auto truth = reinterpret_cast<inquiry>(PyType_GetSlot(type, Py_nb_bool));
    if (truth == nullptr) {
        PyErr_Format(PyExc_TypeError, "object of type '%S' does not define a '__bool__' conversion",
                     reinterpret_cast<PyObject*>(type));
        return false;
    }
    int result = truth(object);
    if (result < 0) return false;
    out = result != 0;
    return true;
}

bool convert_any(PyObject* object, std::string_view& out) noexcept {
    if (!PyUnicode_Check(object)) {
        raise_not_instance(object, "str");
        return false;
    }
    Py_ssize_t size = 0;
    const char* data = PyUnicode_AsUTF8AndSize(object, &size);
    if (data == nullptr) return false;
    out = std::string_view(data, static_cast<std::size_t>(size));
    return true;
}

void raise_not_a_choice(PyObject* object, const std::string_view* words, std::size_t count) noexcept {
    PyUnicodeWriter* writer = PyUnicodeWriter_Create(0);
    if (writer == nullptr) return;
    int status = PyUnicodeWriter_WriteUTF8(writer, "expected one of ", -1);
    for (std::size_t i = 0; i < count && status == 0; ++i) {
        const char* separator = i == 0 ? "" : (i + 1 < count ? ", " : " or ");
        status =
            PyUnicodeWriter_Format(writer, "%s'%.*s'", separator, static_cast<int>(words[i].size()), words[i].data());
    }
    if (status == 0) status = PyUnicodeWriter_Format(writer, ", not %R", object);
    if (status < 0) {
        PyUnicodeWriter_Discard(writer);
        return;
    }
    if (const Owned message{PyUnicodeWriter_Finish(writer)}) PyErr_SetObject(PyExc_ValueError, message.get());
}

PyObject* to_python(i128 value) noexcept {
    if (value >= INT64_MIN && value <= INT64_MAX) return PyLong_FromLongLong(static_cast<long long>(value));
    const Bytes16 bytes = to_le_bytes(value);
    return PyLong_FromNativeBytes(bytes.bytes, sizeof bytes.bytes, Py_ASNATIVEBYTES_LITTLE_ENDIAN);
}

}  // namespace kairodex::python
