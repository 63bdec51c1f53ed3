# clang with LLVM's C++ library, the toolchain of macOS, warnings as errors.
# GoogleTest is built from its sources with the same library (the installed
# one is built against libstdc++). CMake hands the compile flags to the link
# of C++ targets too, so -stdlib=libc++ reaches the linker.
env_about="clang with libc++ (macOS's compiler and C++ library), warnings as errors"
env_packages=(clang libc++-dev libc++abi-dev googletest)
env_cmake_args=(
    -DCMAKE_C_COMPILER=clang
    -DCMAKE_CXX_COMPILER=clang++
    -DCMAKE_CXX_FLAGS=-stdlib=libc++
    -DKAIRODEX_GTEST_SOURCE=/usr/src/googletest
)
