# The portable 128-bit integers and builtin-free checked arithmetic (what a
# compiler without 128-bit integers, such as MSVC, gets), forced on g++: the
# whole suite, core and module, on those paths.
env_about="g++ with the portable 128-bit and checked arithmetic forced on (the paths MSVC takes)"
env_cmake_args=(-DKAIRODEX_PORTABLE_ARITHMETIC=ON)
