# Windows x64: the core and its GoogleTest suite cross-compiled with
# mingw-w64 and run under Wine, where `long` has 32 bits and the clock is
# read through GetSystemTimePreciseAsFileTime; and the extension module
# cross-built as kairodex.cp315-win_amd64.pyd against CPython's headers
# (cmake/windows_module.cmake). There is no Windows CPython here to load the
# module, so `run` is not offered.
env_about="mingw-w64 cross build of the core and its tests, run under Wine (32-bit long, the Windows clock)"
env_packages=(g++-mingw-w64-x86-64-posix wine wine64 googletest)
env_cmake_args=(
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
    -DKAIRODEX_WINDOWS_PYTHON_INCLUDE=/usr/include/python3.15
    -DKAIRODEX_GTEST_SOURCE=/usr/src/googletest
)

env_test() {
    configure_and_build
    # Wine keeps its prefix in the root (/root/.wine), made on first use.
    export KAIRODEX_EXTRA_ENV="WINEDEBUG=-all WINEARCH=win64"
    phase "C++ core tests under Wine (windows)" run_ctest --verbose
    # The module links only when every interpreter name it uses is in the
    # import library; what it exports and imports is the rest of its face.
    local pyd=$build/python/kairodex.cp315-win_amd64.pyd table
    table=$(in_env x86_64-w64-mingw32-objdump -p "$pyd")
    grep -q ' PyInit_kairodex$' <<<"$table" && grep -q ' PyModExport_kairodex$' <<<"$table" ||
        die "$pyd does not export both module hooks"
    log "module: $(basename "$pyd"), exports PyInit_kairodex and PyModExport_kairodex, imports from" \
        "$(awk '/DLL Name:/ { printf "%s ", $3 }' <<<"$table")"
}

env_run() {
    die "the windows environment has no interpreter; 'scripts/dev test --env windows' runs its tests"
}
