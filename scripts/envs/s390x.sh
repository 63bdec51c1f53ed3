# IBM Z (s390x), big-endian: texts, hashes and every byte-level read are
# checked where the byte order is the other way round. Cross-built with g++,
# run under qemu-user; the Python suite runs in a Debian sid s390x root.
env_about="s390x, big-endian: cross-built with g++, core and Python tests under qemu-user in a sid s390x root"
foreign_arch=s390x foreign_triplet=s390x-linux-gnu foreign_qemu=s390x
. "$top/scripts/envs/foreign.inc"
