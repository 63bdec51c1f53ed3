# CPython 3.13.15 built here from its source with --disable-gil, the
# free-threaded build (cpython.inc; in the sid root, /opt/kairodex/): the
# module built for it (cp313t) and every test run with it, the GIL off
# (a test fails where importing the module turns it back on).
env_about="CPython 3.13.15 free-threaded (--disable-gil), built here from source: the module (cp313t), every test"
. "$top/scripts/envs/cpython.inc"
env_packages=("${cpython_build_packages[@]}")
env_python=$cpython_ft_prefix/bin/python3.13t

env_test() {
    provision
    build_cpython "$devroot" "$cpython_ft_prefix" "${cpython_ft_options[@]}"
    configure_and_build
    phase "C++ core tests ($env_name)" run_ctest
    phase "Python tests ($env_name)" run_pytest "$@"
}

env_run() {
    provision
    build_cpython "$devroot" "$cpython_ft_prefix" "${cpython_ft_options[@]}"
    configure_and_build
    python_shim
    PYTHONPATH=$(module_path) in_env "$@"
}
