"""Module loading, class registration and the facts every class shares."""
import copy
import gc
import importlib
import inspect
import json
import pickle
import sys
import weakref

import kairodex
import pytest
from kairodex import Date, Weekday

EXPECTED_ALL = ["Weekday", "Date", "Time", "Duration", "DateTime", "UtcOffset", "OffsetDateTime"]
CLASSES = [Weekday, Date]

Py_TPFLAGS_DISALLOW_INSTANTIATION = 1 << 7
Py_TPFLAGS_IMMUTABLETYPE = 1 << 8
Py_TPFLAGS_BASETYPE = 1 << 10
Py_TPFLAGS_HAVE_GC = 1 << 14


# --- namespace -------------------------------------------------------------

def test_namespace_holds_registered_classes_in_order():
    names = kairodex.__all__
    assert type(names) is list
    assert names == EXPECTED_ALL[:len(names)]
    assert {"Weekday", "Date"} <= set(names)
    for name in names:
        assert isinstance(getattr(kairodex, name), type)
    public = {n for n in vars(kairodex) if not n.startswith("__")}
    assert public == set(names)  # no module-level functions or stray names
    assert kairodex.__doc__ == ""
    # The version is the distribution's: importlib.metadata.version("kairodex").
    assert not hasattr(kairodex, "__version__")


def test_reimport_builds_new_module_with_same_types(monkeypatch):
    monkeypatch.delitem(sys.modules, "kairodex")
    again = importlib.import_module("kairodex")
    assert again is not kairodex
    assert again.__all__ == kairodex.__all__ and again.__all__ is not kairodex.__all__
    assert again.Date is Date and again.Weekday is Weekday
    assert again.Weekday.MONDAY is Weekday.MONDAY


# --- export hooks (each in its own interpreter process) --------------------

HOOKS_SCRIPT = r"""
import ctypes, importlib.machinery, json, struct, sys
path = sys.argv[1]
out = {}

# Classic path through the import system's extension loader.
loader = importlib.machinery.ExtensionFileLoader("kairodex", path)
spec = importlib.machinery.ModuleSpec("kairodex", loader, origin=path)
mod = loader.create_module(spec)
loader.exec_module(mod)
sys.modules["kairodex"] = mod
out["loader"] = [mod.__all__, mod.__doc__, mod.Date(2024, 1, 1).weekday() is mod.Weekday.MONDAY]

class Slot(ctypes.Structure):
    _fields_ = [("id", ctypes.c_uint16), ("flags", ctypes.c_uint16),
                ("reserved", ctypes.c_uint32), ("value", ctypes.c_void_p)]

lib = ctypes.PyDLL(path)
lib.PyModExport_kairodex.restype = ctypes.POINTER(Slot)
lib.PyModExport_kairodex.argtypes = []
slots = lib.PyModExport_kairodex()
records = []
i = 0
while True:
    s = slots[i]
    records.append([s.id, s.flags, s.reserved, s.value or 0])
    if s.id == 0:
        break
    i += 1
by_id = {r[0]: r for r in records}
out["records"] = records
out["name"] = ctypes.string_at(by_id[100][3]).decode()
out["doc"] = ctypes.string_at(by_id[101][3]).decode()
out["abi"] = list(struct.unpack("=BBHII", ctypes.string_at(by_id[109][3], 12)))

api = ctypes.pythonapi
api.PyModule_FromSlotsAndSpec.restype = ctypes.py_object
api.PyModule_FromSlotsAndSpec.argtypes = [ctypes.c_void_p, ctypes.py_object]
api.PyModule_Exec.argtypes = [ctypes.py_object]
api.PyModule_Exec.restype = ctypes.c_int

def from_slots(prepare=None):
    spec = importlib.machinery.ModuleSpec("kairodex", None, origin=path)
    m = api.PyModule_FromSlotsAndSpec(ctypes.cast(slots, ctypes.c_void_p), spec)
    if prepare:
        prepare(m)
    try:
        api.PyModule_Exec(m)
    except BaseException as e:
        return m, f"{type(e).__name__}: {e}"
    return m, None

m, err = from_slots()
out["slots_module"] = [m.__name__, m.__doc__, m.__all__, m.Date is mod.Date, m.Weekday is mod.Weekday, err]

# An existing __all__ list is extended; any other __all__ stops the body.
m, err = from_slots(lambda m: setattr(m, "__all__", ["x"]))
out["all_list"] = [m.__all__, err]
m, err = from_slots(lambda m: setattr(m, "__all__", ("x",)))
out["all_tuple"] = [m.__all__, hasattr(m, "Weekday"), err]

# Legacy definition: PyInit returns the definition, which leads to the same slots.
lib.PyInit_kairodex.restype = ctypes.c_void_p
lib.PyInit_kairodex.argtypes = []
definition = lib.PyInit_kairodex()
api.PyModule_FromDefAndSpec2.restype = ctypes.py_object
api.PyModule_FromDefAndSpec2.argtypes = [ctypes.c_void_p, ctypes.py_object, ctypes.c_int]
api.PyModule_ExecDef.argtypes = [ctypes.py_object, ctypes.c_void_p]
api.PyModule_ExecDef.restype = ctypes.c_int
m = api.PyModule_FromDefAndSpec2(definition, importlib.machinery.ModuleSpec("kairodex", None), 1013)
rc = api.PyModule_ExecDef(m, definition)
out["legacy"] = [rc, m.__name__, m.__doc__, m.__all__, m.Date is mod.Date]
print(json.dumps(out))
"""


