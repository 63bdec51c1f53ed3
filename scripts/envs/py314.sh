# CPython 3.14 (Debian sid's python3.14, GIL build): the module built against
# its headers, the whole suite, core and module, run with it.
env_about="CPython 3.14 (GIL build): the module built for it, every test"
. "$top/scripts/envs/interpreter.inc"
release_interpreter 3.14
# pyarrow, which Debian builds for CPython 3.14 alone: the Arrow round trips
# of tests/python/test_columns.py and bench/columns.py's reference run here.
env_packages+=(python3-pyarrow)
