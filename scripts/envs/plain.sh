# The plain core alone: every public function of the calendar core skips its
# fast path (KAIRODEX_FAST=OFF), so the core tests and the module's value
# suites run on the plain code that defines the behaviour. The fast paths' own
# tests, which call them by name, run here as everywhere. Only the core's
# arithmetic differs from the default build, so the suites of the module's
# frame (references, failed allocations, threads, embedding) are left to it.
env_about="g++ with the core's fast paths turned off (KAIRODEX_FAST=OFF): the plain core under the core and value tests"
env_cmake_args=(-DKAIRODEX_FAST=OFF)
env_pytest_args=(-m "not frame" --zone-keys=60)
