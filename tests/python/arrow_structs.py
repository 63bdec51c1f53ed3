"""The Arrow C data interface's two structs, read and made with ctypes alone:
how the tests see an Arrow column with no Arrow library (and no numpy)
installed."""
import ctypes
import threading


class ArrowSchema(ctypes.Structure):
    pass


class ArrowArray(ctypes.Structure):
    pass


ArrowSchema._fields_ = [("format", ctypes.c_char_p), ("name", ctypes.c_char_p), ("metadata", ctypes.c_char_p),
                        ("flags", ctypes.c_int64), ("n_children", ctypes.c_int64),
                        ("children", ctypes.c_void_p), ("dictionary", ctypes.c_void_p),
                        ("release", ctypes.CFUNCTYPE(None, ctypes.POINTER(ArrowSchema))),
                        ("private_data", ctypes.c_void_p)]
ArrowArray._fields_ = [("length", ctypes.c_int64), ("null_count", ctypes.c_int64), ("offset", ctypes.c_int64),
                       ("n_buffers", ctypes.c_int64), ("n_children", ctypes.c_int64),
                       ("buffers", ctypes.POINTER(ctypes.c_void_p)), ("children", ctypes.c_void_p),
                       ("dictionary", ctypes.c_void_p),
                       ("release", ctypes.CFUNCTYPE(None, ctypes.POINTER(ArrowArray))),
                       ("private_data", ctypes.c_void_p)]


# ctypes of the free-threaded CPython 3.13 is not safe to use from several
# threads at once (ThreadSanitizer sees races inside it, and it can crash):
# the thread tests read their columns through arrow_rows, which holds this
# lock, while the module's own calls that made the columns run outside it.
_ctypes_lock = threading.Lock()

# A function of its own, typed once here rather than by setting the types of
# the shared ctypes.pythonapi.PyCapsule_GetPointer on each call.
_capsule_pointer = ctypes.PYFUNCTYPE(ctypes.c_void_p, ctypes.py_object, ctypes.c_char_p)(
    ("PyCapsule_GetPointer", ctypes.pythonapi))


def arrow_column_struct(column):
    """The structs behind a column's capsules, and the capsules, which own them."""
    schema, array = column.__arrow_c_array__()
    get = _capsule_pointer
    return (ctypes.cast(get(schema, b"arrow_schema"), ctypes.POINTER(ArrowSchema)).contents,
            ctypes.cast(get(array, b"arrow_array"), ctypes.POINTER(ArrowArray)).contents, (schema, array))


def arrow_rows(column):
    """A column of fixed-width integers (date32 and int32, or the 64-bit
    timestamps and times) as a list, None where a row is null."""
    with _ctypes_lock:
        schema, array, capsules = arrow_column_struct(column)  # the capsules hold the structs
        width = ctypes.c_int32 if schema.format in (b"tdD", b"i") else ctypes.c_int64
        values = ctypes.cast(array.buffers[1], ctypes.POINTER(width))
        bits = ctypes.cast(array.buffers[0], ctypes.POINTER(ctypes.c_uint8))
        return [values[i] if not bits or bits[i // 8] >> (i % 8) & 1 else None
                for i in range(array.offset, array.offset + array.length)]
