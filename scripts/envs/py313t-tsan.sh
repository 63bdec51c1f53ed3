# The free-threaded CPython 3.13.15 of py313t built again with ThreadSanitizer
# (--with-thread-sanitizer), and the module built with -fsanitize=thread: the
# thread tests (many threads making, parsing, printing, hashing, comparing and
# adding values, shared ones among them, each result checked against a
# single-threaded run; the first import raced from several threads) must pass
# with no ThreadSanitizer report. The only suppressions are CPython's own,
# from its source's Tools/tsan/, for the interpreter's code.
env_about="free-threaded CPython 3.13.15 and the module under ThreadSanitizer: the thread tests, no report"
. "$top/scripts/envs/cpython.inc"
tsan_prefix=/opt/kairodex/cpython-$cpython_version-t-tsan
env_packages=("${cpython_build_packages[@]}")
env_python=$tsan_prefix/bin/python3.13t
tsan_flags="-fsanitize=thread -g -O1"
env_cmake_args=(
    "-DCMAKE_CXX_FLAGS=$tsan_flags"
    "-DCMAKE_MODULE_LINKER_FLAGS=-fsanitize=thread"
    "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread"
    # The sanitizer's runtime is the interpreter's, which it loads itself.
    -DKAIRODEX_STATIC_RUNTIME=OFF
)

tsan_interpreter() {
    provision
    build_cpython "$devroot" "$tsan_prefix" --disable-gil --with-thread-sanitizer
    # CPython's own suppressions, beside the interpreter they are for.
    tar -xJf "$cpython_tarball" -C "$devroot$tsan_prefix" --strip-components=3 \
        "Python-$cpython_version/Tools/tsan/suppressions_free_threading.txt"
}

# Every ThreadSanitizer report goes to a log of its own per process; the run
# fails on any, or on a test that fails.
tsan_pytest() {
    local reports=$build/tsan
    rm -rf "$reports"
    mkdir -p "$reports"
    export KAIRODEX_EXTRA_ENV="TSAN_OPTIONS=suppressions=$tsan_prefix/suppressions_free_threading.txt:log_path=$reports/report:halt_on_error=0:second_deadlock_stack=1"
    python_shim
    local status=0
    PYTHONPATH=$(module_path) in_env python3.15 -m pytest -q -p no:cacheprovider \
        tests/python/test_threads.py tests/python/test_embedding.py "$@" || status=$?
    local count
    count=$(cat "$reports"/report.* 2>/dev/null | grep -c '^WARNING: ThreadSanitizer' || true)
    log "ThreadSanitizer reports: $count (in $reports)"
    [ "$count" = 0 ] || { cat "$reports"/report.* | head -n 80 >&2; die "ThreadSanitizer reported $count races"; }
    return "$status"
}

env_test() {
    tsan_interpreter
    configure_and_build
    phase "C++ core tests under ThreadSanitizer ($env_name)" run_ctest
    phase "thread tests under ThreadSanitizer ($env_name)" tsan_pytest "$@"
}

env_run() {
    tsan_interpreter
    configure_and_build
    python_shim
    PYTHONPATH=$(module_path) in_env "$@"
}
