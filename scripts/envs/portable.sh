# The portable 128-bit integers and builtin-free checked arithmetic (what a
# compiler without 128-bit integers, such as MSVC, gets), forced on g++: the
# core tests and the module's value suites on those paths. Only the core's
# arithmetic differs from the default build, so the suites of the module's
# frame (references, failed allocations, threads, embedding) are left to it.
env_about="g++ with the portable 128-bit and checked arithmetic forced on (the paths MSVC takes)"
env_cmake_args=(-DKAIRODEX_PORTABLE_ARITHMETIC=ON)
env_pytest_args=(-m "not frame" --zone-keys=60)
