"""Sphinx configuration of the kairodex documentation.

Built by `scripts/dev docs` (see scripts/docs) with the freshly built module
importable: the API reference is autodoc of the module itself, its signatures
and types from src/python/kairodex.pyi (docs/_ext/kairodex_stubs.py); what runs
where, the wheels and the version come from docs/data/support.toml and
pyproject.toml (docs/_ext/kairodex_support.py); and the performance charts
are drawn from docs/data/compare.json on every build (docs/charts.py).
"""

import sys
from pathlib import Path

here = Path(__file__).resolve().parent
# examples/ for the recipes (examples/recipes.py) that docs/recipes.rst tests.
sys.path[:0] = [str(here / "_ext"), str(here), str(here.parent / "examples")]

import charts  # noqa: E402  (docs/charts.py)
import zone_charts  # noqa: E402  (docs/zone_charts.py)
import kairodex_support  # noqa: E402  (docs/_ext/kairodex_support.py)

project = "kairodex"
author = "the kairodex developers"
copyright = "the kairodex developers"


# pyproject.toml's version, the one place it is written (whatever kairodex
# may be installed beside the build tree the pages are checked against).
release = version = kairodex_support.project_version()

extensions = [
    "sphinx.ext.autodoc",
    "sphinx.ext.napoleon",
    "sphinx.ext.doctest",
    "kairodex_stubs",
    # The interpreters, systems and wheels, from docs/data/support.toml.
    "kairodex_support",
    # CHANGELOG.md, included by changelog.rst.
    "myst_parser",
]

root_doc = "index"
exclude_patterns = ["_charts/*.rst"]
templates_path = []
language = "en"
today_fmt = "%Y-%m-%d"

# The module's docstrings use Google-style sections (Args, Returns, Raises).
napoleon_google_docstring = True
napoleon_numpy_docstring = False
napoleon_use_rtype = False

autodoc_member_order = "bysource"
autodoc_typehints = "signature"
autodoc_class_signature = "mixed"
add_module_names = False
python_use_unqualified_type_names = True

# Every `>>>` block of the pages is a doctest, run by `-b doctest`.
doctest_test_doctest_blocks = "default"
# The pandas recipes are skipped where pandas is not installed.
doctest_global_setup = "import importlib.util\nhave_pandas = importlib.util.find_spec('pandas') is not None\n"

html_theme = "furo"
html_title = f"kairodex {release}"
html_static_path = []
html_show_sourcelink = False
html_copy_source = False
html_last_updated_fmt = None

# The charts of the performance page, from the committed benchmark figures;
# the pictures of the time zones page, from kairodex_tz's answers.
charts.draw(here / "data" / "compare.json", here / "_charts")
zone_charts.draw(here / "_charts")
