# Cross-compilation for Linux on another processor with Debian's cross g++
# (g++-<triplet>), included by the per-triplet toolchain files, which set
# CMAKE_SYSTEM_PROCESSOR and KAIRODEX_CROSS_TRIPLET first.
#
# KAIRODEX_CROSS_ROOT names a Debian root of the target architecture with the
# interpreters' -dev packages: the module is built against the headers of one
# (KAIRODEX_CROSS_PYTHON) and carries its extension suffix. The C library and
# libstdc++ are the cross toolchain's own, of the same Debian release as that
# root.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${KAIRODEX_CROSS_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${KAIRODEX_CROSS_TRIPLET}-g++)
set(CMAKE_FIND_ROOT_PATH /usr/${KAIRODEX_CROSS_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KAIRODEX_CROSS_TRIPLET KAIRODEX_CROSS_ROOT KAIRODEX_CROSS_PYTHON)
# Tests run under qemu-user with the cross toolchain's libraries.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-${CMAKE_SYSTEM_PROCESSOR};-L;/usr/${KAIRODEX_CROSS_TRIPLET})

if(KAIRODEX_CROSS_ROOT)
  # KAIRODEX_CROSS_PYTHON names which of the root's interpreters. The
  # interpreter found is the build machine's one of the same version (only its
  # version is used); headers and suffix are the target's. Debian's pyconfig.h
  # includes <TRIPLET/python3.X/pyconfig.h>, hence the root's /usr/include last.
  set(KAIRODEX_CROSS_PYTHON 3.15 CACHE STRING "The version of the target root's interpreter to build for")
  string(REPLACE "." "" cross_python_tag ${KAIRODEX_CROSS_PYTHON})
  # Forced: a build backend (scikit-build-core, for the wheels) fills the
  # cache with the build machine's headers before this file is read.
  set(Python_INCLUDE_DIR ${KAIRODEX_CROSS_ROOT}/usr/include/python${KAIRODEX_CROSS_PYTHON} CACHE PATH "" FORCE)
  set(KAIRODEX_PYTHON_SOABI cpython-${cross_python_tag}-${KAIRODEX_CROSS_TRIPLET})
  set(CMAKE_CXX_FLAGS_INIT "-idirafter ${KAIRODEX_CROSS_ROOT}/usr/include")
endif()
