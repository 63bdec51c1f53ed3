# CPython's debug build (python3.15d, with Py_DEBUG): the module built against
# its headers, and the whole suite run in development mode (-X dev), where the
# interpreter checks reference counts, the GIL and memory use on every call,
# and counts every reference the module takes and gives back.
env_about="CPython's debug build (Py_DEBUG) under -X dev; the module built against its headers"
env_packages=(python3.15-dbg)
env_python=/usr/bin/python3.15d
# Debian's python3.15d headers are links to the release ones, whose
# "pyconfig.h" (included by its quoted name, so from beside the release
# Python.h) lacks Py_DEBUG: the debug configuration is put first, and the
# release one, behind the same include guard, then adds nothing. Without it
# the module's own reference counting goes uncounted by the debug
# interpreter's totals.
env_cmake_args=(
    -DPython_EXECUTABLE=/usr/bin/python3.15d
    "-DCMAKE_CXX_FLAGS=-include /usr/include/python3.15d/pyconfig.h"
)
export KAIRODEX_EXTRA_ENV="PYTHONDEVMODE=1"
