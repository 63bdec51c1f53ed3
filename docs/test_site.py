"""The built documentation as a reader gets it.

Run by scripts/docs after the HTML build, against KAIRODEX_DOCS_HTML (default
build-docs/html):

- every page's relative links, anchors, images, style sheets and scripts
  resolve to files of the site, and every image is a valid, non-empty picture;
- the pages for users keep to the users' words: no benchmark internals, test
  files, developer tooling, working-copy paths or workings of the module's
  frame (those are for the performance internals and development pages); the
  changelog is rendered from its Markdown; the index names the version being
  documented;
- what runs where tells one story: README.md's wheel table, every wheel and
  archive name, every list of interpreters and every claim about
  free-threaded builds in the README and on the pages, pyproject.toml's
  classifiers and requires-python, CMakeLists.txt's free-threaded check and
  the README's performance table agree with docs/data/support.toml,
  pyproject.toml's version, CHANGELOG.md and docs/data/compare.json;
- headless Chromium renders every page but the generated ones: their text is
  visible, every image has loaded with a size, no script fails; and a
  screenshot of the index page (build-docs/index.png) is not blank.

KAIRODEX_DOCS_BROWSER=0 leaves Chromium out.
"""

import json
import os
import re
import shutil
import struct
import subprocess
import sys
import tomllib
import xml.etree.ElementTree as ElementTree
from functools import cache
from html.parser import HTMLParser
from pathlib import Path
from urllib.parse import unquote, urlsplit

import pytest

TOP = Path(__file__).resolve().parent.parent
sys.path[:0] = [str(TOP / "docs" / "_ext"), str(TOP / "docs")]
import kairodex_support  # noqa: E402  (docs/_ext/kairodex_support.py)
from charts import DIFFERENT_TEXTS  # noqa: E402  (docs/charts.py)

HTML = Path(os.environ.get("KAIRODEX_DOCS_HTML", TOP / "build-docs" / "html")).resolve()
BROWSER = os.environ.get("KAIRODEX_DOCS_BROWSER", "1") == "1"
PAGES = ["index", "getting-started", "installation", "tutorial", "coming-from-datetime", "timezones", "columns",
         "recipes", "faq", "api", "text-formats", "behaviour", "performance", "reliability", "changelog", "development",
         "performance-internals", "genindex", "search"]
# The pages for those who work on kairodex; every other page is for its users.
DEVELOPER_PAGES = {"development", "performance-internals"}
# Words of the benchmarks' internals, which the pages for users do not use.
INTERNAL_WORDS = re.compile(r"\bfloors?\b|own costs?|block pools?|siphash", re.IGNORECASE)
# Words of the module's making, which the pages for users leave to the
# developers' pages, each with what it speaks of.
DEVELOPER_WORDS = {
    "the benchmarks' internals": INTERNAL_WORDS,
    "the developer tooling, which the source archive does not carry": re.compile(r"\bscripts/"),
    "the test suite's files and marks": re.compile(r"\btests/(?:python|core)/\S|\btest_\w+\.py\b|\bcatalogue\b"),
    "the module's frame": re.compile(r"\bframes?\b", re.IGNORECASE),
    "a working copy": re.compile(r"/work/|\bbuild-[\w-]+/|\bcheckout\b"),
    "how class methods are stored": re.compile(r"\bstored bound\b|\balready bound\b|\bbound to (?:its|their) class"),
    "what replacing class attributes does": re.compile(r"\breassign|\brebind|__init__", re.IGNORECASE),
    "continuous integration": re.compile(r"\bCI\b"),
}
SUPPORT = kairodex_support.load()


class Text(HTMLParser):
    """The text of a page's body, as a reader could see it (no scripts or
    styles); with `hand_written`, without the tables that docs/_ext/
    kairodex_support.py writes from the list of what runs where."""

    def __init__(self, path: Path, hand_written: bool = False):
        super().__init__()
        self.parts: list[str] = []
        self.skipping = 0
        self.generated = 0  # depth of <div> inside a generated table's container
        self.hand_written = hand_written
        self.feed(path.read_text(encoding="utf-8"))
        self.text = re.sub(r"\s+", " ", " ".join(self.parts))

    def handle_starttag(self, tag, attrs):
        self.skipping += tag in ("script", "style")
        if tag == "div" and (self.generated or (self.hand_written and
                                                "kairodex-support" in (dict(attrs).get("class") or "").split())):
            self.generated += 1

    def handle_endtag(self, tag):
        self.skipping -= tag in ("script", "style")
        if tag == "div" and self.generated:
            self.generated -= 1

    def handle_data(self, data):
        if not self.skipping and not self.generated:
            self.parts.append(data)


