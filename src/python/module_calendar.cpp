// The kairodex module: its seven classes and nothing besides, not even a
// docstring.
#include "compat.hpp"

namespace kairodex::python {

const char module_doc[] = "";

int add_module_members(PyObject*) noexcept { return 0; }

}  // namespace kairodex::python
