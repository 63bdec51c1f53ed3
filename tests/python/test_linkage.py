"""What the imported modules link against, read from their ELF files: each
module of a manylinux2014 wheel (kairodex and its companions kairodex_tz and
kairodex_columns, whose worker threads come from the interpreter's own thread
API) may need the C library alone, at glibc 2.17 at most, and exports nothing
but its export hooks. Run against the development build and against each
installed wheel, so that a C++ library helper, a libgcc routine or a newer
glibc symbol that creeps in fails here first."""
import importlib
import os
import re
import shutil
import subprocess
import sys

import kairodex
import pytest

MODULE_NAMES = ["kairodex", "kairodex_tz", "kairodex_columns"]
ALLOWED_LIBRARIES = {"libc.so.6", "libm.so.6"}
NEWEST_GLIBC = (2, 17)
SANITIZER_RUNTIME = re.compile(r"^lib(asan|ubsan|tsan|lsan|hwasan)\.so")

pytestmark = [
    pytest.mark.skipif(not sys.platform.startswith("linux") or not kairodex.__file__.endswith(".so"),
                       reason="ELF linkage is checked on Linux"),
    pytest.mark.skipif(shutil.which("readelf") is None, reason="readelf (binutils) is not installed"),
]


@pytest.fixture(scope="module", params=MODULE_NAMES)
def module(request):
    """The name and file of each module of the distribution."""
    return request.param, importlib.import_module(request.param).__file__


def readelf(module, *options):
    return subprocess.run(["readelf", "--wide", *options, module[1]], check=True, capture_output=True,
                          text=True, env={**os.environ, "LC_ALL": "C"}).stdout


@pytest.fixture(scope="module")
def needed(module):
    libraries = re.findall(r"\(NEEDED\)\s+Shared library: \[([^\]]+)\]", readelf(module, "--dynamic"))
    if any(SANITIZER_RUNTIME.match(name) for name in libraries):
        pytest.skip("an instrumented build needs its sanitizer runtimes")
    return libraries


def version_needs(text):
    """{library: [version names]} from readelf's '.gnu.version_r' listing."""
    needs, library = {}, None
    for line in text.splitlines():
        if m := re.search(r"File: (\S+)\s+Cnt:", line):
            library = needs.setdefault(m.group(1), [])
        elif (m := re.search(r"Name: (\S+)\s+Flags:", line)) and library is not None:
            library.append(m.group(1))
    return needs


def within_glibc_2_17(version):
    m = re.fullmatch(r"GLIBC_(\d+)\.(\d+)(?:\.\d+)?", version)
    return m is not None and (int(m.group(1)), int(m.group(2))) <= NEWEST_GLIBC


@pytest.mark.parametrize("version, ok", [
    ("GLIBC_2.2.5", True), ("GLIBC_2.14", True), ("GLIBC_2.17", True), ("GLIBC_2.3.2", True),
    ("GLIBC_2.18", False), ("GLIBC_2.34", False), ("GLIBC_3.0", False),
    ("GCC_7.0.0", False), ("GLIBCXX_3.4.20", False), ("CXXABI_1.3", False), ("GLIBC_PRIVATE", False),
])
def test_version_rule(version, ok):
    # Compared as numbers: "2.3.2" is older than "2.17", "2.18" newer.
    assert within_glibc_2_17(version) is ok


def test_version_needs_reader():
    listing = """
Version needs section '.gnu.version_r' contains 2 entries:
 Addr: 0x0000000000001728  Offset: 0x00001728  Link: 4 (.dynstr)
  000000: Version: 1  File: libgcc_s.so.1  Cnt: 1
  0x0010:   Name: GCC_7.0.0  Flags: none  Version: 3
  0x0020: Version: 1  File: libc.so.6  Cnt: 2
  0x0030:   Name: GLIBC_2.14  Flags: none  Version: 4
  0x0040:   Name: GLIBC_2.2.5  Flags: none  Version: 2
"""
    assert version_needs(listing) == {"libgcc_s.so.1": ["GCC_7.0.0"], "libc.so.6": ["GLIBC_2.14", "GLIBC_2.2.5"]}


def test_needs_only_the_c_library(module, needed):
    # Neither libstdc++.so.6 nor libgcc_s.so.1: a host's C++ runtime may be
    # older than the compiler's, or missing.
    assert "libc.so.6" in needed
    assert set(needed) <= ALLOWED_LIBRARIES, f"{module[1]} needs {needed}"


def test_symbol_versions_within_glibc_2_17(module, needed):
    needs = version_needs(readelf(module, "--version-info"))
    assert set(needs) <= ALLOWED_LIBRARIES
    too_new = {library: [v for v in versions if not within_glibc_2_17(v)] for library, versions in needs.items()}
    assert all(not versions for versions in too_new.values()), f"{module[1]} needs {too_new}"


def test_exports_only_the_export_hooks(module, needed):
    export_hooks = {f"PyInit_{module[0]}", f"PyModExport_{module[0]}"}
    exported = set()
    for line in readelf(module, "--dyn-syms").splitlines():
        # Num: Value Size Type Bind Vis Ndx Name
        fields = line.split()
        if len(fields) >= 8 and fields[0].endswith(":") and fields[6] != "UND" and fields[4] in ("GLOBAL", "WEAK"):
            exported.add(fields[7].split("@")[0])
    assert exported & export_hooks
    assert exported <= export_hooks, f"{module[1]} exports {sorted(exported - export_hooks)}"