def test_export_hooks_lead_to_the_same_module(run_python):
    proc = run_python(HOOKS_SCRIPT, kairodex.__file__)
    assert proc.returncode == 0, proc.stderr
    out = json.loads(proc.stdout)
    names = kairodex.__all__

    assert out["loader"] == [names, "", True]

    records = out["records"]
    first_id, first_flags, _, exec_fn = records[0]
    assert (first_id, first_flags) == (85, 0) and exec_fn != 0   # module body first
    assert records[-1] == [0, 0, 0, 0]
    assert all(r[2] == 0 for r in records)                      # reserved field
    by_id = {r[0]: r for r in records[:-1]}
    assert len(by_id) == len(records) - 1                       # no slot twice
    assert by_id[87][1:] == [4, 0, 1]                           # GIL not needed
    assert by_id[86][1:] == [4, 0, 0]                           # no sub-interpreters
    assert by_id[109][1] == 2 and out["abi"] == [1, 0, 0x0002, 0, 0]
    assert by_id[100][1] == 2 and out["name"] == "kairodex"
    assert by_id[101][1] == 2 and out["doc"] == ""
    assert set(by_id) == {85, 86, 87, 100, 101, 109}            # no state, methods, create

    assert out["slots_module"] == ["kairodex", "", names, True, True, None]
    assert out["all_list"] == [["x", *names], None]
    assert out["all_tuple"] == [["x"], False, "TypeError: 'tuple' object is not an instance of 'list'"]
    assert out["legacy"] == [0, "kairodex", "", names, True]


SUBINTERPRETER_SCRIPT = r"""
import sys
from concurrent import interpreters
if sys.argv[1] == "after-main":
    import kairodex
interp = interpreters.create()
try:
    interp.exec("import kairodex")
except interpreters.ExecutionFailed as e:
    print(e.excinfo.type.__name__)
else:
    print("imported")
interp.close()
if sys.argv[1] == "after-main":
    print(kairodex.Date(2024, 1, 1).weekday())
"""


@pytest.mark.parametrize("when, tail", [("fresh", ""), ("after-main", "Monday\n")], ids=["fresh", "after-main"])
def test_isolated_subinterpreter_import_is_refused(run_python, when, tail):
    # The type objects are process-wide, so an isolated interpreter must not get them.
    proc = run_python(SUBINTERPRETER_SCRIPT, when)
    assert proc.returncode == 0, proc.stderr
    assert proc.stdout == "ImportError\n" + tail


# --- class facts -----------------------------------------------------------

