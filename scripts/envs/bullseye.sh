# Debian 11 (bullseye), whose C library (glibc 2.31) is two major releases
# older than the one the wheels are built beside: CPython 3.13.15 built there
# from its source (cpython.inc), a venv of it, the cp313 manylinux wheel built
# in sid installed with pip, and the suite, the examples and the README's
# examples run against the installed wheel (scripts/wheel-test). The proof
# that the wheel's tag promises. Bullseye's own test tools are too old for
# 3.13: pytest and hypothesis come from the sid root, copied in. The root is
# cached like the others, in $cache/bullseye-root.
env_about="Debian 11 (bullseye, glibc 2.31): CPython 3.13.15 built there; the cp313 wheel from sid installed and tested"
. "$top/scripts/envs/cpython.inc"
bullseye_root=$cache/bullseye-root
bullseye_prefix=/opt/kairodex/cpython-$cpython_version
bullseye_work=$top/build-wheel/bullseye
bullseye_tools=/opt/kairodex/test-tools
# The sid root's packages (pure Python) that the suite runs with.
bullseye_tool_packages=(python3-pytest python3-pluggy python3-iniconfig python3-packaging python3-pygments
                        python3-hypothesis python3-attr python3-sortedcontainers)

provision_bullseye() {
    local stamp=$bullseye_root/.kairodex-packages
    if ! [ -f "$bullseye_root/.kairodex-bootstrapped" ] ||
        [ "$(cat "$stamp" 2>/dev/null)" != "${cpython_build_packages[*]}" ]; then
        [ "$(id -u)" = 0 ] || manual_help "this needs root"
        exec 8>"$bullseye_root.lock"
        flock 8
        local start=$SECONDS
        bootstrap_root "$bullseye_root" bullseye
        install_into_root "$bullseye_root" "${cpython_build_packages[@]}"
        printf '%s' "${cpython_build_packages[*]}" >"$stamp"
        log "bullseye root ready ($(du -sh "$bullseye_root" 2>/dev/null | cut -f1), $((SECONDS - start)) s)"
        exec 8>&-
    fi
    build_cpython "$bullseye_root" "$bullseye_prefix" --disable-test-modules
    # The test tools, file by file as their Debian packages install them.
    local tools=$bullseye_root$bullseye_tools
    rm -rf "$tools"
    mkdir -p "$tools"
    (cd "$devroot/usr/lib/python3/dist-packages" &&
        in_root_plain "$devroot" dpkg -L "${bullseye_tool_packages[@]}" |
        sed -n 's|^/usr/lib/python3/dist-packages/||p' | while IFS= read -r file; do
            [ -f "$file" ] && printf '%s\n' "$file"
        done | tar -cf - -T - | tar -xf - -C "$tools")
    local site
    for site in "$bullseye_root$bullseye_prefix"/lib/python3.13/site-packages; do
        echo "$bullseye_tools" >"$site/kairodex-test-tools.pth"
    done
}

env_test() {
    provision
    wheel_versions=(3.13)
    build_wheel
    provision_bullseye
    phase "the cp313 wheel in bullseye's CPython $cpython_version" in_root "$bullseye_root" \
        env PYTHON="$bullseye_prefix/bin/python3.13" KAIRODEX_WHEEL_WORK="$bullseye_work" scripts/wheel-test "$@"
}

# A command in the bullseye root, python3.15 being the interpreter of the
# venv that holds the installed wheel (scripts/dev's wheel_env_run).
env_run() {
    provision
    provision_bullseye
    wheel_env_run "$bullseye_root" "$bullseye_work" "$bullseye_prefix/bin/python3.13" 3.13 "$@"
}
