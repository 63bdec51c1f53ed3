"""The type stubs tell the truth at run time: every member that kairodex.pyi
declares, called with arguments of the declared types (by keyword wherever the
stub allows it), returns the declared type. stubtest checks names and
parameters but calls nothing, so it cannot see a wrong result type."""
import ast
import pathlib

import kairodex
import pytest
from kairodex import Date, DateTime, Duration, OffsetDateTime, Time, UtcOffset, Weekday


def stub_file():
    # The installed stubs when testing an installed wheel, else the source.
    installed = pathlib.Path(kairodex.__file__).parent / "kairodex-stubs" / "__init__.pyi"
    if installed.exists():
        return installed
    return pathlib.Path(__file__).resolve().parents[2] / "src" / "python" / "kairodex.pyi"


class Index:
    """Not an int, but usable as one: what SupportsIndex promises."""

    def __index__(self):
        return 1


# One value for each type a parameter can be declared with.
SAMPLES = {
    "SupportsIndex": Index(),
    "bool": True,
    "Weekday": Weekday.MONDAY,
    "Date": Date(2024, 2, 29),
    "Time": Time(12, 30, 45, 500),
    "Duration": Duration.seconds(90),
    "DateTime": DateTime.parse("2024-02-29T12:30:45Z"),
    "UtcOffset": UtcOffset.from_seconds(7200),
    "OffsetDateTime": OffsetDateTime.parse("2024-02-29T12:30:45+02:00"),
}


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
