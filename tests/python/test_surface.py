"""The module's whole Python surface: how it loads (the import system's
loader, both export hooks, a reimport, isolated sub-interpreters), its
namespace, and class by class every member of the shared catalogue: that the
class has those members and no other, in that order, each of its kind, with
its docstring, parameter table and class of result; the classes' flags and
what their instances refuse."""
import contextlib
import copy
import functools
import gc
import importlib
import inspect
import json
import pickle
import re
import sys
import threading
import weakref
from unittest import mock

import kairodex
import pytest
from catalogue import (CALLABLE, CLASS_METHOD, CLASSES, CONSTANT, CONSTRUCTOR, GETTER, MEMBERS, METHOD, OPERATOR,
                       REQUIRED, SAMPLES, labels, members)

CONSTRUCTORS = {m.cls: m for m in members(CONSTRUCTOR)}
NO_CONSTRUCTOR = [c for c in CLASSES if c not in CONSTRUCTORS]
METHODS = members(CLASS_METHOD, METHOD)
TAKING_ARGUMENTS = [m for m in members(*CALLABLE) if m.params]

Py_TPFLAGS_DISALLOW_INSTANTIATION = 1 << 7
Py_TPFLAGS_IMMUTABLETYPE = 1 << 8
Py_TPFLAGS_BASETYPE = 1 << 10
Py_TPFLAGS_HAVE_GC = 1 << 14


def parameter_list(params):
    """The parameters as a signature shows them: `secs, nanos=0`."""
    return [p.name if p.default is REQUIRED else f"{p.name}={p.default!r}" for p in params]


# --- the module --------------------------------------------------------------

def test_all_is_the_seven_classes_in_registration_order():
    assert type(kairodex.__all__) is list
    assert kairodex.__all__ == [c.__name__ for c in CLASSES]
    assert all(getattr(kairodex, c.__name__) is c for c in CLASSES)
    assert {n for n in vars(kairodex) if not n.startswith("__")} == set(kairodex.__all__)  # nothing else
    assert kairodex.__doc__ == ""
    # The version is the distribution's: importlib.metadata.version("kairodex").
    assert not hasattr(kairodex, "__version__")


def test_reimport_builds_new_module_with_same_types(monkeypatch):
    monkeypatch.delitem(sys.modules, "kairodex")
    again = importlib.import_module("kairodex")
    assert again is not kairodex
    assert again.__all__ == kairodex.__all__ and again.__all__ is not kairodex.__all__
    assert all(getattr(again, c.__name__) is c for c in CLASSES)
    assert again.Weekday.MONDAY is kairodex.Weekday.MONDAY


# The export hooks, each in its own interpreter process.
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

class ClassicSlot(ctypes.Structure):
    _fields_ = [("id", ctypes.c_int), ("value", ctypes.c_void_p)]

class Definition(ctypes.Structure):  # PyModuleDef
    _fields_ = [("head", ctypes.c_byte * (sys.getsizeof(None) + 3 * ctypes.sizeof(ctypes.c_void_p))),
                ("name", ctypes.c_char_p), ("doc", ctypes.c_char_p), ("size", ctypes.c_ssize_t),
                ("methods", ctypes.c_void_p), ("slots", ctypes.POINTER(ClassicSlot))]

def listed(slots, kind, end=lambda s: s.id == 0):
    records, i = [], 0
    while True:
        records.append(slots[i])
        if end(slots[i]):
            return records
        i += 1

lib = ctypes.PyDLL(path)
api = ctypes.pythonapi
# Legacy definition: PyInit returns the definition (on 3.15 leading to the
# slot list of the export hook, before that holding the module's slots).
lib.PyInit_kairodex.restype = ctypes.POINTER(Definition)
lib.PyInit_kairodex.argtypes = []
definition = lib.PyInit_kairodex()
d = definition.contents
out["definition"] = [d.name.decode(), d.doc.decode(), d.size, d.methods or 0,
                     [[s.id, s.value or 0] for s in listed(d.slots, ClassicSlot)]]
api.PyModule_FromDefAndSpec2.restype = ctypes.py_object
api.PyModule_FromDefAndSpec2.argtypes = [ctypes.c_void_p, ctypes.py_object, ctypes.c_int]
api.PyModule_ExecDef.argtypes = [ctypes.py_object, ctypes.c_void_p]
api.PyModule_ExecDef.restype = ctypes.c_int

