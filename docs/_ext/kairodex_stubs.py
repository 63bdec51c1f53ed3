"""Types for the API reference, taken from the module's type stubs.

The extension module's docstrings say what each member does but carry no
types, and its properties and class attributes have no docstrings at all.
This extension reads ``src/python/kairodex.pyi`` and gives autodoc

- each callable's signature with the parameter and return types of the stub
  (a class's from its ``__new__``, without ``cls``; a class without
  ``__new__`` in the stubs cannot be called and gets no signature);
- for each property, a line naming its type (class attributes get theirs
  from the annotations of the stubs, below);
- the order of the members: the stubs stand in for the source that autodoc
  looks for to order members "bysource", which an extension module lacks
  (and a change of the stubs rebuilds the pages that use them).

A member of the module that the stubs lack is a build error.
"""

import ast
import copy
from dataclasses import dataclass
from pathlib import Path

from sphinx.application import Sphinx
from sphinx.errors import ExtensionError
from sphinx.pycode import ModuleAnalyzer


@dataclass(frozen=True)
class Stub:
    kind: str  # "callable", "property" or "attribute"
    signature: str | None = None  # "(a: int, b: str = 0)" for callables
    returns: str | None = None  # return type or value type


def _without_first(arguments: ast.arguments) -> ast.arguments:
    """The parameters without `self` or `cls`."""
    rest = copy.deepcopy(arguments)
    (rest.posonlyargs or rest.args).pop(0)
    # Defaults belong to the last parameters, so dropping the first keeps them.
    return rest


def _class_var_type(annotation: ast.expr) -> str:
    # ClassVar[X] -> X
    if isinstance(annotation, ast.Subscript) and ast.unparse(annotation.value) == "ClassVar":
        return ast.unparse(annotation.slice)
    return ast.unparse(annotation)


def read_stubs(path: Path) -> dict[str, Stub]:
    """Map 'Class' and 'Class.member' to what the stub file says of them."""
    stubs: dict[str, Stub] = {}
    for node in ast.parse(path.read_text(encoding="utf-8")).body:
        if not isinstance(node, ast.ClassDef):
            continue
        stubs[node.name] = Stub("class")
        for item in node.body:
            if isinstance(item, ast.AnnAssign) and isinstance(item.target, ast.Name):
                stubs[f"{node.name}.{item.target.id}"] = Stub("attribute", returns=_class_var_type(item.annotation))
            elif isinstance(item, ast.FunctionDef):
                decorators = {ast.unparse(d) for d in item.decorator_list}
                returns = ast.unparse(item.returns) if item.returns else None
                if "property" in decorators:
                    stubs[f"{node.name}.{item.name}"] = Stub("property", returns=returns)
                    continue
                signature = f"({ast.unparse(_without_first(item.args))})"
                if item.name == "__new__":
                    stubs[node.name] = Stub("class", signature=signature)
                else:
                    stubs[f"{node.name}.{item.name}"] = Stub("callable", signature=signature, returns=returns)
    return stubs


_stubs: dict[str, Stub] = {}


def _stub_for(app: Sphinx, name: str) -> Stub:
    stub = _stubs.get(name.removeprefix("kairodex."))
    if stub is None:
        raise ExtensionError(f"kairodex.pyi has no stub for {name}")
    return stub


def _load(app: Sphinx) -> None:
    path = Path(app.confdir, app.config.kairodex_stub_file).resolve()
    _stubs.clear()
    _stubs.update(read_stubs(path))
    ModuleAnalyzer.cache["module", "kairodex"] = ModuleAnalyzer.for_file(path, "kairodex")


def _signature(app, what, name, obj, options, signature, return_annotation):
    if not name.startswith("kairodex."):
        return None
    if what == "class":
        stub = _stub_for(app, name)
        # None leaves autodoc's own text; "" removes the signature. Where
        # autodoc found none (signature is None), there is nothing to remove,
        # and Sphinx 9 fails on a replacement for a signature it does not have.
        if stub.signature is None and signature is None:
            return None
        return (stub.signature or "", None)
    if what in ("method", "function", "classmethod", "staticmethod"):
        stub = _stub_for(app, name)
        return (stub.signature, stub.returns)
    return None


def _docstring(app, what, name, obj, options, lines):
    if not name.startswith("kairodex.") or what not in ("attribute", "property"):
        return
    stub = _stub_for(app, name)
    if stub.kind == "property":
        lines[:0] = [f"Read-only property: :class:`{stub.returns}`.", ""]


def setup(app: Sphinx):
    app.add_config_value("kairodex_stub_file", "../src/python/kairodex.pyi", "env")
    app.connect("builder-inited", _load)
    app.connect("autodoc-process-signature", _signature)
    app.connect("autodoc-process-docstring", _docstring)
    return {"parallel_read_safe": True, "parallel_write_safe": True}
