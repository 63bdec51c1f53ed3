# Linux on s390x with Debian's g++-s390x-linux-gnu (see linux-cross.cmake).
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(KAIRODEX_CROSS_TRIPLET s390x-linux-gnu)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
