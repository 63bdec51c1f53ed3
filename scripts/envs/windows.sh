# Windows x64: the core and its GoogleTest suite cross-compiled with
# mingw-w64 and run under Wine, where `long` has 32 bits and the clock is
# read through GetSystemTimePreciseAsFileTime. There is no Windows CPython
# here to load a module, so `run` is not offered.
env_about="mingw-w64 cross build of the core and its tests, run under Wine (32-bit long, the Windows clock)"
env_packages=(g++-mingw-w64-x86-64-posix wine wine64 googletest)
env_cmake_args=(
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
    -DKAIRODEX_BUILD_MODULE=OFF
    -DKAIRODEX_GTEST_SOURCE=/usr/src/googletest
)

env_test() {
    configure_and_build
    # Wine keeps its prefix in the root (/root/.wine), made on first use.
    export KAIRODEX_EXTRA_ENV="WINEDEBUG=-all WINEARCH=win64"
    phase "C++ core tests under Wine (windows)" run_ctest
}

env_run() {
    die "the windows environment has no interpreter; 'scripts/dev test --env windows' runs its tests"
}
