// The module functions of kairodex_columns, one table per surface file, in
// the order the module lists them.
#pragma once

#include "compat.hpp"

namespace kairodex::python {

extern PyMethodDef parse_functions[];   // parse_surface.cpp
extern PyMethodDef format_functions[];  // format_surface.cpp

}  // namespace kairodex::python
