"""The type stubs tell the truth at run time: every member that kairodex.pyi
declares, called with arguments of the declared types (by keyword wherever the
stub allows it), returns the declared type. stubtest checks names and
parameters but calls nothing, so it cannot see a wrong result type."""
import ast
import os
import pathlib
import subprocess
import sys

import kairodex
import pytest
from catalogue import SAMPLES as CLASS_SAMPLES
from catalogue import Index


def stub_file():
    # The installed stubs when testing an installed wheel, else the source.
    installed = pathlib.Path(kairodex.__file__).parent / "kairodex-stubs" / "__init__.pyi"
    if installed.exists():
        return installed
    return pathlib.Path(__file__).resolve().parents[2] / "src" / "python" / "kairodex.pyi"


# One value for each type a parameter can be declared with; Index is not an
# int, but usable as one: what SupportsIndex promises.
SAMPLES = {"SupportsIndex": Index(1), "bool": True, **{cls.__name__: value for cls, value in CLASS_SAMPLES.items()}}


def declared_members():
    tree = ast.parse(stub_file().read_text(encoding="utf-8"))
    for cls in (node for node in tree.body if isinstance(node, ast.ClassDef)):
        for member in cls.body:
            if isinstance(member, ast.AnnAssign):  # NAME: ClassVar[Type]
                yield pytest.param(cls.name, member, id=f"{cls.name}.{member.target.id}")
            elif isinstance(member, ast.FunctionDef):
                yield pytest.param(cls.name, member, id=f"{cls.name}.{member.name}")


def argument(cls_name, annotation):
    if annotation == "str":  # text to parse: the class's own text form
        return str(SAMPLES[cls_name])
    if annotation == "object":  # == and != operands; any other type gets NotImplemented
        return SAMPLES[cls_name]
    return SAMPLES[annotation]


@pytest.mark.parametrize("cls_name, member", list(declared_members()))
def test_member_returns_its_declared_type(cls_name, member):
    cls = getattr(kairodex, cls_name)
    if isinstance(member, ast.AnnAssign):
        assert ast.unparse(member.annotation) == f"ClassVar[{cls_name}]"
        assert type(getattr(cls, member.target.id)) is cls
        return
    decorators = [ast.unparse(d) for d in member.decorator_list]
    if "property" in decorators:
        result = getattr(SAMPLES[cls_name], member.name)
    else:
        # After self or cls: positional-only parameters by position, the rest by keyword.
        params = member.args.posonlyargs + member.args.args
        keyword_from = max(len(member.args.posonlyargs), 1)
        values = [None] + [argument(cls_name, ast.unparse(p.annotation)) for p in params[1:]]
        positional = values[1:keyword_from]
        keywords = {p.arg: value for p, value in zip(params[keyword_from:], values[keyword_from:])}
        if member.name == "__new__":
            call = cls
        elif "classmethod" in decorators:
            call = getattr(cls, member.name)
        else:
            call = getattr(SAMPLES[cls_name], member.name)
        result = call(*positional, **keywords)
    assert type(result).__name__ == ast.unparse(member.returns)


def test_type_checker_finds_the_stubs_beside_the_module(tmp_path):
    """mypy, run where the module is importable (a build folder or an installed
    wheel), reads the stubs: a wrong use is an error, a right one is not."""
    pytest.importorskip("mypy.main", reason="mypy is not installed for this interpreter",
                        exc_type=ImportError)
    (tmp_path / "use.py").write_text(
        "from kairodex import Date\n"
        "days: int = Date(2024, 1, 1).days_since_unix_epoch()\n"
        "text: str = Date(2024, 1, 1).add_days(1)\n")
    result = subprocess.run(
        [sys.executable, "-m", "mypy", "--no-incremental", "--cache-dir", str(tmp_path / "cache"), "use.py"],
        cwd=tmp_path, capture_output=True, text=True, timeout=300,
        env={**os.environ, "PYTHONPATH": str(pathlib.Path(kairodex.__file__).parent)})
    assert 'use.py:3: error: Incompatible types in assignment (expression has type "Date"' in result.stdout
    assert "Found 1 error" in result.stdout, result.stdout