class Page(HTMLParser):
    """The anchors a page defines and the references it makes."""

    def __init__(self, path: Path):
        super().__init__()
        self.path = path
        self.anchors: set[str] = set()
        self.links: list[str] = []  # <a href>
        self.resources: list[str] = []  # <img src>, <link href>, <script src>
        self.images: list[str] = []
        self.feed(path.read_text(encoding="utf-8"))

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        for name in ("id", "name"):
            if attrs.get(name) and (name == "id" or tag == "a"):
                self.anchors.add(attrs[name])
        if tag == "a" and attrs.get("href") is not None:
            self.links.append(attrs["href"])
        elif tag == "img" and attrs.get("src"):
            self.resources.append(attrs["src"])
            self.images.append(attrs["src"])
        elif tag == "link" and attrs.get("href"):
            self.resources.append(attrs["href"])
        elif tag == "script" and attrs.get("src"):
            self.resources.append(attrs["src"])


@cache
def page(path: Path) -> Page:
    return Page(path)


def all_pages() -> list[Path]:
    return sorted(p for p in HTML.rglob("*.html") if "_static" not in p.parts)


def is_external(reference: str) -> bool:
    return bool(urlsplit(reference).scheme) or reference.startswith("//")


def target_of(source: Path, reference: str) -> tuple[Path, str]:
    """The file and the fragment a relative reference of `source` points to."""
    parts = urlsplit(reference)
    if not parts.path:
        return source, unquote(parts.fragment)
    target = (source.parent / unquote(parts.path)).resolve()
    if parts.path.endswith("/"):
        target = target / "index.html"
    return target, unquote(parts.fragment)


def png_size(data: bytes) -> tuple[int, int]:
    """Width and height from a PNG's header; fails on anything but a PNG."""
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG signature"
    length, kind = struct.unpack(">I4s", data[8:16])
    assert kind == b"IHDR" and length == 13, "no IHDR chunk first"
    return struct.unpack(">II", data[16:24])


def check_picture(path: Path) -> None:
    data = path.read_bytes()
    assert data, f"{path} is empty"
    if path.suffix == ".png":
        width, height = png_size(data)
        assert width > 0 and height > 0, f"{path} has no pixels"
        assert data.rstrip(b"\x00").endswith(b"IEND\xaeB`\x82"), f"{path} is cut short"
    elif path.suffix == ".svg":
        assert ElementTree.fromstring(data).tag.endswith("svg"), f"{path} is not SVG"
    else:
        pytest.fail(f"unexpected picture type: {path}")


# --- the files of the site ----------------------------------------------------

def test_every_page_is_built():
    built = {p.relative_to(HTML).with_suffix("").as_posix() for p in all_pages()}
    assert set(PAGES) <= built
    assert not built - set(PAGES) - {"py-modindex"}, "pages nobody listed"


@pytest.mark.parametrize("name", PAGES)
def test_links_and_anchors_resolve(name):
    source = HTML / f"{name}.html"
    broken = []
    for reference in page(source).links + page(source).resources:
        if is_external(reference):
            continue
        target, fragment = target_of(source, reference)
        if HTML not in target.parents:
            broken.append(f"{reference} (outside the site)")
        elif not target.is_file():
            broken.append(f"{reference} (no file)")
        elif fragment and target.suffix == ".html" and fragment not in page(target).anchors:
            broken.append(f"{reference} (no anchor)")
    assert not broken, f"{name}.html: " + ", ".join(broken)


def test_the_site_loads_nothing_from_elsewhere():
    # The site works offline: no fonts, scripts or pictures from elsewhere.
    for path in all_pages():
        assert not [r for r in page(path).resources if is_external(r)], path.name


