"""Type stubs for kairodex_columns: columns of kairodex values.

Texts are read into numpy arrays (or Arrow columns, with to_arrow=True) by the
grammars of DateTime.parse, OffsetDateTime.parse, Date.parse and Time.parse;
numpy arrays are written back as the classes' str writes each value.
"""

from collections.abc import Buffer, Iterable
from typing import Any, Literal, Protocol, final, overload

import numpy as np
import numpy.typing as npt

__all__ = [
    "ArrowColumn",
    "parse_datetimes",
    "parse_offset_datetimes",
    "parse_dates",
    "parse_times",
    "format_datetimes",
    "format_offset_datetimes",
    "format_dates",
    "format_times",
]

class _ArrowArrayExporter(Protocol):
    def __arrow_c_array__(self, requested_schema: object | None = None) -> tuple[object, object]: ...

class _ArrowStreamExporter(Protocol):
    def __arrow_c_stream__(self, requested_schema: object | None = None) -> object: ...

# A column of texts: str objects (None for a missing row), a numpy array of
# str, Arrow strings from any producer, or a buffer of newline-separated lines.
_Texts = Iterable[str | None] | npt.NDArray[Any] | _ArrowArrayExporter | _ArrowStreamExporter | Buffer
_Unit = Literal["ns", "us", "ms", "s"]
_Errors = Literal["raise", "null"]

@final
class ArrowColumn:
    """A column in Arrow's memory layout, which Arrow consumers take without a copy."""
    def __arrow_c_array__(self, requested_schema: object | None = None) -> tuple[object, object]: ...
    def __arrow_c_schema__(self) -> object: ...
    def __len__(self) -> int: ...
    @property
    def type(self) -> str: ...
    @property
    def null_count(self) -> int: ...

@overload
def parse_datetimes(
    texts: _Texts, *, unit: _Unit = "ns", errors: _Errors = "raise", threads: int = 1, to_arrow: Literal[False] = False
) -> npt.NDArray[np.datetime64]: ...
@overload
def parse_datetimes(
    texts: _Texts, *, unit: _Unit = "ns", errors: _Errors = "raise", threads: int = 1, to_arrow: Literal[True]
) -> ArrowColumn: ...
@overload
def parse_datetimes(
    texts: _Texts, *, unit: _Unit = "ns", errors: _Errors = "raise", threads: int = 1, to_arrow: bool = False
) -> npt.NDArray[np.datetime64] | ArrowColumn: ...
@overload
def parse_offset_datetimes(
    texts: _Texts, *, unit: _Unit = "ns", errors: _Errors = "raise", threads: int = 1, to_arrow: Literal[False] = False
) -> tuple[npt.NDArray[np.datetime64], npt.NDArray[np.int32]]: ...
@overload
def parse_offset_datetimes(
    texts: _Texts, *, unit: _Unit = "ns", errors: _Errors = "raise", threads: int = 1, to_arrow: Literal[True]
) -> tuple[ArrowColumn, ArrowColumn]: ...
@overload
def parse_offset_datetimes(
    texts: _Texts, *, unit: _Unit = "ns", errors: _Errors = "raise", threads: int = 1, to_arrow: bool = False
) -> tuple[npt.NDArray[np.datetime64], npt.NDArray[np.int32]] | tuple[ArrowColumn, ArrowColumn]: ...
@overload
def parse_dates(
    texts: _Texts, *, errors: _Errors = "raise", threads: int = 1, to_arrow: Literal[False] = False
) -> npt.NDArray[np.datetime64]: ...
@overload
def parse_dates(texts: _Texts, *, errors: _Errors = "raise", threads: int = 1, to_arrow: Literal[True]) -> ArrowColumn: ...
@overload
def parse_dates(
    texts: _Texts, *, errors: _Errors = "raise", threads: int = 1, to_arrow: bool = False
) -> npt.NDArray[np.datetime64] | ArrowColumn: ...
@overload
def parse_times(
    texts: _Texts, *, errors: _Errors = "raise", threads: int = 1, to_arrow: Literal[False] = False
) -> npt.NDArray[np.timedelta64]: ...
@overload
def parse_times(texts: _Texts, *, errors: _Errors = "raise", threads: int = 1, to_arrow: Literal[True]) -> ArrowColumn: ...
@overload
def parse_times(
    texts: _Texts, *, errors: _Errors = "raise", threads: int = 1, to_arrow: bool = False
) -> npt.NDArray[np.timedelta64] | ArrowColumn: ...
def format_datetimes(instants: npt.ArrayLike) -> list[str | None]: ...
def format_offset_datetimes(instants: npt.ArrayLike, offsets: npt.ArrayLike) -> list[str | None]: ...
def format_dates(days: npt.ArrayLike) -> list[str | None]: ...
def format_times(times: npt.ArrayLike) -> list[str | None]: ...
