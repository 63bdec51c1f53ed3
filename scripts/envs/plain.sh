# The plain core alone: every public function of the calendar core skips its
# fast path (KAIRODEX_FAST=OFF), so the whole suite, core and module, runs on
# the plain code that defines the behaviour. The fast paths' own tests, which
# call them by name, run here as everywhere.
env_about="g++ with the core's fast paths turned off (KAIRODEX_FAST=OFF): the plain core under the whole suite"
env_cmake_args=(-DKAIRODEX_FAST=OFF)