def test_every_picture_is_valid():
    pictures = {target_of(path, src)[0] for path in all_pages() for src in page(path).images}
    assert len(pictures) >= 4, "the performance charts are missing"
    for picture in sorted(pictures):
        check_picture(picture)


USER_PAGES = [p for p in PAGES if p not in DEVELOPER_PAGES]


@pytest.mark.parametrize("name", USER_PAGES)
def test_user_pages_speak_the_users_words(name):
    text = Text(HTML / f"{name}.html").text
    found = {what: sorted({m.group(0) for m in words.finditer(text)}) for what, words in DEVELOPER_WORDS.items()}
    found = {what: words for what, words in found.items() if words}
    assert not found, (f"{name}.html speaks of {found}: that belongs on the development or performance "
                       "internals page, or in the users' terms")


def test_the_developers_words_have_their_own_pages():
    # The check above would pass on an empty site, or with a pattern that
    # matches nothing; each kind of word must be somewhere.
    text = " ".join(Text(HTML / f"{name}.html").text for name in DEVELOPER_PAGES)
    missing = [what for what, words in DEVELOPER_WORDS.items() if not words.search(text)]
    assert not missing, f"no developer page speaks of {missing}"
    assert "own cost" in Text(HTML / "performance-internals.html").text


def test_the_index_names_the_version():
    text = Text(HTML / "index.html").text
    state = kairodex_support.release_state(SUPPORT.version)
    assert f"documentation of kairodex {SUPPORT.version} ({state})" in text


def test_the_changelog_is_rendered_from_markdown():
    html = (HTML / "changelog.html").read_text(encoding="utf-8")
    text = Text(HTML / "changelog.html").text
    version = re.escape(SUPPORT.version)
    assert re.search(r"<h1>Changelog", html) and re.search(rf"<h2>{version}", html) and re.search(r"<h2>0\.1\.0", html)
    assert "<li>" in html and "<code" in html
    assert not re.search(r"(^| )#{1,3} |`", text), "Markdown left unrendered"


def test_api_page_lists_every_member_with_types():
    import kairodex

    text = (HTML / "api.html").read_text(encoding="utf-8")
    for class_name in kairodex.__all__:
        cls = getattr(kairodex, class_name)
        assert f'id="kairodex.{class_name}"' in text
        for member in cls.__dict__:
            if not member.startswith("_"):
                assert f'id="kairodex.{class_name}.{member}"' in text, f"{class_name}.{member} is not documented"
    # Types from the stubs; class methods marked as such.
    signature = re.search(r'<dt class="sig sig-object py" id="kairodex.Date.parse">(.*?)</dt>', text, re.S)
    assert signature, "Date.parse has no signature"
    words = re.sub(r"<[^>]+>", "", signature.group(1))
    assert "classmethod" in words and "str" in words and "Date" in words, words


# --- what runs where: one story -------------------------------------------------------

README = TOP / "README.md"
# Where the claims are checked: the README and the pages for users (the
# changelog's history included: none of it names a wheel).
CLAIMANTS = ["README"] + [p for p in USER_PAGES if p not in ("genindex", "search")]


def readme_text(hand_written: bool = False) -> str:
    text = README.read_text(encoding="utf-8")
    if hand_written:
        text = text.replace(kairodex_support.readme_block(text) or "", " ")
    return re.sub(r"\s+", " ", text)


def claimant_text(name: str, hand_written: bool = False) -> str:
    return readme_text(hand_written) if name == "README" else Text(HTML / f"{name}.html", hand_written).text


def test_readme_lists_the_wheels_of_the_list():
    block = kairodex_support.readme_block(README.read_text(encoding="utf-8"))
    assert block is not None, f"README.md has lost the line {kairodex_support.README_START!r}"
    assert block == kairodex_support.readme_table(SUPPORT), (
        "README.md's wheel table is not that of docs/data/support.toml: "
        "python3 docs/_ext/kairodex_support.py --write-readme writes it")


