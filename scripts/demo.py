"""The demo: builds an installer for the sample saver "Aurora", installs it on Wine and uninstalls it again.

Run by `make demo`, which sets LQ_STUB, LQPACK and LQ_WIN32_BIN (defaults: the build/ folders);
LQ_DEMO_OUT names another output folder than build/demo. Builds AuroraSetup.exe from the sample saver, a settings file, the sample uninstaller and a MIDI
tune and a WAV made by code; runs it on Wine under a private Xvfb and answers its dialogs as a user
would; leaves the installer, screenshots and report.txt in the output folder and prints the report. Exits 0 when the
installation left what it should and the uninstaller removed all of it, 1 otherwise.

Every wait is bounded; Xvfb and the wineservers are stopped at the end, also after a failure.
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
from pathlib import Path

REPO = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(REPO / "tests" / "e2e"))

import wine  # noqa: E402
from media_files import midi_tune, wav_tone  # noqa: E402
from wine import poll  # noqa: E402

TITLE = "Aurora"
SETUP = r"C:\Setup\AuroraSetup.exe"
WINDIR = "C:\\windows"
DATA = f"C:\\ProgramData\\Tavimore LLC\\Lumenquill\\{TITLE}\\"
UNINSTALLER = DATA + "UNINSTAL.EXE"
UNINSTALL_KEY = f"HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{TITLE}"
KEY_VALUES = ("DisplayName", "UninstallString", "InstallLocation", "DisplayIcon", "Publisher",
              "VersionMajor", "VersionMinor")
FOLDERS = (DATA[:-1], "C:\\ProgramData\\Tavimore LLC\\Lumenquill", "C:\\ProgramData\\Tavimore LLC")
INSTALL_CAPTION = f"{TITLE} Screen Saver Installation"
UNINSTALL_CAPTION = f"Uninstall {TITLE} Screen Saver"
BOX_BOUND = 20  # seconds for any box or window to appear
SAVER_SKY = (2, 3, 8)  # the colour of the saver's hills along the bottom of the screen

SETTINGS = (b"; Aurora's settings: see the saver's /c box for what each one does.\r\n"
            b"speed=5\r\nbands=4\r\ncolours=40FF90,30C0FF,A060FF,FF60A0\r\nstars=150\r\n")


def tool_path(var, default):
    return Path(os.environ.get(var) or (REPO / default)).resolve()


def shown(path):
    """A path as the report shows it: relative to the repository when it lies inside."""
    try:
        return str(Path(path).relative_to(REPO))
    except ValueError:
        return str(path)


def require(path, what):
    if not path.is_file():
        sys.exit(f"demo: {what} {path} is missing: build the project first (make)")
    return path


class Demo:
    """One run: the screenshots taken, the report lines, the checks that failed."""

    def __init__(self, out_dir, prefix):
        self.out = out_dir
        self.prefix = prefix
        self.lines = []
        self.problems = []
        self.shots = []
        self._last = None

    def say(self, text=""):
        self.lines.append(text)

    def check(self, ok, text):
        if not ok:
            self.problems.append(text)
        return ok

    # ---- screen ----
    def settled_shot(self, name, timeout=10):
        """Saves a screenshot once two in a row are the same and differ from the last one saved."""
        state = {"prev": None}

        def steady():
            shot = self.prefix.screenshot()
            prev, state["prev"] = state["prev"], shot
            if prev is not None and shot.rgb == prev.rgb and (self._last is None or shot.rgb != self._last.rgb):
                return shot
            return None
        try:
            shot = poll(steady, timeout, interval=0.1, what=f"the screen to settle for {name}")
        except wine.WineError:
            shot = state["prev"] or self.prefix.screenshot()  # still worth keeping
        return self._save(name, shot)

    def saver_shot(self, name, timeout=10):
        """Saves a screenshot once the saver's frame covers the screen (its hills along the bottom)."""
        def drawn():
            shot = self.prefix.screenshot()
            bottom = shot.height - 1
            if shot.pixel(0, bottom) == SAVER_SKY and shot.pixel(shot.width - 1, bottom) == SAVER_SKY:
                return shot
            return None
        return self._save(name, poll(drawn, timeout, what="the saver's first frame"))

    def _save(self, name, shot):
        self._last = shot
        path = shot.save_png(self.out / f"{name}.png")
        self.shots.append(path)
        return shot

    # ---- boxes ----
    def read_box(self, title, contains, timeout=BOX_BOUND):
        """Polls until a window titled `title` shows a control holding `contains`; returns its lines."""
        def look():
            code, out = self.prefix.run_helper("boxtext", title, "500", timeout=10)
            if code != 0:
                return None
            lines = out.splitlines()
            return lines if any(contains in line for line in lines) else None
        return poll(look, timeout, what=f"window {title!r} showing {contains!r}")


