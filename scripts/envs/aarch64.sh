# 64-bit ARM (arm64), where most new servers run: the module and the core
# tests cross-built with g++, run under qemu-user; the Python suite runs in a
# Debian sid arm64 root.
env_about="64-bit ARM: cross-built with g++, core and Python tests under qemu-user in a sid arm64 root"
foreign_arch=arm64 foreign_triplet=aarch64-linux-gnu foreign_qemu=aarch64
. "$top/scripts/envs/foreign.inc"