@pytest.mark.parametrize("name", ["README"] + [p for p in PAGES if p not in ("genindex", "search")])
def test_every_package_file_and_version_named_is_the_lists(name):
    text = claimant_text(name)
    wheels = {wheel.name for wheel in SUPPORT.wheels()}
    files = re.findall(r"kairodex-\d+\.\d+\.\d+[\w.-]*?\.(?:whl|tar\.gz)", text)
    wrong = [f for f in files if f not in wheels | {SUPPORT.sdist}]
    wrong += [f"kairodex {v}" for v in re.findall(r"\bkairodex[ -](\d+\.\d+\.\d+)\b", text) if v != SUPPORT.version]
    assert not wrong, f"{name} names {sorted(set(wrong))}, which docs/data/support.toml and version {SUPPORT.version} do not make"


@pytest.mark.parametrize("name", [c for c in CLAIMANTS if c != "changelog"])
def test_every_list_of_interpreters_is_the_lists(name):
    # A list of three or more versions is the list of the supported ones
    # (the changelog's history counts versions as they came).
    expected = [i.version for i in SUPPORT.supported(free_threaded=False)]
    wrong = []
    for match in re.finditer(r"CPython (3\.\d+)((?:, 3\.\d+)*),? (?:and|or) (3\.\d+)\b(?!\.\d)", claimant_text(name, True)):
        versions = [match.group(1), *re.findall(r"3\.\d+", match.group(2)), match.group(3)]
        if len(versions) >= 3 and versions != expected:
            wrong.append(match.group(0))
    assert not wrong, f"{name} lists {wrong}; docs/data/support.toml supports CPython {expected}"


NEGATION = re.compile(r"\bnot\b|\bneither\b|\bnor\b|\bno wheel|\bnever\b|\brefuse|\bstops\b|\bunsupported\b",
                      re.IGNORECASE)


def clauses(text: str) -> list[str]:
    """The sentences and clauses of a text, what is in brackets apart."""
    parts = []
    while inner := re.search(r"\(([^()]*)\)", text):
        parts.append(inner.group(1))
        text = text[:inner.start()] + " " + text[inner.end():]
    return [clause for part in parts + [text] for clause in re.split(r"(?<=[.;])\s+", part)]


def free_threaded_claims(text: str) -> list[tuple[str, set[str], bool]]:
    """(clause, the free-threaded versions it speaks of, whether it denies
    them) for each clause about free-threaded builds. "3.13t", "python3.13t"
    and the versions after "free-threaded" count; "3.13t and later" means
    every free-threaded version from 3.13 on, "other than 3.13" every one but
    3.13. Paths (an interpreter's file in an error message) say nothing."""
    claims = []
    known = [i.version for i in SUPPORT.interpreters if i.free_threaded]
    for clause in clauses(text):
        spoken = re.sub(r"\S*/\S*", " ", clause)
        others = re.findall(r"\bother than (?:CPython )?(3\.\d+)t?", spoken)
        spoken = re.sub(r"\bother than (?:CPython )?3\.\d+t?", " ", spoken)
        named = set(re.findall(r"(?<![\w.])(?:python)?(3\.\d+)t\b", spoken))
        if others:
            named |= set(known) - set(others)
        free = re.search(r"free-threaded", spoken, re.IGNORECASE)
        if free:
            named |= set(re.findall(r"(?<![\w.])(3\.\d+)(?!\d)", spoken[free.end():]))
        if later := re.search(r"(3\.\d+)t?\W*(?:and|or) later", spoken):
            named |= {v for v in known if int(v.split(".")[1]) >= int(later.group(1).split(".")[1])}
        if free or named:
            claims.append((clause, named, bool(NEGATION.search(spoken))))
    return claims


@pytest.mark.parametrize("name", CLAIMANTS)
def test_every_claim_about_free_threaded_builds_is_the_lists(name):
    supported = {i.version for i in SUPPORT.supported(free_threaded=True)}
    unsupported = {i.version for i in SUPPORT.unsupported() if i.free_threaded}
    wrong = []
    for clause, named, denied in free_threaded_claims(claimant_text(name, True)):
        if denied and ((named and not named <= unsupported) or (not named and supported)):
            wrong.append(f"denies {sorted(named) or 'every free-threaded build'}: {clause.strip()!r}")
        elif not denied and not named <= supported:
            wrong.append(f"claims {sorted(named)}: {clause.strip()!r}")
    assert not wrong, (f"{name} disagrees with docs/data/support.toml (free-threaded {sorted(supported)} "
                       f"supported, {sorted(unsupported)} not): " + "; ".join(wrong))


