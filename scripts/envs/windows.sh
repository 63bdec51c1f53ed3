# Windows x64: the core and its GoogleTest suite cross-compiled with
# mingw-w64 and run under Wine, where `long` has 32 bits and the clock is
# read through GetSystemTimePreciseAsFileTime; and the extension modules
# cross-built as kairodex.cp313-win_amd64.pyd, cp314 and cp315 (and
# kairodex_tz, kairodex_columns), each against that CPython's headers
# (cmake/windows_module.cmake). There is no Windows
# CPython here to load the modules, so `run` is not offered.
env_about="mingw-w64 cross build of the core and its tests, run under Wine (32-bit long, the Windows clock)"
windows_versions=(3.13 3.14 3.15)
env_packages=(g++-mingw-w64-x86-64-posix wine wine64 googletest python3.13-dev python3.14-dev)
env_cmake_args=(
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
    "-DKAIRODEX_WINDOWS_PYTHON_INCLUDE=$(IFS=';' && echo "${windows_versions[*]/#//usr/include/python}")"
    -DKAIRODEX_GTEST_SOURCE=/usr/src/googletest
)

env_test() {
    configure_and_build
    # Wine keeps its prefix in the root (/root/.wine), made on first use.
    export KAIRODEX_EXTRA_ENV="WINEDEBUG=-all WINEARCH=win64"
    phase "C++ core tests under Wine (windows)" run_ctest --verbose
    # A module links only when every interpreter name it uses is in the
    # import library; what it exports and imports is the rest of its face.
    # 3.15 loads either export hook, the others PyInit_kairodex alone.
    local version tag pyd table hooks module
    for version in "${windows_versions[@]}"; do
        tag=cp${version/./}
        for module in kairodex kairodex_tz kairodex_columns; do
            pyd=$build/python/$module.$tag-win_amd64.pyd
            table=$(in_env x86_64-w64-mingw32-objdump -p "$pyd")
            hooks=$(awk '/\[Ordinal\/Name Pointer\] Table/ { names = 1; next } names && /^\t\[/ { print $NF } names && /^$/ { names = 0 }' <<<"$table" | sort | xargs)
            case $version in
                3.15) [ "$hooks" = "PyInit_$module PyModExport_$module" ] ;;
                *) [ "$hooks" = "PyInit_$module" ] ;;
            esac || die "$pyd exports '$hooks'"
            log "module: $(basename "$pyd"), exports $hooks, imports from" \
                "$(awk '/DLL Name:/ { printf "%s ", $3 }' <<<"$table")"
        done
    done
}

env_run() {
    die "the windows environment has no interpreter; 'scripts/dev test --env windows' runs its tests"
}
