# Debian 13 (trixie) on 64-bit ARM: the cp313 manylinux_2_17_aarch64 wheel,
# cross-built in the sid root (scripts/dev wheel), installed with pip into a
# venv of trixie's own arm64 python3.13 and tested there as trixie.sh tests
# the x86-64 one (metadata, examples, the README's examples and the whole
# suite against the installed wheel), every binary run under qemu-user. An
# interpreter and a C library (glibc 2.41) that nobody here built, on the
# other processor. The root ($cache/trixie-aarch64-root) is unpacked from
# trixie's arm64 packages without running their maintainer scripts
# (emulated.inc), which a bootstrap would spend over 20 minutes on under
# emulation.
. "$top/scripts/envs/trixie.sh"
env_about="Debian 13 (trixie) on arm64: the cp313 aarch64 wheel, installed into trixie's own arm64 python3.13 under qemu-user and tested"
foreign_arch=arm64 foreign_qemu=aarch64
. "$top/scripts/envs/emulated.inc"
env_packages=("${emulation_packages[@]}")
trixie_root=$cache/trixie-aarch64-root
trixie_work=$top/build-wheel/trixie-aarch64
trixie_wheel=3.13-aarch64
trixie_phase="the cp313 aarch64 wheel in trixie's arm64 python3.13 (under qemu-user)"
# readelf for tests/python/test_linkage.py, as the sid arm64 root has it.
trixie_packages+=(binutils)

provision_trixie() {
    provision
    unpack_root "$trixie_root" trixie "${trixie_packages[@]}"
    register_binfmt
}