def test_pyproject_classifiers_and_requires_python_are_the_lists():
    project = tomllib.loads((TOP / "pyproject.toml").read_text(encoding="utf-8"))["project"]
    decided = {c for c in project["classifiers"]
               if c.startswith(("Programming Language :: Python :: 3.", "Operating System ::"))}
    assert decided == SUPPORT.classifiers(), "pyproject.toml's classifiers are not docs/data/support.toml's"
    oldest = min((i.version for i in SUPPORT.supported()), key=lambda v: tuple(map(int, v.split("."))))
    assert project["requires-python"] == f">={oldest}"


def test_cmake_builds_for_the_free_threaded_interpreters_of_the_list():
    cmake = (TOP / "CMakeLists.txt").read_text(encoding="utf-8")
    listed = re.search(r"set\(KAIRODEX_TESTED_FREE_THREADED ([^)]*)\)", cmake)
    assert listed, "CMakeLists.txt no longer lists the free-threaded interpreters it builds for"
    assert listed.group(1).split() == [i.version for i in SUPPORT.supported(free_threaded=True)]
    # The Installation page quotes the error of a build for another one.
    message = re.search(r"message\(FATAL_ERROR\s*((?:\s*\"[^\"]*\")+)\)", cmake)
    assert message, "CMakeLists.txt no longer stops a build for an untested free-threaded interpreter"
    words = "".join(re.findall(r'"([^"]*)"', message.group(1)))
    pattern = r"\s+".join(r"\S+" if "${" in word else re.escape(word) for word in words.split())
    assert re.search(pattern, Text(HTML / "installation.html").text), "installation.html quotes another error"


def test_the_environments_of_the_list_exist():
    known = {"sid"} | {path.stem for path in (TOP / "scripts" / "envs").glob("*.sh")}
    assert SUPPORT.environments() <= known, f"unknown environments {sorted(SUPPORT.environments() - known)}"


def test_the_changelog_begins_with_this_version():
    heading = re.search(r"^## (.*)$", (TOP / "CHANGELOG.md").read_text(encoding="utf-8"), re.M)
    assert heading and heading.group(1).split()[0] == SUPPORT.version, \
        f"CHANGELOG.md's first version is {heading and heading.group(1)!r}, pyproject.toml's {SUPPORT.version}"


def test_readme_performance_table_is_the_benchmarks():
    data = json.loads((TOP / "docs" / "data" / "compare.json").read_text(encoding="utf-8"))
    operations = {op["name"]: op for op in data["operations"]}
    rows = re.findall(r"^\| `([^`]+)`(\N{SUPERSCRIPT ONE}?) \| ([\d.]+) \| ([\d.]+) \| ([\d.]+)x \|$",
                      README.read_text(encoding="utf-8"), re.M)
    assert [row[0] for row in rows] == list(operations), "README.md's performance table has other rows"
    for name, mark, kairodex, datetime, speedup in rows:
        op = operations[name]
        assert (kairodex, datetime, speedup) == (f"{op['kairodex']['min_ns']:.1f}", f"{op['datetime']['min_ns']:.1f}",
                                                 f"{op['datetime']['speedup']:.2f}"), name
        # Rows whose two sides write different texts say so.
        assert bool(mark) == (name in DIFFERENT_TEXTS), name


# --- as rendered by Chromium -------------------------------------------------------

CHROMIUM_FLAGS = [
    "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
    "--disable-background-networking", "--disable-component-update", "--disable-sync",
    "--disable-dev-shm-usage", "--hide-scrollbars", "--virtual-time-budget=10000",
]

# Set on the body once the page has loaded: what a reader would see.
PROBE = """<script>
window.addEventListener("load", () => {
  const images = [...document.images];
  const broken = images.filter(i => !i.complete || i.naturalWidth === 0).map(i => i.getAttribute("src"));
  document.body.setAttribute("data-probe-images", String(images.length));
  document.body.setAttribute("data-probe-broken", broken.join(" "));
  document.body.setAttribute("data-probe-text", document.body.innerText.replace(/\\s+/g, " "));
});
</script>"""

needs_browser = pytest.mark.skipif(not BROWSER, reason="KAIRODEX_DOCS_BROWSER=0")


