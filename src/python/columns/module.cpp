// The kairodex_columns module: columns of values, parsed and written at the
// core's speed.
#include "reference.hpp"

#include "columns/functions.hpp"

namespace kairodex::python {

const char module_doc[] =
    "Columns of kairodex values: texts read into numpy and Arrow arrays by the classes' own grammars, and\n"
    "arrays written back as the classes' own texts.";

int add_module_members(PyObject* module) noexcept {
    for (PyMethodDef* table : {parse_functions, format_functions}) {
        if (PyModule_AddFunctions(module, table) < 0) return -1;
        for (PyMethodDef* def = table; def->ml_name != nullptr; ++def) {
            const Owned function{PyObject_GetAttrString(module, def->ml_name)};
            if (!function || add_public(module, def->ml_name, function.get()) < 0) return -1;
        }
    }
    return 0;
}

}  // namespace kairodex::python
