# CPython 3.15's debug build (python3.15d, with Py_DEBUG): the module built
# against its headers, and the whole suite run in development mode (-X dev).
env_about="CPython 3.15's debug build (Py_DEBUG) under -X dev; the module built against its headers"
. "$top/scripts/envs/interpreter.inc"
debug_interpreter 3.15
