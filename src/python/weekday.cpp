// Python surface of Weekday: seven class attributes, compared and hashed by
// identity.
#include "members.hpp"

namespace kairodex::python {
namespace {

constexpr const char* attribute_names[7] = {"MONDAY", "TUESDAY",  "WEDNESDAY", "THURSDAY",
                                            "FRIDAY", "SATURDAY", "SUNDAY"};

template <class Out>
void write_name(Out& out, Weekday weekday) noexcept {
    out.put(name_of(weekday));
}

PyMethodDef methods[] = {
    method<"number_from_monday()", "Get the weekday number from Monday (1-7).", number_from_monday>(),
    {},
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

[[maybe_unused]] const bool defined = define_class<Weekday>({
    .methods = methods,
    .str = text_slot<Weekday, write_name<ReprBuffer>>,
    .repr = text_slot<Weekday, write_name<ReprBuffer>>,
    .add_class_attributes = add_class_attributes,
});

}  // namespace

PyObject* weekday_objects[7] = {};

}  // namespace kairodex::python
