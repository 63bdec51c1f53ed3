// Python surface of Weekday: seven class attributes, compared and hashed by
// identity.
#include "members.hpp"
#include "reference.hpp"

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

// The seven weekdays, made once with their class. Once all seven are in its
// dictionary, nothing of the class's set-up can fail any more, and each,
// referred to by the dictionary alone, is made immortal: they live as long
// as the class does in any case, and handing one out (weekday()) then writes
// no reference count, which would otherwise cost more than the call's own
// work. Where the interpreter declines, they stay ordinary objects. The
// module keeps a reference of its own either way.
int add_class_attributes(PyTypeObject* type) noexcept {
    PyObject* created[7] = {};
    for (std::uint8_t n = 0; n < 7; ++n) {
        const Owned day{new_instance(type, Weekday{n})};
        if (!day || PyObject_SetAttrString(reinterpret_cast<PyObject*>(type), attribute_names[n], day.get()) < 0) {
            return -1;
        }
        created[n] = day.get();  // borrowed: the class's dictionary holds it
    }
    for (int n = 0; n < 7; ++n) {
        compat::make_immortal(created[n]);
        weekday_objects[n] = Py_NewRef(created[n]);  // the module's own, whatever the class's dictionary does
    }
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
