# Debian 13 (trixie), the stable release, with its own CPython 3.13 and glibc
# 2.41: the cp313 manylinux wheel built in the sid root is installed with pip
# into a venv of trixie's python3.13 and tested there as a user would (the
# metadata, the examples, the README's examples and the whole suite against
# the installed wheel; scripts/wheel-test). An interpreter and a C library
# that nobody here built. The root is cached like the sid root, in
# $cache/trixie-root. trixie-aarch64.sh is the same on 64-bit ARM: it sets
# what differs and reuses the rest.
env_about="Debian 13 (trixie): the cp313 wheel built in sid, installed into trixie's own python3.13 and tested"
trixie_root=$cache/trixie-root
trixie_packages=(python3 python3-venv python3-pytest python3-hypothesis python3-numpy python3-mypy)
trixie_work=$top/build-wheel/trixie
# The wheel, as KAIRODEX_WHEELS names it, and what the run is called.
trixie_wheel=3.13
trixie_phase="the cp313 wheel in trixie's python3.13"

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

# The wheel built in the sid root as `scripts/dev wheel` builds it, then
# tested in trixie's python3.13.
env_test() {
    wheel_versions=("$trixie_wheel")
    build_wheel
    provision_trixie
    phase "$trixie_phase" in_root "$trixie_root" \
        env PYTHON=python3.13 KAIRODEX_WHEEL_WORK="$trixie_work" scripts/wheel-test "$@"
}

# A command in the trixie root, python3.15 being the interpreter of the venv
# that holds the installed wheel (scripts/dev's wheel_env_run).
env_run() {
    provision_trixie
    wheel_env_run "$trixie_root" "$trixie_work" python3.13 "$trixie_wheel" "$@"
}