if hasattr(lib, "PyModExport_kairodex"):  # the slot export, from 3.15 on
    api.PyModule_Exec.argtypes = [ctypes.py_object]
    api.PyModule_Exec.restype = ctypes.c_int
    lib.PyModExport_kairodex.restype = ctypes.POINTER(Slot)
    lib.PyModExport_kairodex.argtypes = []
    slots = lib.PyModExport_kairodex()
    records = [[s.id, s.flags, s.reserved, s.value or 0] for s in listed(slots, Slot)]
    by_id = {r[0]: r for r in records}
    out["records"] = records
    out["slots_address"] = ctypes.cast(slots, ctypes.c_void_p).value
    out["name"] = ctypes.string_at(by_id[100][3]).decode()
    out["doc"] = ctypes.string_at(by_id[101][3]).decode()
    out["abi"] = list(struct.unpack("=BBHII", ctypes.string_at(by_id[109][3], 12)))
    api.PyModule_FromSlotsAndSpec.restype = ctypes.py_object
    api.PyModule_FromSlotsAndSpec.argtypes = [ctypes.c_void_p, ctypes.py_object]

def fresh_module(prepare=None):
    # A new module object from the export hook (the legacy definition where
    # there is none), with its body run after `prepare`.
    spec = importlib.machinery.ModuleSpec("kairodex", None, origin=path)
    if "records" in out:
        m = api.PyModule_FromSlotsAndSpec(ctypes.cast(slots, ctypes.c_void_p), spec)
        run = lambda: api.PyModule_Exec(m)
    else:
        m = api.PyModule_FromDefAndSpec2(definition, spec, 1013)
        run = lambda: api.PyModule_ExecDef(m, definition)
    if prepare:
        prepare(m)
    try:
        run()
    except BaseException as e:
        return m, f"{type(e).__name__}: {e}"
    return m, None

m, err = fresh_module()
out["slots_module"] = [m.__name__, m.__doc__, m.__all__, m.Date is mod.Date, m.Weekday is mod.Weekday, err]

# An existing __all__ list is extended; any other __all__ stops the body.
m, err = fresh_module(lambda m: setattr(m, "__all__", ["x"]))
out["all_list"] = [m.__all__, err]
m, err = fresh_module(lambda m: setattr(m, "__all__", ("x",)))
out["all_tuple"] = [m.__all__, hasattr(m, "Weekday"), err]

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

    name, doc, size, methods, classic = out["definition"]
    assert (name, doc, size, methods) == ("kairodex", "", 0, 0)   # no state, no methods
    assert classic[-1] == [0, 0]
    if "records" not in out:
        # Before 3.15, PyInit_kairodex alone: its module slots are classic
        # ones: the body, GIL not needed (1), no sub-interpreters (0).
        assert [r[0] for r in classic[:-1]] == [2, 4, 3] and classic[0][1] != 0
        assert [r[1] for r in classic[1:-1]] == [1, 0]
    else:
        assert classic[:-1] == [[92, out["slots_address"]]]      # the legacy slots lead to the export's
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


# --- classes -----------------------------------------------------------------

@pytest.mark.parametrize("cls", CLASSES, ids=lambda c: c.__name__)
def test_slots_and_members(cls):
    # The catalogue has a row for every member, and the members of its rows
    # exist: a member added without a row fails here.
    rows = members(cls=cls)
    own = vars(cls)
    slots = {m.name for m in rows if m.name.startswith("__")}
    # copyreg caches __slotnames__ on a class once an instance was pickled or copied.
    # Every class has a __new__ of its own, refusing where there is no constructor.
    assert {n for n in own if n.startswith("__")} - {"__slotnames__"} == slots | {"__doc__", "__module__", "__new__"}
    # In table order: the methods table (class methods and methods), getters, class attributes.
    assert [n for n in own if not n.startswith("__")] == [m.name for m in rows if not m.name.startswith("__")]


STORED_AS = {CONSTRUCTOR: "builtin_function_or_method", CLASS_METHOD: "builtin_function_or_method",
             METHOD: "method_descriptor", GETTER: "getset_descriptor", OPERATOR: "wrapper_descriptor"}


@pytest.mark.parametrize("member", MEMBERS, ids=labels(MEMBERS))
def test_member_kinds(member):
    stored = vars(member.cls)[member.name]
    if member.kind == CONSTANT:
        assert type(stored) is member.cls
    else:
        assert type(stored).__name__ == STORED_AS[member.kind]
    if member.kind == CLASS_METHOD:  # class methods are stored bound to their class
        assert stored.__self__ is member.cls and getattr(member.cls, member.name) is stored


@pytest.mark.parametrize("member", MEMBERS, ids=labels(MEMBERS))
def test_member_returns_its_class(member):
    assert type(member.valid_call()) is member.returns


# A type of the interpreter's own that cannot be instantiated, called.
NOT_INSTANTIABLE = lambda: type(iter(range(0)))()  # noqa: E731


