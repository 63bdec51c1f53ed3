"""Checks every extension module inside each wheel named on the command line,
whatever the CMake project installs into it (scripts/dev wheel runs it after
auditwheel):

- nothing was grafted beside the modules (a folder `<name>.libs/`): auditwheel
  copies in any library a module needs beyond the C library, and the wheels
  promise that they need nothing else;
- each module is named for the wheel's interpreter and processor
  (`.cpython-315-aarch64-linux-gnu.so` in a cp315 aarch64 wheel): a cross build
  that left one module with the build machine's suffix gives a wheel whose
  interpreter never finds that module;
- each module is an ELF file for the wheel's processor.

    python3 scripts/wheel_modules.py dist/kairodex-*.whl
"""
import pathlib
import sys
import zipfile

# The processor a platform tag ends with: its ELF machine number and the
# multiarch triplet that CPython's extension suffixes name.
PROCESSORS = {
    "x86_64": (62, "x86_64-linux-gnu"),
    "aarch64": (183, "aarch64-linux-gnu"),
}


def check(wheel):
    """The wheel's extension modules, and what is wrong with them."""
    # name-version-python-abi-platforms.whl, the platforms joined by dots.
    _, _, python, abi, platforms = wheel.stem.split("-")
    processor = next((p for p in PROCESSORS if platforms.endswith("_" + p)), None)
    if processor is None:
        return [], [f"no known processor in the platform tag {platforms}"]
    machine, triplet = PROCESSORS[processor]
    suffix = f".cpython-{abi.removeprefix('cp')}-{triplet}.so"
    with zipfile.ZipFile(wheel) as archive:
        grafted = [n for n in archive.namelist() if n.split("/", 1)[0].endswith(".libs")]
        modules = [n for n in archive.namelist() if n.endswith(".so") and n not in grafted]
        wrong = [f"{name}: a library grafted in by auditwheel" for name in grafted]
        if not modules:
            wrong.append("no extension module")
        for name in modules:
            if not name.endswith(suffix):
                wrong.append(f"{name}: not named *{suffix}, so {python} on {processor} would not load it")
            header = archive.read(name)[:20]
            if header[:4] != b"\x7fELF" or int.from_bytes(header[18:20], "little") != machine:
                wrong.append(f"{name}: not an ELF file for {processor}")
    return modules, wrong


def main(paths):
    failed = not paths
    for path in map(pathlib.Path, paths):
        modules, wrong = check(path)
        for problem in wrong:
            print(f"{path.name}: {problem}", file=sys.stderr)
        if not wrong:
            print(f"ok {path.name}: {', '.join(modules)}", file=sys.stderr)
        failed = failed or bool(wrong)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
