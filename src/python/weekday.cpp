// Python surface of Weekday: seven class attributes, compared and hashed by
// identity.
#include "entry.hpp"

namespace kairodex::python {
namespace {

constexpr const char* attribute_names[7] = {"MONDAY", "TUESDAY",  "WEDNESDAY", "THURSDAY",
                                            "FRIDAY", "SATURDAY", "SUNDAY"};

template <class Out>
void write_name(Out& out, Weekday weekday) noexcept {
    out.put(name_of(weekday));
}

PyMethodDef methods[] = {
    {"number_from_monday", as_method(method_noargs<number_from_monday>), METH_NOARGS,
     "number_from_monday($self)\n--\n\nGet the weekday number from Monday (1-7)."},
    {},
};

PyType_Slot slots[] = {
    {Py_tp_base, &PyBaseObject_Type},
    {Py_tp_dealloc, as_slot(dealloc_instance)},
    {Py_tp_methods, methods},
    {Py_tp_repr, as_slot(text_slot<Weekday, write_name<ReprBuffer>>)},
    {Py_tp_str, as_slot(text_slot<Weekday, write_name<ReprBuffer>>)},
    {0, nullptr},
};

int add_class_attributes(PyTypeObject* type) noexcept {
    PyObject* created[7] = {};
    for (std::uint8_t n = 0; n < 7; ++n) {
        created[n] = new_instance(type, Weekday{n});
        if (created[n] == nullptr ||
            PyObject_SetAttrString(reinterpret_cast<PyObject*>(type), attribute_names[n], created[n]) < 0) {
            for (PyObject* object : created) Py_XDECREF(object);
            return -1;
        }
    }
    for (int n = 0; n < 7; ++n) weekday_objects[n] = created[n];
    return 0;
}

}  // namespace

extern const ClassSpec weekday_class = {
    "kairodex.Weekday",   "Weekday", Py_TPFLAGS_DISALLOW_INSTANTIATION, slots, instance_size<Weekday>,
    add_class_attributes,
};

PyObject* weekday_objects[7] = {};

}  // namespace kairodex::python
