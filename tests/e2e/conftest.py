"""Fixtures for the end-to-end tests: Xvfb, one template Wine prefix per run, a fresh prefix per test,
installers built with lqpack.

Paths (defaults relative to the repository root):
  LQ_STUB       the installer stub            build/win32/lqstub.exe
  LQPACK        the authoring tool            build/native/lqpack
  LQ_WIN32_BIN  compiled tests/e2e/helpers    build/win32
  LQ_E2E_ARTIFACTS  screenshots worth keeping build/e2e-artifacts

Fixtures:
  display          session  the Xvfb server (os.environ["DISPLAY"] points at it for the session)
  wine_base_env    session  environment for Wine: DISPLAY, and fonts drawn without anti-aliasing
  template_prefix  session  path of the booted template prefix
  prefixes         session  PrefixFactory: prefixes.new(name) / prefixes.discard(p), for wider scopes
  prefix           function a fresh Prefix with a persistent wineserver, shut down after the test
  make_installer   function builds an installer from small payload files, see InstallerBuilder
  shared_installers session the same for class- or module-scoped fixtures
  artifacts        session  folder for screenshots; a failing test that used `prefix` leaves the
                            screen as it was at the failure there
"""

import os
import time
from pathlib import Path

import pytest

import wine

REPO = Path(__file__).resolve().parents[2]


def _path_from_env(var, default):
    return Path(os.environ.get(var) or (REPO / default)).resolve()


STUB = _path_from_env("LQ_STUB", "build/win32/lqstub.exe")
LQPACK = _path_from_env("LQPACK", "build/native/lqpack")
WIN32_BIN = _path_from_env("LQ_WIN32_BIN", "build/win32")
ARTIFACTS = _path_from_env("LQ_E2E_ARTIFACTS", "build/e2e-artifacts")

_timings = {"template": None, "prefix": []}


@pytest.fixture(scope="session")
def artifacts():
    ARTIFACTS.mkdir(parents=True, exist_ok=True)
    return ARTIFACTS


@pytest.fixture(scope="session")
def display():
    d = wine.Display(1024, 768, 24).start()
    old = os.environ.get("DISPLAY")
    os.environ["DISPLAY"] = d.name
    yield d
    if old is None:
        os.environ.pop("DISPLAY", None)
    else:
        os.environ["DISPLAY"] = old
    d.stop()


@pytest.fixture(scope="session")
def _scratch(tmp_path_factory):
    return tmp_path_factory.mktemp("wine")


@pytest.fixture(scope="session")
def wine_base_env(display, _scratch):
    """The environment every Wine command of the run starts from: ours, with the test display and
    text drawn without anti-aliasing (see wine.write_aliased_fontconfig)."""
    fonts = wine.write_aliased_fontconfig(_scratch / "fonts-aliased.conf")
    return dict(os.environ, DISPLAY=display.name, FONTCONFIG_FILE=str(fonts))


@pytest.fixture(scope="session")
def template_prefix(wine_base_env, _scratch):
    display_env = wine_base_env
    started = time.monotonic()
    path = wine.build_template(_scratch / "template", display_env)
    _timings["template"] = time.monotonic() - started
    ready = time.time()
    yield path
    changed = wine.template_changes(path, ready)
    if changed:
        pytest.fail(f"a test wrote through a hard link into the template: {changed[:10]}",
                    pytrace=False)


@pytest.fixture(scope="session")
def prefixes(wine_base_env, template_prefix, _scratch, artifacts):
    display_env = wine_base_env
    factory = wine.PrefixFactory(template_prefix, display_env, WIN32_BIN, artifacts,
                                 _scratch / "prefixes")
    factory.scratch.mkdir(exist_ok=True)
    yield factory
    wine.stop_wine_everywhere_under(factory.scratch)  # any prefix a test failed to discard


@pytest.fixture
def prefix(request, prefixes):
    started = time.monotonic()
    p = prefixes.new(request.node.name)
    _timings["prefix"].append(time.monotonic() - started)
    request.node._lq_prefix = p
    yield p
    prefixes.discard(p)


def artifact_name(node_name, suffix):
    """A file name for an artifact of test `node_name`."""
    safe = "".join(c if c.isalnum() or c in "-_." else "_" for c in node_name)
    return f"{safe}-{suffix}"


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_makereport(item, call):
    outcome = yield
    report = outcome.get_result()
    p = getattr(item, "_lq_prefix", None)
    if report.when == "call" and report.failed and p is not None:
        # Still before the prefix's teardown: the screen shows what the failing test saw.
        try:
            shot = p.screenshot()
            path = shot.save_png(ARTIFACTS / artifact_name(item.name, "failure.png"))
            report.sections.append(("e2e artifacts", f"screen at failure: {path}"))
        except Exception as e:  # noqa: BLE001 - an artifact must never hide the real failure
            report.sections.append(("e2e artifacts", f"no screenshot: {e}"))


def pytest_terminal_summary(terminalreporter):
    t = _timings
    if t["template"] is None:
        return
    per = t["prefix"]
    line = f"wine: template prefix {t['template']:.1f} s"
    if per:
        line += (f"; {len(per)} test prefixes, clone + server start "
                 f"mean {1000 * sum(per) / len(per):.0f} ms, max {1000 * max(per):.0f} ms")
    terminalreporter.write_line(line)


@pytest.fixture
def make_installer(tmp_path):
    return wine.InstallerBuilder(tmp_path / "installers", STUB, LQPACK)


@pytest.fixture(scope="session")
def shared_installers(tmp_path_factory):
    """An InstallerBuilder for fixtures wider than one test (class or module scope)."""
    return wine.InstallerBuilder(tmp_path_factory.mktemp("installers"), STUB, LQPACK)
