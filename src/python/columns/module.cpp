// The kairodex_columns module: columns of values, parsed and written at the
// core's speed.
#include "compat.hpp"

namespace kairodex::python {

const char module_doc[] = "Columns of kairodex values: texts parsed into numpy and Arrow arrays, and written back.";

int add_module_members(PyObject*) noexcept { return 0; }

}  // namespace kairodex::python
