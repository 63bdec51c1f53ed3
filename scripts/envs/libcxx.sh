# clang with LLVM's C++ library, the toolchain of macOS, warnings as errors.
# GoogleTest is built from its sources with the same library (the installed
# one is built against libstdc++).
env_about="clang with libc++ (macOS's compiler and C++ library), warnings as errors"
env_packages=(clang libc++-dev libc++abi-dev googletest)
env_cmake_args=(
    -DCMAKE_CXX_COMPILER=clang++
    -DCMAKE_CXX_FLAGS=-stdlib=libc++
    -DCMAKE_EXE_LINKER_FLAGS=-stdlib=libc++
    -DCMAKE_MODULE_LINKER_FLAGS=-stdlib=libc++
    -DKAIRODEX_GTEST_SOURCE=/usr/src/googletest
)