@pytest.mark.parametrize("cls", CLASSES, ids=lambda c: c.__name__)
def test_flags_and_class_docs(cls, interpreter_says):
    assert cls.__bases__ == (object,) and cls.__module__ == "kairodex" and cls.__qualname__ == cls.__name__
    assert repr(cls) == f"<class 'kairodex.{cls.__name__}'>"
    # No flag a class may not have: the one for types that cannot be
    # instantiated included, which makes a debug interpreter abort once
    # Python code gives the class a __new__.
    assert not cls.__flags__ & (Py_TPFLAGS_BASETYPE | Py_TPFLAGS_IMMUTABLETYPE | Py_TPFLAGS_HAVE_GC
                                | Py_TPFLAGS_DISALLOW_INSTANTIATION)
    if cls in CONSTRUCTORS:
        constructor = CONSTRUCTORS[cls]
        signature = f"({', '.join(parameter_list(constructor.params))})"
        assert (cls.__doc__, cls.__text_signature__) == (constructor.doc, signature)
    else:
        assert cls.__doc__ is None and cls.__text_signature__ is None
        with pytest.raises(TypeError) as info:
            cls()
        assert str(info.value) == interpreter_says(NOT_INSTANTIABLE, ("range_iterator", f"kairodex.{cls.__name__}"))
    with pytest.raises(TypeError):
        type("Sub", (cls,), {})


@pytest.mark.parametrize("cls", NO_CONSTRUCTOR, ids=lambda c: c.__name__)
@pytest.mark.parametrize("call", [
    lambda cls: cls(0),
    lambda cls: cls(number=0),
    lambda cls: cls.__new__(cls),
], ids=["positional", "keyword", "own-new"])
def test_classes_without_constructor_refuse_every_call(cls, call, interpreter_says):
    with pytest.raises(TypeError) as info:
        call(cls)
    # As for a type of the interpreter's own that cannot be instantiated.
    assert str(info.value) == interpreter_says(lambda: type(iter(range(0)))(),
                                               ("range_iterator", f"kairodex.{cls.__name__}"))


# --- classes that Python code rewrites ----------------------------------------
# The classes are not immutable: Python code may give them a __new__ or an
# __init__ (a test double, say) and take it away again. Whatever it does, no
# instance ever holds what is not a valid value (object.__new__ would hand
# out a zero-filled one, the date 0000-00-00), no interpreter aborts (a debug
# build checks a class's consistency after every assignment), and calling the
# class does exactly what type.__call__ does.

ARGUMENTS = {cls: [p.valid for p in m.params] for cls, m in CONSTRUCTORS.items()}


def object_new_refusal(cls):
    with pytest.raises(TypeError) as info:
        object.__new__(cls)
    return str(info.value)


@pytest.mark.parametrize("cls", CLASSES, ids=lambda c: c.__name__)
@pytest.mark.parametrize("rewrite", ["replace", "delete"])
def test_object_new_never_makes_an_instance(cls, rewrite, monkeypatch, interpreter_says):
    # Untouched, the interpreter's own check refuses; rewritten, the class, in
    # the same words.
    refusal = interpreter_says(lambda: object.__new__(threading.Lock), ("_thread.lock", f"kairodex.{cls.__name__}"))
    assert object_new_refusal(cls) == refusal
    if rewrite == "replace":
        monkeypatch.setattr(cls, "__new__", staticmethod(lambda c, *a, **k: object.__new__(c)))
    else:  # the class then inherits object's __new__
        monkeypatch.delattr(cls, "__new__")
    assert object_new_refusal(cls) == refusal
    for call in (lambda: cls(*ARGUMENTS.get(cls, [])), lambda: type.__call__(cls, *ARGUMENTS.get(cls, []))):
        with pytest.raises(TypeError):
            call()
    monkeypatch.undo()
    # Put back, the class works as before, both ways of calling it.
    assert object_new_refusal(cls) == refusal
    if cls in CONSTRUCTORS:
        assert cls(*ARGUMENTS[cls]) == type.__call__(cls, *ARGUMENTS[cls]) == cls.__new__(cls, *ARGUMENTS[cls])


@pytest.mark.parametrize("cls", list(CONSTRUCTORS), ids=lambda c: c.__name__)
@pytest.mark.parametrize("patched", ["__new__", "__init__", "both"])
def test_the_class_call_is_type_call(cls, patched):
    args = ARGUMENTS[cls]
    keywords = {CONSTRUCTORS[cls].params[-1].name: args[-1]}
    existing = cls(*args)  # what the test double's __new__ returns: type.__call__ then calls __init__ on it
    seen = []

    def new(c, *a, **k):
        seen.append(("new", a, k))
        return existing

    def init(self, *a, **k):
        seen.append(("init", a, k))

    with contextlib.ExitStack() as stack:
        if patched in ("__new__", "both"):
            stack.enter_context(mock.patch.object(cls, "__new__", new))
        if patched in ("__init__", "both"):
            stack.enter_context(mock.patch.object(cls, "__init__", init))
        by_class = [cls(*args), cls(*args[:-1], **keywords)]
        through_class, seen[:] = seen[:], []
        by_type = [type.__call__(cls, *args), type.__call__(cls, *args[:-1], **keywords)]
    assert through_class == seen and len(seen) == (4 if patched == "both" else 2)
    assert by_class == by_type and all(type(r) is cls for r in by_class)
    assert (by_class[0] is existing) == (patched != "__init__")
    # Unpatched, the class's own constructor once more.
    assert cls(*args) == type.__call__(cls, *args) == existing and cls(*args) is not existing