def chromium(tmp_path: Path, *arguments: str) -> subprocess.CompletedProcess:
    profile = tmp_path / "profile"
    profile.mkdir(exist_ok=True)
    return subprocess.run(["chromium", *CHROMIUM_FLAGS, f"--user-data-dir={profile}", *arguments],
                          capture_output=True, text=True, timeout=120)


# (page, texts a reader must see on it, least number of loaded images)
RENDERED = [
    ("index", ["Calendar value types for Python", "Getting started", "Text formats", "Coming from datetime",
               "Recipes", "Questions and answers", "Changelog", "Performance internals"], 0),
    ("getting-started", ["Install", "First steps", "Where next"], 0),
    ("installation", ["Wheels", "manylinux_2_17", "How it is tested", "What stays unproven",
                      "Building from the source archive"], 0),
    ("tutorial", ["Instants at a fixed offset"], 0),
    ("coming-from-datetime", ["The common calls", "astimezone(timezone.utc)", "The differences that bite",
                              "A zero Duration is true"], 0),
    ("recipes", ["numpy datetime64", "pandas Timestamp", "Pickling and copying", "def to_std(",
                 "def register_pickling()"], 0),
    ("faq", ["Why does to_local() print a Z?", "pyo3_runtime.PanicException"], 0),
    ("api", ["API reference", "Parse a date from ISO format", "classmethod", "SupportsIndex",
             "Read-only property: int", "The internal-failure exception"], 0),
    ("text-formats", ["At a glance"], 0),
    ("behaviour", ["Weekdays are seven unique objects"], 0),
    ("performance", ["A whole program", "Geometric mean of the speed-ups", "Where datetime is as fast"], 3),
    ("reliability", ["Fuzzing"], 0),
    ("changelog", ["Changelog", SUPPORT.version, "0.1.0", "keywords must be strings"], 0),
    ("development", ["Two commands, run from the checkout", "Layout"], 0),
    ("performance-internals", ["own cost", "Where the own cost goes"], 1),
]


@needs_browser
@pytest.mark.parametrize("name, texts, least_images", RENDERED, ids=[r[0] for r in RENDERED])
def test_page_renders(tmp_path, name, texts, least_images):
    # A copy of the site, so that the probe never touches the built pages.
    site = tmp_path / "site"
    shutil.copytree(HTML, site)
    probed = site / f"{name}.html"
    probed.write_text(probed.read_text(encoding="utf-8").replace("</body>", PROBE + "</body>"), encoding="utf-8")

    result = chromium(tmp_path, "--enable-logging=stderr", "--dump-dom", probed.as_uri())
    assert result.returncode == 0, result.stderr[-2000:]
    body = re.search(r"<body([^>]*)>", result.stdout)
    assert body, "no body in the rendered page"
    attributes = dict(re.findall(r'(data-probe-[a-z]+)="([^"]*)"', body.group(1)))
    assert "data-probe-text" in attributes, "the page never finished loading"
    visible = attributes["data-probe-text"]
    for text in texts:
        assert text in visible, f"{text!r} is not visible on {name}.html"
    # The theme's own complaints (e.g. about a table of contents) show as ERROR on the page.
    assert "ERROR:" not in visible, visible[visible.index("ERROR:"):][:200]
    assert attributes["data-probe-broken"] == "", f"images that did not load: {attributes['data-probe-broken']}"
    assert int(attributes["data-probe-images"]) >= least_images
    errors = [line for line in result.stderr.splitlines() if "Uncaught" in line]
    assert not errors, errors


@needs_browser
def test_screenshot_of_the_index_page_is_not_blank(tmp_path):
    from PIL import Image

    shot = HTML.parent / "index.png"
    shot.unlink(missing_ok=True)
    result = chromium(tmp_path, f"--screenshot={shot}", "--window-size=1280,900", (HTML / "index.html").as_uri())
    assert result.returncode == 0 and shot.is_file(), result.stderr[-2000:]
    assert png_size(shot.read_bytes()) == (1280, 900)
    with Image.open(shot) as picture:
        colours = picture.convert("RGB").getcolors(maxcolors=1 << 16)
    # Text on a plain background has dozens of shades; a blank page has one.
    assert colours is None or len(colours) > 20
