# Debian 13 (trixie), the stable release, with its own CPython 3.13 and glibc
# 2.41: the cp313 manylinux wheel built in the sid root is installed with pip
# into a venv of trixie's python3.13 and tested there as a user would (the
# metadata, the examples, the README's examples and the whole suite against
# the installed wheel; scripts/wheel-test). An interpreter and a C library
# that nobody here built. The root is cached like the sid root, in
# $cache/trixie-root.
env_about="Debian 13 (trixie): the cp313 wheel built in sid, installed into trixie's own python3.13 and tested"
trixie_root=$cache/trixie-root
trixie_packages=(python3 python3-venv python3-pytest python3-hypothesis python3-numpy python3-mypy)
trixie_work=$top/build-wheel/trixie

provision_trixie() {
    local stamp=$trixie_root/.kairodex-packages
    if [ -f "$trixie_root/.kairodex-bootstrapped" ] &&
        [ "$(cat "$stamp" 2>/dev/null)" = "${trixie_packages[*]}" ]; then
        return 0
    fi
    [ "$(id -u)" = 0 ] || manual_help "this needs root"
    exec 8>"$trixie_root.lock"
    flock 8
    local start=$SECONDS
    bootstrap_root "$trixie_root" trixie
    if [ "$(cat "$stamp" 2>/dev/null)" != "${trixie_packages[*]}" ]; then
        install_into_root "$trixie_root" "${trixie_packages[@]}"
        printf '%s' "${trixie_packages[*]}" >"$stamp"
    fi
    log "trixie root ready ($(du -sh "$trixie_root" 2>/dev/null | cut -f1), $((SECONDS - start)) s)"
    exec 8>&-
}

# The cp313 wheel, built in the sid root as `scripts/dev wheel` builds it.
trixie_wheel() {
    wheel_versions=(3.13)
    build_wheel
    provision_trixie
}

env_test() {
    trixie_wheel
    phase "the cp313 wheel in trixie's python3.13" in_root "$trixie_root" \
        env PYTHON=python3.13 KAIRODEX_WHEEL_WORK="$trixie_work" scripts/wheel-test "$@"
}

# A command in the trixie root, python3.15 being the venv's interpreter with
# the wheel installed (the venv of the last `scripts/dev test --env trixie`,
# which runs first if there is none).
env_run() {
    [ -x "$trixie_work/venv/bin/python" ] || env_test
    mkdir -p "$trixie_work/bin"
    ln -sfn "$trixie_work/venv/bin/python" "$trixie_work/bin/python3.15"
    KAIRODEX_PATH_PREFIX=$trixie_work/bin: in_root "$trixie_root" "$@"
}