# --- methods and getters -----------------------------------------------------

@pytest.mark.parametrize("member", METHODS, ids=labels(METHODS))
def test_method_docstrings(member):
    # Registered as text signature, "--", blank line, text: CPython splits them.
    method = getattr(member.cls, member.name)
    params = parameter_list(member.params)
    first = "$cls" if member.kind == CLASS_METHOD else "$self"
    assert method.__text_signature__ == f"({', '.join([first, *params])})"
    assert method.__doc__ == member.doc
    # As inspect shows it: a class method bound to the class, a method unbound.
    shown = params if member.kind == CLASS_METHOD else ["self", "/", *params]
    assert str(inspect.signature(method)) == f"({', '.join(shown)})"


# Methods registered without arguments refuse one with CPython's own text;
# class methods are bound to the class, also when reached through an instance.
@pytest.mark.parametrize("member", METHODS, ids=labels(METHODS))
def test_method_kinds(member):
    bound = getattr(SAMPLES[member.cls], member.name)
    is_class_method = member.kind == CLASS_METHOD
    assert (bound.__self__ is member.cls) == is_class_method
    if is_class_method:
        assert type(bound(*[p.valid for p in member.params])) is member.returns
    if not member.params:
        for call, refusal in ((lambda: bound(1), "arguments \\(1 given\\)"), (lambda: bound(x=1), "keyword arguments")):
            with pytest.raises(TypeError, match=rf"^{re.escape(member.label)}\(\) takes no {refusal}$") as info:
                call()
            assert not hasattr(info.value, "__notes__")


GETTERS = members(GETTER)


@pytest.mark.parametrize("member", GETTERS, ids=labels(GETTERS))
def test_getters_are_read_only_and_undocumented(member, interpreter_says):
    value, name = member.on, member.name
    assert vars(member.cls)[name].__doc__ is None
    before = getattr(value, name)
    renames = [("'real'", f"'{name}'"), ("'int'", f"'kairodex.{member.cls.__name__}'")]
    for attempt, reference in ((lambda: setattr(value, name, before), lambda: setattr(1, "real", 1)),
                               (lambda: delattr(value, name), lambda: delattr(1, "real"))):
        with pytest.raises(AttributeError) as info:
            attempt()
        assert str(info.value) == interpreter_says(reference, *renames)
    assert getattr(value, name) == before


# --- parameter tables --------------------------------------------------------

def quoted_list(names):
    quoted = [f"'{n}'" for n in names]
    if len(quoted) < 3:
        return " and ".join(quoted)
    return ", ".join(quoted[:-1]) + ", and " + quoted[-1]


def type_error(call):
    with pytest.raises(TypeError) as info:
        call()
    assert not getattr(info.value, "__notes__", None)  # binding errors carry no note
    return str(info.value)


# Binding runs before any conversion, so None stands in for every argument.
@pytest.mark.parametrize("member", TAKING_ARGUMENTS, ids=labels(TAKING_ARGUMENTS))
def test_parameter_tables(member):
    call, label = member.target, member.label
    names = [p.name for p in member.params]
    total, required = len(names), sum(p.default is REQUIRED for p in member.params)
    word = "argument" if required == 1 else "arguments"
    assert type_error(call) == (
        f"{label}() missing {required} required positional {word}: {quoted_list(names[:required])}")
    takes = f"{total}" if required == total else f"from {required} to {total}"
    assert type_error(lambda: call(*[None] * (total + 1))) == (
        f"{label}() takes {takes} positional arguments but {total + 1} were given")
    for name in names:  # each parameter is reachable by its keyword
        assert type_error(lambda: call(*[None] * total, **{name: None})) == (
            f"{label}() got multiple values for argument '{name}'")
    assert type_error(lambda: call(bogus=None)) == f"{label}() got an unexpected keyword argument 'bogus'"
    assert str(inspect.signature(call)) == f"({', '.join(parameter_list(member.params))})"


@pytest.mark.parametrize("member", TAKING_ARGUMENTS, ids=labels(TAKING_ARGUMENTS))
def test_arguments_by_keyword_give_the_same_value(member):
    expected = member.valid_call()
    assert member.keyword_call() == expected  # all by keyword, in the reverse order
    first, *rest = member.params
    assert member.call(first.valid, **{p.name: p.valid for p in reversed(rest)}) == expected