def build_installer(out_dir, lqpack, stub, win32_bin):
    payload = out_dir / "payload"
    payload.mkdir(parents=True, exist_ok=True)
    files = {
        "saver": require(win32_bin / "aurora.scr", "the sample saver"),
        "uninstaller": require(win32_bin / "UNINSTAL.EXE", "the sample uninstaller"),
    }
    (payload / "aurora.dat").write_bytes(SETTINGS)
    (payload / "music.mid").write_bytes(midi_tune(notes=(57, 60, 64, 69, 72, 76), ticks=120))
    (payload / "intro.wav").write_bytes(wav_tone(seconds=0.5, rate=11025, frequency=523.25))
    installer = out_dir / "AuroraSetup.exe"
    args = [str(lqpack), "build", "-q", "--stub", str(stub), "-o", str(installer), "--title", TITLE,
            "--saver", str(files["saver"]), "--data", str(payload / "aurora.dat"),
            "--uninstaller", str(files["uninstaller"]),
            "--media", str(payload / "music.mid"),
            "--media", f"{payload / 'intro.wav'},kind=_,suffix=.WAV", "--first-number", "1"]
    r = subprocess.run(args, capture_output=True, text=True, timeout=120)
    if r.returncode != 0:
        sys.exit(f"demo: lqpack build failed ({r.returncode}): {r.stderr.strip()}")
    return installer


def system_ini_setting(prefix):
    text = prefix.host_path(WINDIR + "\\system.ini").read_bytes().decode("latin-1")
    m = re.search(r"^SCRNSAVE\.EXE=([^\r\n]*)", text, re.MULTILINE | re.IGNORECASE)
    return m.group(1) if m else None


def install(demo, installer):
    p = demo.prefix
    demo.say(f"1. Installing: {SETUP}, interactively")
    proc = p.start(p.install_program(installer, SETUP))
    # winprobe returns once the splash window's thread reaches its message loop.
    code, out = p.run_helper("winprobe", "LQWInstallClass", str(BOX_BOUND * 1000), timeout=BOX_BOUND + 10)
    demo.check(code == 0, f"the splash window did not show: {out.strip()!r}")
    demo.settled_shot("1-splash", timeout=3)

    demo.read_box(INSTALL_CAPTION, "This program will install")
    demo.settled_shot("2-confirmation")
    p.send_keys("Return")
    demo.read_box(INSTALL_CAPTION, "Installation Complete!", timeout=60)
    demo.settled_shot("3-complete")
    p.send_keys("Return")
    demo.read_box("Lumenquill Deluxe Ordering Info", "")
    demo.settled_shot("4-ordering")
    p.send_keys("Return")
    code = proc.wait(60)
    demo.check(code == 0, f"the installer exited {code}")

    # The installer starts the saver as its last step; a key ends it.
    code, out = p.run_helper("winprobe", "LumenquillSaver", str(BOX_BOUND * 1000), timeout=BOX_BOUND + 10)
    demo.check(code == 0 and f"text={TITLE} " in out, f"the saver's window did not show: {out.strip()!r}")
    demo.saver_shot("5-saver")
    p.send_keys("Escape")
    poll(lambda: not p.find_windows(TITLE), 10, what="the saver to end on a key")
    demo.say("   the splash, the confirmation, \"Installation Complete!\" and the ordering box were answered;")
    demo.say("   the saver started full screen and ended on a key")


def report_installed(demo):
    p = demo.prefix
    log_path = p.host_path(DATA + "INSTALL.LOG")
    logged = log_path.read_bytes().decode("latin-1").splitlines() if log_path.exists() else []
    demo.check(len(logged) == 5, f"INSTALL.LOG lists {len(logged)} files, not 5")
    demo.say()
    demo.say(f"2. Installed files (as {DATA}INSTALL.LOG lists them):")
    for path in logged + [DATA + "INSTALL.LOG"]:
        host = p.host_path(path)
        size = f"{host.stat().st_size:,} bytes" if host.exists() else "MISSING"
        demo.check(host.exists(), f"{path} is missing")
        demo.say(f"   {path:<60} {size:>14}")

    demo.say()
    demo.say(f"3. Registry: {UNINSTALL_KEY}")
    for name in KEY_VALUES:
        value = p.reg_query(UNINSTALL_KEY, name)
        demo.check(value is not None, f"{name} is missing from the uninstall key")
        demo.say(f"   {name:<16} {value[0]:<14} {value[1]}" if value else f"   {name:<16} MISSING")

    setting = system_ini_setting(p)
    active = p.reg_query("HKCU\\Control Panel\\Desktop", "ScreenSaveActive")
    demo.check(setting is not None, "system.ini has no SCRNSAVE.EXE")
    demo.say()
    demo.say("4. The screen saver setting:")
    demo.say(f"   system.ini [boot] SCRNSAVE.EXE={setting}")
    demo.say(f"   HKCU\\Control Panel\\Desktop ScreenSaveActive = {active[1] if active else '(none)'}")
    return logged


