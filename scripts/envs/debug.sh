# CPython's debug build (python3.15d, with Py_DEBUG): the module built against
# its headers, and the whole suite run in development mode (-X dev), where the
# interpreter checks reference counts, the GIL and memory use on every call,
# and counts every reference the module takes and gives back.
env_about="CPython's debug build (Py_DEBUG) under -X dev; the module built against its headers"
env_packages=(python3.15-dbg)
env_python=/usr/bin/python3.15d
env_cmake_args=(-DPython_EXECUTABLE=/usr/bin/python3.15d)
export KAIRODEX_EXTRA_ENV="PYTHONDEVMODE=1"