@pytest.mark.parametrize("cls", CLASSES, ids=lambda c: c.__name__)
def test_class_identity_and_flags(cls):
    assert cls.__module__ == "kairodex"
    assert cls.__qualname__ == cls.__name__ in kairodex.__all__
    assert cls.__bases__ == (object,)
    flags = cls.__flags__
    assert not flags & (Py_TPFLAGS_BASETYPE | Py_TPFLAGS_IMMUTABLETYPE | Py_TPFLAGS_HAVE_GC)
    assert bool(flags & Py_TPFLAGS_DISALLOW_INSTANTIATION) == (cls is Weekday)
    assert repr(cls) == f"<class 'kairodex.{cls.__name__}'>"


def test_class_docstrings():
    assert Date.__doc__ == ""
    assert Date.__text_signature__ == "(year, month, day)"
    assert str(inspect.signature(Date)) == "(year, month, day)"
    assert Weekday.__doc__ is None


@pytest.mark.parametrize("instance", [Date(2024, 1, 1), Weekday.MONDAY], ids=["Date", "Weekday"])
def test_instances_are_closed_plain_values(instance, monkeypatch):
    cls = type(instance)
    with pytest.raises(TypeError):
        class Sub(cls):  # noqa: F841  # not a base type
            pass
    with pytest.raises(AttributeError):
        instance.extra = 1
    assert not hasattr(instance, "__dict__")
    with pytest.raises(TypeError):
        weakref.ref(instance)
    assert not gc.is_tracked(instance)
    assert bool(instance) is True
    # pickling and copying fall back to object's and fail
    with pytest.raises(TypeError, match="cannot pickle"):
        pickle.dumps(instance)
    with pytest.raises(TypeError):
        copy.copy(instance)
    # the classes themselves stay writable
    monkeypatch.setattr(cls, "extra", 1, raising=False)
    assert instance.extra == 1


@pytest.mark.parametrize("call", [
    lambda: Weekday(),
    lambda: Weekday(0),
    lambda: Weekday(number=0),
    lambda: object.__new__(Weekday),
], ids=["no-args", "positional", "keyword", "object-new"])
def test_weekday_cannot_be_instantiated(call):
    with pytest.raises(TypeError, match=r"cannot create 'kairodex\.Weekday' instances"):
        call()


@pytest.mark.parametrize("name", ["year", "month", "day"])
def test_getters_are_read_only_without_doc(name):
    d = Date(2024, 2, 29)
    descriptor = vars(Date)[name]
    assert descriptor.__doc__ is None
    assert type(getattr(d, name)) is int
    for action in (lambda: setattr(d, name, 1), lambda: delattr(d, name)):
        with pytest.raises(AttributeError, match="not writable"):
            action()
    assert d == Date(2024, 2, 29)


METHOD_DOCS = [
    (Date.parse, "($cls, s)", "(s)", "Parse a date from ISO format (YYYY-MM-DD)."),
    (Date.from_days_since_unix_epoch, "($cls, days)", "(days)",
     "Create a Date from days since Unix epoch (1970-01-01)."),
    (Date.days_since_unix_epoch, "($self)", "(self, /)", "Convert to days since Unix epoch (1970-01-01)."),
    (Date.weekday, "($self)", "(self, /)", "Get the weekday."),
    (Date.ordinal, "($self)", "(self, /)", "Get the day of the year (1-366)."),
    (Date.add_days, "($self, days)", "(self, /, days)", "Add days to the date."),
    (Weekday.number_from_monday, "($self)", "(self, /)", "Get the weekday number from Monday (1-7)."),
]


@pytest.mark.parametrize("func, text_sig, shown, summary", METHOD_DOCS,
                         ids=[m[0].__name__ for m in METHOD_DOCS])
def test_method_signatures_and_docs(func, text_sig, shown, summary):
    assert func.__text_signature__ == text_sig
    assert str(inspect.signature(func)) == shown
    assert func.__doc__.split("\n")[0] == summary


def test_class_methods_bind_to_the_class_even_through_instances():
    d = Date(1, 1, 1)
    assert Date.parse.__self__ is Date and d.parse.__self__ is Date
    assert type(d.from_days_since_unix_epoch(0)) is Date