def uninstall(demo, logged):
    p = demo.prefix
    demo.say()
    demo.say(f"5. Uninstalling: {UNINSTALLER}, interactively, answered Yes")
    proc = p.start(UNINSTALLER)
    demo.read_box(UNINSTALL_CAPTION, "Are you sure")
    demo.settled_shot("6-uninstall-question")
    p.send_keys("y")
    demo.read_box(UNINSTALL_CAPTION, "has been removed")
    demo.settled_shot("7-uninstalled")
    p.send_keys("Return")
    code = proc.wait(30)
    demo.check(code == 0, f"the uninstaller exited {code}")
    # Its own file goes last, removed by a copy of it once it has ended (see samples/uninstaller).
    try:
        poll(lambda: not p.host_path(FOLDERS[-1]).exists(), 15, what="the uninstaller's own file to go")
    except wine.WineError:
        pass  # reported below, path by path

    def state(gone):
        return "gone" if gone else "STILL THERE"
    for path in logged + [DATA + "INSTALL.LOG"]:
        gone = not p.host_path(path).exists()
        demo.check(gone, f"{path} is still there")
        demo.say(f"   {path:<60} {state(gone)}")
    for folder in FOLDERS:
        gone = not p.host_path(folder).exists()
        demo.check(gone, f"folder {folder} is still there")
        demo.say(f"   {folder + chr(92):<60} {state(gone)}")
    key_gone = wine._run(["wine", "reg", "query", UNINSTALL_KEY], p.env, check=False).returncode != 0
    demo.check(key_gone, f"{UNINSTALL_KEY} is still there")
    demo.say(f"   {UNINSTALL_KEY:<60} {state(key_gone)}")
    setting = system_ini_setting(p)
    demo.check(setting is None, f"system.ini still has SCRNSAVE.EXE={setting}")
    demo.say(f"   {'system.ini [boot] SCRNSAVE.EXE':<60} {state(setting is None)}")
    active = p.reg_query("HKCU\\Control Panel\\Desktop", "ScreenSaveActive")
    demo.say(f"   HKCU\\Control Panel\\Desktop ScreenSaveActive = {active[1] if active else '(none)'}")


def main():
    started = time.monotonic()
    stub = require(tool_path("LQ_STUB", "build/win32/lqstub.exe"), "the installer stub")
    lqpack = require(tool_path("LQPACK", "build/native/lqpack"), "the authoring tool")
    win32_bin = tool_path("LQ_WIN32_BIN", "build/win32")
    require(win32_bin / "boxtext.exe", "the helper")
    out_dir = Path(os.environ.get("LQ_DEMO_OUT") or (REPO / "build" / "demo"))
    shutil.rmtree(out_dir, ignore_errors=True)
    out_dir.mkdir(parents=True)
    installer = build_installer(out_dir, lqpack, stub, win32_bin)
    print(f"demo: built {shown(installer)}; starting Xvfb and Wine (about half a minute)", flush=True)

    scratch = Path(tempfile.mkdtemp(prefix="lq-demo-"))
    display = wine.Display(1024, 768, 24).start()
    display_env = dict(os.environ, DISPLAY=display.name)
    template = scratch / "template"
    factory = prefix = demo = None
    failure = None
    try:
        wine.build_template(template, display_env)
        (scratch / "prefixes").mkdir()
        factory = wine.PrefixFactory(template, display_env, win32_bin, out_dir, scratch / "prefixes")
        prefix = factory.new("demo")
        demo = Demo(out_dir, prefix)
        demo.say(f"Lumenquill demo: the sample saver \"{TITLE}\"")
        demo.say(f"Installer: {shown(installer)}, {installer.stat().st_size:,} bytes, built by lqpack from")
        demo.say("  aurora.scr (the sample saver), aurora.dat (its settings), UNINSTAL.EXE (the sample uninstaller),")
        demo.say("  music.mid and intro.wav (made by code)")
        demo.say()
        install(demo, installer)
        logged = report_installed(demo)
        uninstall(demo, logged)
    except wine.WineError as e:
        failure = str(e)
        if prefix is not None:
            try:
                prefix.screenshot().save_png(out_dir / "failure.png")
            except Exception:  # noqa: BLE001 - the real failure is what matters
                pass
    finally:
        if factory is not None and prefix is not None:
            factory.discard(prefix)
        wine._run(["wineserver", "-k"], wine._wine_env(display_env, template), check=False)
        display.stop()
        shutil.rmtree(scratch, ignore_errors=True)

    if demo is None:
        demo = Demo(out_dir, None)
    if failure:
        demo.problems.append(failure)
        demo.say(f"STOPPED: {failure} (screen: {shown(out_dir / 'failure.png')})")
    demo.say()
    demo.say("Screenshots:")
    for shot in demo.shots:
        demo.say(f"   {shown(shot)}")
    demo.say()
    if demo.problems:
        demo.say("RESULT: FAILED")
        for problem in demo.problems:
            demo.say(f"   {problem}")
    else:
        demo.say("RESULT: installed and uninstalled completely")
    demo.say(f"Time: {time.monotonic() - started:.1f} s")
    text = "\n".join(demo.lines) + "\n"
    (out_dir / "report.txt").write_text(text)
    print(text, end="")
    return 1 if demo.problems else 0


if __name__ == "__main__":
    sys.exit(main())
