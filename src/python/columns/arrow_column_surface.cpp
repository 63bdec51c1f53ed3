// Python surface of ArrowColumn: a column that Arrow consumers (pyarrow,
// polars, pandas through them) take without a copy through the PyCapsule
// interface's __arrow_c_array__.
#include "members.hpp"

#include <new>

#include "columns/arrow.hpp"
#include "columns/arrow_column.hpp"

namespace kairodex::python {

ColumnBuffers* make_column_buffers(ArrowType type, std::int64_t length, std::int64_t null_count,
                                   RawArray<std::uint8_t>& validity, void* values) noexcept {
    void* block = PyMem_RawMalloc(sizeof(ColumnBuffers));
    if (block == nullptr) {
        PyMem_RawFree(values);
        PyErr_NoMemory();
        return nullptr;
    }
    return new (block) ColumnBuffers{{1}, length, null_count, validity.release(), values, type};
}

void drop_column_buffers(ColumnBuffers* buffers) noexcept {
    if (buffers->holders.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
    PyMem_RawFree(buffers->validity);
    PyMem_RawFree(buffers->values);
    buffers->~ColumnBuffers();
    PyMem_RawFree(buffers);
}

namespace {

// --- export -------------------------------------------------------------------

// What an exported array holds: a share of the buffers, and the list of
// buffer addresses the struct points to.
struct Exported {
    ColumnBuffers* buffers;
    const void* addresses[2];
};

void release_array(ArrowArray* array) {
    auto* exported = static_cast<Exported*>(array->private_data);
    drop_column_buffers(exported->buffers);
    PyMem_RawFree(exported);
    array->release = nullptr;
}

// The schema's strings are constants: nothing to give back but the mark.
void release_schema(ArrowSchema* schema) { schema->release = nullptr; }

// A capsule's struct, released unless its consumer moved it out (which
// leaves its release null), then given back.
void free_schema_capsule(PyObject* capsule) {
    auto* schema = static_cast<ArrowSchema*>(PyCapsule_GetPointer(capsule, arrow_schema_capsule));
    if (schema == nullptr) {
        PyErr_Clear();
        return;
    }
    if (schema->release != nullptr) schema->release(schema);
    PyMem_RawFree(schema);
}

void free_array_capsule(PyObject* capsule) {
    auto* array = static_cast<ArrowArray*>(PyCapsule_GetPointer(capsule, arrow_array_capsule));
    if (array == nullptr) {
        PyErr_Clear();
        return;
    }
    if (array->release != nullptr) array->release(array);
    PyMem_RawFree(array);
}

PyObject* schema_capsule(const ColumnBuffers& buffers) noexcept {
    auto* schema = static_cast<ArrowSchema*>(PyMem_RawMalloc(sizeof(ArrowSchema)));
    if (schema == nullptr) return PyErr_NoMemory();
    *schema = ArrowSchema{buffers.type.format, "",     nullptr, ARROW_FLAG_NULLABLE, 0, nullptr, nullptr,
                          release_schema,      nullptr};
    PyObject* capsule = PyCapsule_New(schema, arrow_schema_capsule, free_schema_capsule);
    if (capsule == nullptr) {
        PyMem_RawFree(schema);
        return nullptr;
    }
    return capsule;
}

PyObject* array_capsule(ColumnBuffers* buffers) noexcept {
    auto* array = static_cast<ArrowArray*>(PyMem_RawMalloc(sizeof(ArrowArray)));
    auto* exported = static_cast<Exported*>(PyMem_RawMalloc(sizeof(Exported)));
    if (array == nullptr || exported == nullptr) {
        PyMem_RawFree(array);
        PyMem_RawFree(exported);
        return PyErr_NoMemory();
    }
    buffers->holders.fetch_add(1, std::memory_order_relaxed);
    *exported = Exported{buffers, {buffers->validity, buffers->values}};
    *array = ArrowArray{buffers->length, buffers->null_count, 0,       2, 0, exported->addresses, nullptr,
                        nullptr,         release_array,       exported};
    PyObject* capsule = PyCapsule_New(array, arrow_array_capsule, free_array_capsule);
    if (capsule == nullptr) {
        release_array(array);
        PyMem_RawFree(array);
        return nullptr;
    }
    return capsule;
}

// --- members ------------------------------------------------------------------

PyObject* export_schema(ArrowColumnRef column) noexcept { return schema_capsule(*column.buffers); }

// The requested schema is a request that a producer may decline: the
// column's own type is the only one given.
PyObject* export_array(ArrowColumnRef column, PyObject*) noexcept {
    const Owned schema{schema_capsule(*column.buffers)};
    if (!schema) return nullptr;
    const Owned array{array_capsule(column.buffers)};
    if (!array) return nullptr;
    return PyTuple_Pack(2, schema.get(), array.get());
}

std::int64_t null_count_of(ArrowColumnRef column) noexcept { return column.buffers->null_count; }

PyObject* type_of(ArrowColumnRef column) noexcept { return PyUnicode_FromString(column.buffers->type.name); }

Py_ssize_t length_slot(PyObject* self) noexcept {
    return static_cast<Py_ssize_t>(value_of<ArrowColumnRef>(self).buffers->length);
}

// "<ArrowColumn timestamp[ns, tz=UTC], 3 rows, 1 null>".
template <class Out>
void write_repr(Out& out, ArrowColumnRef column) noexcept {
    const ColumnBuffers& buffers = *column.buffers;
    out.put("<ArrowColumn ");
    out.put(buffers.type.name);
    out.put(", ");
    put_signed(out, buffers.length);
    out.put(buffers.length == 1 ? " row, " : " rows, ");
    put_signed(out, buffers.null_count);
    out.put(buffers.null_count == 1 ? " null>" : " nulls>");
}

void dealloc_column(PyObject* self) noexcept {
    drop_column_buffers(value_of<ArrowColumnRef>(self).buffers);
    dealloc_instance(self);
}

PyMethodDef methods[] = {
    method<"__arrow_c_array__(requested_schema=None)",
           "The column as an Arrow array: a (schema, array) pair of PyCapsules of the Arrow C data interface.\n\n"
           "Consumers (pyarrow.array, polars.Series, ...) call it and share the column's memory without a copy.",
           export_array>(),
    method<"__arrow_c_schema__()", "The column's Arrow type, as a PyCapsule of the Arrow C data interface.",
           export_schema>(),
    {},
};

PyGetSetDef getters[] = {
    {"type", getter_entry<ArrowColumnRef, type_of>, nullptr, PyDoc_STR("The Arrow type of the column."), nullptr},
    {"null_count", getter_entry<ArrowColumnRef, null_count_of>, nullptr,
     PyDoc_STR("The number of missing rows (Arrow nulls)."), nullptr},
    {},
};

const PyType_Slot length_slots[] = {
    {Py_mp_length, reinterpret_cast<void*>(&length_slot)},
};

[[maybe_unused]] const bool defined = define_class<ArrowColumnRef>({
    .methods = methods,
    .getters = getters,
    .repr = text_slot<ArrowColumnRef, write_repr<ReprBuffer>>,
    .other_slots = length_slots,
    .dealloc = dealloc_column,
});

}  // namespace

PyObject* new_arrow_column(ColumnBuffers* buffers) noexcept {
    PyTypeObject* type = type_object<ArrowColumnRef>();
    PyObject* column = type != nullptr ? new_instance(type, ArrowColumnRef{buffers}) : nullptr;
    if (column == nullptr) drop_column_buffers(buffers);
    return column;
}

}  // namespace kairodex::python
