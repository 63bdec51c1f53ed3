// The kairodex_tz module: named time zones over the IANA database.
#include "compat.hpp"

namespace kairodex::python {

const char module_doc[] = "Named time zones (the IANA time zone database) for kairodex's values.";

int add_module_members(PyObject*) noexcept { return 0; }

}  // namespace kairodex::python
