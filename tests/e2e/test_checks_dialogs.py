"""End-to-end tests on Wine of the pre-install checks, the license and ordering dialogs, the DirectX 7
check and the launch of the installed saver.

The saver every package here carries is helpers/runlog.cpp: once started it appends how it was started
(command line, long module path, current directory, show command) to "<its path>.log". The same program,
registered as the handler of http addresses, records which download page the installer opened.

Dialogs and message boxes are read with helpers/dlgprobe.cpp, which also syncs with the installer's
message loop before it reports, and answered with keys through xdotool.
"""

import os
import random
import re
import struct
import subprocess
from dataclasses import dataclass
from pathlib import Path

import pytest

from conftest import STUB, artifact_name
from wine import Media, poll

TITLE = "Aurora Drift"
CAPTION = f"{TITLE} Screen Saver Installation"
SETUP = r"C:\Setup\setup.exe"
WINDIR = "C:\\windows"
SAVER = f"{WINDIR}\\{TITLE}.scr"
DATA_FOLDER = f"C:\\ProgramData\\Tavimore LLC\\Lumenquill\\{TITLE}"
REPLACE = "Replace Screen Saver?"
LICENSE = "License Agreement"
ORDERING = "Lumenquill Deluxe Ordering Info"
SCREEN_W, SCREEN_H = 1024, 768
BOUND = 30  # seconds for any installation here to end
WIN95_PAGE = "http://www.microsoft.com/downloads/release.asp?ReleaseID=27741"
GENERAL_PAGE = "http://www.microsoft.com/windows/directx/"
HANDLER = "C:\\runlog.exe"


# ---- reading dialogs ----

@dataclass
class Control:
    id: int
    cls: str
    style: int
    rect: tuple
    sel: tuple  # (start, end) for edit controls, else None
    text: str


@dataclass
class Dialog:
    rect: tuple    # screen coordinates
    client: tuple  # screen origin and size of the client area
    units: tuple   # dialog base units of MS Sans Serif 8
    focus: int     # control id of the focus window
    controls: list

    def control(self, id):
        found = [c for c in self.controls if c.id == id]
        assert len(found) == 1, f"{len(found)} controls with id {id}: {self.controls}"
        return found[0]

    @property
    def text(self):
        return "\n".join(c.text for c in self.controls if c.text)


def _unescape(text):
    return re.sub(r"\\(.)", lambda m: {"r": "\r", "n": "\n"}.get(m.group(1), m.group(1)), text)


def parse_probe(out):
    lines = out.splitlines()
    m = re.match(r"window rect=(-?\d+),(-?\d+),(-?\d+),(-?\d+) client=(-?\d+),(-?\d+),(\d+),(\d+) "
                 r"units=(\d+),(\d+) focus=(-?\d+)$", lines[0].rstrip("\r"))
    assert m, f"unexpected dlgprobe output {out!r}"
    v = [int(g) for g in m.groups()]
    controls = []
    for line in lines[1:]:
        c = re.match(r"control id=(-?\d+) class=(\S+) style=0x([0-9a-f]+) rect=(-?\d+),(-?\d+),(-?\d+),(-?\d+) "
                     r"sel=(-|\d+,\d+) text=(.*)$", line.rstrip("\r"))
        assert c, f"unexpected dlgprobe line {line!r}"
        sel = None if c.group(8) == "-" else tuple(int(x) for x in c.group(8).split(","))
        controls.append(Control(int(c.group(1)), c.group(2), int(c.group(3), 16),
                                tuple(int(c.group(i)) for i in range(4, 8)), sel, _unescape(c.group(9))))
    return Dialog(tuple(v[0:4]), tuple(v[4:8]), tuple(v[8:10]), v[10], controls)


def probe(prefix, installer, caption, contains=None, action=None, timeout=15):
    """Waits for the dialog `caption` (showing `contains`, when given) of the running `installer`,
    returns it as a Dialog, then does `action` (see helpers/dlgprobe.cpp). Fails at once when the
    installer ends first."""
    args = [caption, str(int(timeout * 1000))]
    if contains is not None:
        args.append(f"contains={contains}")
    if action is not None:
        args.append(action)
    helper = prefix.start(prefix.helper("dlgprobe"), *args)

    def done():
        if not helper.running:
            return True
        if not installer.running:
            helper.kill()
            raise AssertionError(f"the installer ended (exit {installer.wait(0)}) while waiting for "
                                 f"{caption!r} showing {contains!r}")
        return False

    poll(done, timeout + 10, what=f"dlgprobe {caption!r}")
    code = helper.wait(0)
    assert code == 0, f"no dialog {caption!r} showing {contains!r} (dlgprobe exit {code})"
    return parse_probe(helper.stdout)


def answer(prefix, installer, caption, contains, key):
    dialog = probe(prefix, installer, caption, contains)
    prefix.send_keys(key)
    return dialog


def captions_until_exit(prefix, installer, captions, timeout=BOUND):
    """Polls every 50 ms until the installer ends; returns the captions among `captions` of the
    windows seen on the way. Then the exit code must be 0."""
    seen = set()

    def ended():
        seen.update(c for c in captions if prefix.find_windows(c))
        return not installer.running

    poll(ended, timeout, what="the installer to end")
    assert installer.wait(0) == 0
    return seen


# ---- packages and runs ----

def runlog_bytes(prefix):
    return prefix.helper("runlog").read_bytes()


def package(prefix, make_installer, **options):
    options.setdefault("title", TITLE)
    options.setdefault("saver", runlog_bytes(prefix))
    options.setdefault("uninstaller", b"MZ uninstaller stand-in")
    return make_installer(**options)


def start(prefix, installer, *args):
    prefix.install_program(installer, SETUP)
    return prefix.start(SETUP, *args)


def confirm(prefix, installer):
    answer(prefix, installer, CAPTION, "This program will install", "Return")


def finish(prefix, installer, ordering_key="Return"):
    """From the completion message on: OK, then the ordering dialog ended with `ordering_key`."""
    answer(prefix, installer, CAPTION, "Installation Complete!", "Return")
    answer(prefix, installer, ORDERING, None, ordering_key)


def saver_runs(prefix):
    """The lines the test saver wrote, as dicts, waiting a bounded time for the first one."""
    log = prefix.host_path(SAVER + ".log")
    poll(log.exists, 15, what="the installed saver to run")
    return [parse_runlog(line) for line in poll(lambda: log.read_text("latin-1").splitlines(), 5)]


def parse_runlog(line):
    return dict(part.split("=", 1) for part in line.split("|"))


def prefix_commands(prefix):
    """Command lines of the host processes that run in this prefix."""
    wanted = f"WINEPREFIX={prefix.root}".encode()
    found = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            if wanted in Path(f"/proc/{pid}/environ").read_bytes().split(b"\0"):
                found.append(Path(f"/proc/{pid}/cmdline").read_bytes().replace(b"\0", b" ").decode("latin-1"))
        except OSError:
            pass
    return found


def assert_saver_not_started(prefix):
    """WinExec creates the saver's process before the installer can end, so after the installer's end
    a started saver is either still running (a process of this prefix) or has written its log."""
    running = [c for c in prefix_commands(prefix) if re.search(r"aurora|\.scr", c, re.I)]
    assert running == [], f"the saver runs: {running}"
    assert not prefix.host_path(SAVER + ".log").exists(), "the saver ran"


def installed_saver(prefix):
    """The installed saver's host file, found as Wine finds it: without regard to case (a saver
    replaced in place keeps the name "Aurora Drift.SCR" it had)."""
    folder = prefix.host_path(WINDIR)
    found = [p for p in folder.iterdir() if p.name.lower() == f"{TITLE}.scr".lower()]
    return found[0] if found else folder / f"{TITLE}.scr"


def assert_nothing_installed(prefix, old_saver=None):
    saver = installed_saver(prefix)
    if old_saver is None:
        assert not saver.exists()
    else:
        assert saver.read_bytes() == old_saver
    assert not prefix.host_path(DATA_FOLDER).exists()


# ---- the existing saver ----

OLD_SAVER = b"an older saver of the same name"


@pytest.mark.parametrize("existing, mode, key, replaced", [
    pytest.param("file", "interactive", "y", True, id="yes-replaces"),
    pytest.param("file", "interactive", "n", False, id="no-stops"),
    pytest.param("directory", "interactive", "n", False, id="directory-counts"),
    pytest.param("file", "silent", None, True, id="silent-does-not-ask"),
])
def test_existing_saver(prefix, make_installer, existing, mode, key, replaced):
    installer = package(prefix, make_installer)
    lookup = prefix.host_path(f"{WINDIR}\\{TITLE}.SCR")
    if existing == "file":
        lookup.write_bytes(OLD_SAVER)
    else:
        lookup.mkdir()
    proc = start(prefix, installer, *(["/S"] if mode == "silent" else []))

    if mode == "silent":
        assert captions_until_exit(prefix, proc, [REPLACE, CAPTION]) == set()
    else:
        question = answer(prefix, proc, REPLACE, None, key)
        assert (f"There is already a screen saver by the same name ({TITLE}.SCR) installed on your system."
                "  Would you like to replace it?") in question.text
        if replaced:
            confirm(prefix, proc)
            finish(prefix, proc)
            assert proc.wait(BOUND) == 0
        else:
            assert captions_until_exit(prefix, proc, [CAPTION]) == set(), "went on after No"

    if replaced:
        assert installed_saver(prefix).read_bytes() == runlog_bytes(prefix)
        assert prefix.host_path(DATA_FOLDER).is_dir()
    elif existing == "file":
        assert_nothing_installed(prefix, old_saver=OLD_SAVER)
    else:
        assert lookup.is_dir()
        assert not prefix.host_path(DATA_FOLDER).exists()


def test_existing_saver_is_looked_up_with_the_blanks_of_the_title(prefix, make_installer):
    installer = package(prefix, make_installer, title=TITLE + "  ")
    prefix.host_path(f"{WINDIR}\\{TITLE}  .SCR").write_bytes(OLD_SAVER)
    proc = start(prefix, installer)
    question = answer(prefix, proc, REPLACE, None, "n")
    assert f"({TITLE}  .SCR)" in question.text
    assert captions_until_exit(prefix, proc, [CAPTION]) == set()


def test_title_too_long_for_the_windows_directory_installs_nothing(prefix, make_installer):
    title = "T" * 255  # C:\windows\ + 255 + ".SCR" is 270 characters: past the 260-byte path
    installer = package(prefix, make_installer, title=title)
    proc = start(prefix, installer, "/S")
    box = answer(prefix, proc, "Screen Saver Name Too Long", "too long", "Return")
    assert "cannot be installed" in box.text
    assert proc.wait(BOUND) == 1, "nothing could be installed: the exit status says so"
    assert not prefix.host_path(DATA_FOLDER.replace(TITLE, title)).exists()
    assert not any(p.name.startswith("TTTT") for p in prefix.host_path(WINDIR).iterdir())


# ---- room on the Windows drive ----

@pytest.fixture
def small_c_drive(prefix, tmp_path):
    """Makes C: a 2 MiB tmpfs holding symbolic links to the prefix's drive_c folders: files still go to
    the real folders, while the free-space query of C:\\ reports the tmpfs. Yields the tmpfs's free
    kilobytes as the host sees them; nothing writes to the tmpfs itself."""
    mount = tmp_path / "small-c"
    mount.mkdir()
    subprocess.run(["mount", "-t", "tmpfs", "-o", "size=2m", "tmpfs", str(mount)], check=True,
                   stdin=subprocess.DEVNULL, capture_output=True)
    try:
        prefix.host_path("C:\\Setup").mkdir(exist_ok=True)
        for entry in prefix.drive_c.iterdir():
            (mount / entry.name).symlink_to(entry)
        drive = prefix.root / "dosdevices" / "c:"
        drive.unlink()
        drive.symlink_to(mount)
        status = os.statvfs(mount)
        yield status.f_bavail * status.f_frsize // 1024
    finally:
        subprocess.run(["umount", "-l", str(mount)], check=False, capture_output=True)


def package_of_kilobytes(prefix, make_installer, kilobytes):
    """A stored package whose InstalledSize is `kilobytes` KB and 1023 bytes (rounded down: kilobytes)."""
    saver, uninstaller = runlog_bytes(prefix), b"MZ uninstaller stand-in"
    data = bytes(i * 7 & 0xFF for i in range(kilobytes * 1024 + 1023 - len(saver) - len(uninstaller)))
    return package(prefix, make_installer, saver=saver, uninstaller=uninstaller, data=data, stored=True)


def thousands(n):
    return f"{n:,}"


@pytest.mark.parametrize("mode, more, key, goes_on", [
    pytest.param("interactive", 0, "Return", True, id="equal-warns-ok-goes-on"),
    pytest.param("silent", 1000, "Escape", False, id="silent-cancel-stops"),
    pytest.param("silent", 1000, "Return", True, id="silent-ok-installs"),
])
def test_disk_full_warning(prefix, make_installer, small_c_drive, mode, more, key, goes_on):
    free = small_c_drive
    needed = free + more
    installer = package_of_kilobytes(prefix, make_installer, needed)
    proc = start(prefix, installer, *(["/S"] if mode == "silent" else []))
    box = answer(prefix, proc, "Disk Full", "You will need", key)
    assert (f"You will need {thousands(needed)} kilobytes free in your Windows directory to install this "
            f"screen saver.  It appears that you only have {thousands(free)} kilobytes free on this drive.  "
            "Would you like to continue the installation?") in [c.text for c in box.controls]
    assert {"OK", "Cancel"} <= {c.text for c in box.controls}
    if mode == "interactive":
        confirm_box = probe(prefix, proc, CAPTION, "This program will install")
        assert f"This installation will take {thousands(needed * 1024 + 1023)} bytes." in confirm_box.text
        prefix.send_keys("Escape")
        assert proc.wait(BOUND) == 0
        assert_nothing_installed(prefix)
        return
    assert proc.wait(BOUND) == 0
    if goes_on:
        assert installed_saver(prefix).read_bytes() == runlog_bytes(prefix)
    else:
        assert_nothing_installed(prefix)


def test_more_free_space_than_needed_does_not_warn(prefix, make_installer, small_c_drive):
    installer = package_of_kilobytes(prefix, make_installer, small_c_drive - 1)
    proc = start(prefix, installer)
    probe(prefix, proc, CAPTION, "This program will install")
    assert prefix.find_windows("Disk Full") == []
    prefix.send_keys("Escape")
    assert proc.wait(BOUND) == 0


# ---- the license dialog ----

LICENSE_TEXT = b"LUMENQUILL LICENSE\r\n\r\nYou may use this screen saver at home.\r\n" + b"Long line. " * 60


def license_run(prefix, make_installer, license, *args):
    installer = package(prefix, make_installer, license=license)
    proc = start(prefix, installer, *args)
    if "/S" not in args:
        confirm(prefix, proc)
    return proc


def test_license_accept_installs(prefix, make_installer):
    proc = license_run(prefix, make_installer, LICENSE_TEXT)
    dialog = probe(prefix, proc, LICENSE)
    text = dialog.control(1009)
    assert text.text == LICENSE_TEXT.decode("latin-1")
    assert dialog.focus == 1009, "the text has the keyboard focus"
    assert text.sel[0] == text.sel[1], f"text selected: {text.sel}"
    prefix.send_keys("Tab", "space")  # from the text to the first tab stop, Accept
    finish(prefix, proc)
    assert proc.wait(BOUND) == 0
    assert installed_saver(prefix).read_bytes() == runlog_bytes(prefix)


@pytest.mark.parametrize("how", ["Return", "Escape", "close"])
def test_license_decline_escape_and_close_box_install_nothing(prefix, make_installer, how):
    proc = license_run(prefix, make_installer, LICENSE_TEXT)
    if how == "close":
        probe(prefix, proc, LICENSE, action="close")
    else:
        answer(prefix, proc, LICENSE, None, how)  # Return presses the default button, Decline
    assert captions_until_exit(prefix, proc, [CAPTION]) == set()  # no "Installing" dialog either
    assert_nothing_installed(prefix)


def test_license_is_shown_in_silent_mode(prefix, make_installer):
    proc = license_run(prefix, make_installer, LICENSE_TEXT, "/S")
    dialog = probe(prefix, proc, LICENSE)
    assert dialog.control(1009).text == LICENSE_TEXT.decode("latin-1")
    prefix.send_keys("Tab", "space")
    assert captions_until_exit(prefix, proc, [CAPTION, ORDERING]) == set()
    assert installed_saver(prefix).read_bytes() == runlog_bytes(prefix)
    assert_saver_not_started(prefix)


def test_license_text_ends_at_a_zero_byte(prefix, make_installer):
    proc = license_run(prefix, make_installer, b"Shown up to here.\r\nSecond line.\0Never shown.", "/S")
    assert probe(prefix, proc, LICENSE, action="command=2").control(1009).text == \
        "Shown up to here.\r\nSecond line."
    assert captions_until_exit(prefix, proc, [CAPTION]) == set()
    assert_nothing_installed(prefix)


def test_license_dialog_ends_only_on_a_whole_command_of_1_or_2(prefix, make_installer):
    proc = license_run(prefix, make_installer, b"Terms.", "/S")
    # Commands 1 and 2 with a notification code in the upper half are other commands.
    probe(prefix, proc, LICENSE, action="command=0x10001")
    probe(prefix, proc, LICENSE, action="command=0x20002")
    probe(prefix, proc, LICENSE, action="command=1", timeout=2)  # still there; now Accept
    assert captions_until_exit(prefix, proc, [LICENSE]) == set()
    assert installed_saver(prefix).read_bytes() == runlog_bytes(prefix)


# ---- the ordering dialog and the launch ----

@pytest.mark.parametrize("key", ["Return", "Escape"])
def test_ordering_dialog_ends_with_ok_or_escape_and_the_saver_starts(prefix, make_installer, key):
    installer = package(prefix, make_installer)
    proc = start(prefix, installer)
    confirm(prefix, proc)
    answer(prefix, proc, CAPTION, "Installation Complete!", "Return")
    dialog = answer(prefix, proc, ORDERING, None, key)
    assert dialog.focus == 1, "the OK button has the focus"
    assert proc.wait(BOUND) == 0

    runs = saver_runs(prefix)
    assert len(runs) == 1
    run = runs[0]
    # Started through its short path, without arguments, with SW_SHOW.
    assert run["module"].lower() == SAVER.lower()
    assert " " not in run["cmdline"].strip() and run["cmdline"].strip().lower().startswith("c:\\windows\\")
    assert run["show"] == "5"
    assert run["cwd"].lower() != "c:\\", "no DirectX check, so no change of directory"


def test_saver_is_not_started_in_silent_mode(prefix, make_installer):
    installer = package(prefix, make_installer)
    proc = start(prefix, installer, "/S")
    assert captions_until_exit(prefix, proc, [CAPTION, ORDERING]) == set()
    assert installed_saver(prefix).read_bytes() == runlog_bytes(prefix)
    assert_saver_not_started(prefix)


def test_saver_is_not_started_when_media_support_is_missing(prefix, make_installer):
    installer = package(prefix, make_installer, media=[Media("clip.xyz", b"not media" * 10, suffix=".XYZ")])
    proc = start(prefix, installer)
    confirm(prefix, proc)
    answer(prefix, proc, "Missing support codecs", ".XYZ", "Escape")
    answer(prefix, proc, ORDERING, None, "Return")
    assert proc.wait(BOUND) == 0
    assert installed_saver(prefix).read_bytes() == runlog_bytes(prefix)
    assert_saver_not_started(prefix)


def test_saver_is_not_started_after_an_abort(prefix, make_installer):
    program = runlog_bytes(prefix)  # also the uninstaller, which the abort starts with "/s"
    # Mostly literals, packed: over a second to decode on Wine, so still being written when Cancel arrives.
    big = bytes(b"abcdefghijklmnop"[x & 15] for x in random.Random(6).randbytes(24 << 20))
    installer = package(prefix, make_installer, data=big, uninstaller=program)
    proc = start(prefix, installer)
    confirm(prefix, proc)
    # The "Installing" dialog has the install caption too; Escape presses its Cancel button.
    probe(prefix, proc, CAPTION, "Please Wait...")
    prefix.send_keys("Escape")
    answer(prefix, proc, "Abort Installation?", "Are you sure", "y")
    assert proc.wait(BOUND) == 0
    uninstaller_log = prefix.host_path(DATA_FOLDER + "\\UNINSTAL.EXE.log")
    poll(uninstaller_log.exists, 15, what="the uninstaller to run")
    assert installed_saver(prefix).read_bytes() == program, "row 0 was written before the abort"
    assert_saver_not_started(prefix)


# ---- DirectX 7 ----

def register_http_handler(prefix, command):
    # No pipes: Wine's background processes would inherit them and keep them open.
    subprocess.run(["wine", "reg", "add", r"HKCR\http\shell\open\command", "/ve", "/d", command, "/f"],
                   env=prefix.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, check=True, timeout=60)


def without_ddraw(prefix):
    prefix.env["WINEDLLOVERRIDES"] = prefix.env.get("WINEDLLOVERRIDES", "") + ";ddraw=d"


def opened_pages(prefix):
    log = prefix.host_path(HANDLER + ".log")
    return [parse_runlog(line) for line in log.read_text("latin-1").splitlines()] if log.exists() else []


def directx_run(prefix, make_installer, version, ddraw, directx=True, handler=HANDLER):
    """Installs interactively up to the end of the ordering dialog, with the Windows version `version`
    (None: Wine's default), DDRAW.DLL present or not, and `handler` as the program for http addresses
    (the recording runlog by default)."""
    prefix.install_program(prefix.helper("runlog"), HANDLER)
    register_http_handler(prefix, f'"{handler}" "%1"')
    if version is not None:
        prefix.reg_add(r"HKCU\Software\Wine", "Version", version)
    if not ddraw:
        without_ddraw(prefix)
    installer = package(prefix, make_installer, directx=directx)
    proc = start(prefix, installer)
    confirm(prefix, proc)
    finish(prefix, proc)
    return proc


QUESTION = ("You do not have DirectX 7 or higher installed. To get the best performance out of this software, "
            "you will need to install this Windows component. Would you like to do download it now?")


@pytest.mark.parametrize("version, key, page", [
    pytest.param("win95", "y", WIN95_PAGE, id="win95-yes"),
    pytest.param("win98", "y", GENERAL_PAGE, id="win98-yes"),
    pytest.param("win2k", "y", GENERAL_PAGE, id="win2k-yes"),
    pytest.param("winxp", "n", None, id="winxp-no"),
])
def test_missing_directx_offers_the_download(prefix, make_installer, version, key, page):
    proc = directx_run(prefix, make_installer, version, ddraw=False)
    box = answer(prefix, proc, CAPTION, QUESTION, key)
    assert QUESTION in [c.text for c in box.controls], "the whole question, nothing more"
    assert {"&Yes", "&No"} <= {c.text for c in box.controls}
    assert proc.wait(BOUND) == 0
    run = saver_runs(prefix)[0]  # started all the same
    assert run["cwd"].lower() == "c:\\", "the drive's root is the current directory"
    if page is None:
        assert opened_pages(prefix) == []
    else:
        pages = poll(lambda: opened_pages(prefix), 15, what="the download page to open")
        assert len(pages) == 1
        assert pages[0]["cmdline"] == f'"{HANDLER}" "{page}"' or pages[0]["cmdline"].endswith(f'"{page}"')
        assert pages[0]["show"] == "3", "opened maximized"


@pytest.mark.parametrize("version, ddraw, directx", [
    pytest.param("nt40", False, True, id="nt40-missing"),
    pytest.param(None, True, True, id="present"),
    pytest.param(None, False, False, id="not-asked-for"),
])
def test_no_directx_question(prefix, make_installer, version, ddraw, directx):
    proc = directx_run(prefix, make_installer, version, ddraw, directx)
    assert captions_until_exit(prefix, proc, [CAPTION]) == set()
    run = saver_runs(prefix)[0]
    assert (run["cwd"].lower() == "c:\\") == directx
    assert opened_pages(prefix) == []


def test_page_that_cannot_be_opened_is_reported_and_the_saver_starts(prefix, make_installer):
    proc = directx_run(prefix, make_installer, "win98", ddraw=False, handler="C:\\no such program.exe")
    answer(prefix, proc, CAPTION, QUESTION, "y")
    # Without SEE_MASK_FLAG_NO_UI, Wine's shell first reports the missing handler program itself.
    probe(prefix, proc, "Error")
    prefix.send_keys("Return")
    box = answer(prefix, proc, GENERAL_PAGE, "Could not connect to this site.", "Return")
    assert "Could not connect to this site." in [c.text for c in box.controls]
    assert proc.wait(BOUND) == 0
    assert saver_runs(prefix)


# ---- the dialogs against their templates ----

# id, class, text, (x, y, cx, cy) in dialog units, style bits that must be set
LICENSE_TEMPLATE = [
    (1, "Button", "Accept", (137, 240, 50, 14), 0x50010000),
    (2, "Button", "Decline", (203, 240, 50, 14), 0x50010001),
    # WS_BORDER is checked in the template below: Wine's edit control drops it and draws its own.
    (1009, "Edit", None, (12, 12, 366, 216), 0x50210904),
]
ORDERING_TEMPLATE = [
    (-1, "Static", "*** LUMENQUILL DELUXE ***", (23, 25, 158, 10), 0x50020001),
    (-1, "Static", "TM", (157, 18, 11, 8), 0x50020000),
    (1, "Button", "OK", (78, 134, 50, 14), 0x50010001),
    (-1, "Static", "This custom screen saver was created with", (23, 7, 158, 10), 0x50020001),
    (-1, "Static", "Requires No Programming", (23, 42, 158, 8), 0x50020001),
    (-1, "Static", "FREE screen savers at", (23, 59, 158, 8), 0x50020001),
    (-1, "Static", "www.tavimore.example", (23, 74, 158, 8), 0x50020001),
    (-1, "Static", None, (23, 91, 158, 36), 0x50020001),
]


def mul_div(a, b, c):
    return (a * b + c // 2) // c


def assert_matches_template(dialog, size, template):
    bx, by = dialog.units
    assert dialog.client[2:] == (mul_div(size[0], bx, 4), mul_div(size[1], by, 8))
    # Centred on the 1024 x 768 screen: half the screen less half the window, truncating.
    left, top, right, bottom = dialog.rect
    assert (left, top) == (SCREEN_W // 2 - (right - left) // 2, SCREEN_H // 2 - (bottom - top) // 2)
    assert [(c.id, c.cls.lower()) for c in dialog.controls] == [(t[0], t[1].lower()) for t in template]
    for control, (id, cls, text, (x, y, cx, cy), style) in zip(dialog.controls, template):
        px, py = mul_div(x, bx, 4), mul_div(y, by, 8)
        assert control.rect == (px, py, px + mul_div(cx, bx, 4), py + mul_div(cy, by, 8)), control
        assert control.style & style == style, f"{control}: style {control.style:#x} lacks {style:#x}"
        if text is not None:
            assert control.text == text


def test_license_dialog_matches_its_template(prefix, make_installer):
    proc = license_run(prefix, make_installer, b"Terms.", "/S")
    dialog = probe(prefix, proc, LICENSE, action="command=2")
    assert_matches_template(dialog, (391, 262), LICENSE_TEMPLATE)
    edit = dialog.control(1009)
    assert edit.style & 0x80 == 0, "ES_AUTOHSCROLL is off, so long lines wrap"
    assert proc.wait(BOUND) == 0


def test_ordering_dialog_matches_its_template(prefix, make_installer):
    proc = start(prefix, package(prefix, make_installer))
    confirm(prefix, proc)
    answer(prefix, proc, CAPTION, "Installation Complete!", "Return")
    dialog = probe(prefix, proc, ORDERING, action="command=1")
    assert_matches_template(dialog, (205, 154), ORDERING_TEMPLATE)
    address = dialog.controls[-1].text.split("\n")
    assert len(address) == 4 and address[0] == "Tavimore LLC"
    assert proc.wait(BOUND) == 0


@pytest.mark.parametrize("caption", [LICENSE, ORDERING])
def test_dialog_screenshots(prefix, make_installer, artifacts, caption):
    """Screenshots of both dialogs as shown, kept for the README; the dialog is centred on them."""
    installer = package(prefix, make_installer, license=LICENSE_TEXT)
    proc = start(prefix, installer)
    confirm(prefix, proc)
    if caption == ORDERING:
        probe(prefix, proc, LICENSE, action="command=1")
        answer(prefix, proc, CAPTION, "Installation Complete!", "Return")
    dialog = probe(prefix, proc, caption)
    shot = prefix.screenshot()
    shot.save_png(artifacts / artifact_name(caption, "dialog.png"))
    # The dialog's face colour fills its client area just inside the corner, off the splash gradient.
    x, y = dialog.client[0] + 2, dialog.client[1] + 2
    assert shot.pixel(x, y) != shot.pixel(dialog.rect[0] - 3, dialog.rect[1] - 3)
    prefix.send_keys("Escape")
    if caption == LICENSE:
        assert captions_until_exit(prefix, proc, [CAPTION]) == set()
    else:
        assert proc.wait(BOUND) == 0


# ---- the templates as stored in the installer stub ----

def stub_resources(path):
    """{(type, name, language): bytes} of a PE file's resource section; names that are strings come
    back as str, numbers as int."""
    data = Path(path).read_bytes()
    pe = struct.unpack_from("<I", data, 60)[0]
    sections, optional = struct.unpack_from("<H", data, pe + 6)[0], struct.unpack_from("<H", data, pe + 20)[0]
    for i in range(sections):
        name, _, va, _, raw = struct.unpack_from("<8sIIII", data, pe + 24 + optional + 40 * i)
        if name.rstrip(b"\0") == b".rsrc":
            break
    else:
        raise AssertionError("no .rsrc section")

    def entries(offset):
        named, numbered = struct.unpack_from("<HH", data, raw + offset + 12)
        for k in range(named + numbered):
            ident, target = struct.unpack_from("<II", data, raw + offset + 16 + 8 * k)
            if ident & 0x80000000:
                at = raw + (ident & 0x7FFFFFFF)
                ident = data[at + 2:at + 2 + 2 * struct.unpack_from("<H", data, at)[0]].decode("utf-16-le")
            yield ident, target & 0x7FFFFFFF

    found = {}
    for kind, names in entries(0):
        for name, languages in entries(names):
            for language, leaf in entries(languages):
                rva, size = struct.unpack_from("<II", data, raw + leaf)
                found[(kind, name, language)] = data[rva - va + raw:rva - va + raw + size]
    return found


def parse_dialog(blob):
    """A classic DIALOG template as (style, exstyle, (x, y, cx, cy), caption, (points, face), controls),
    each control as (id, class, text, (x, y, cx, cy), style, exstyle)."""
    def sz_or_ord(p):
        if struct.unpack_from("<H", blob, p)[0] == 0xFFFF:
            return struct.unpack_from("<H", blob, p + 2)[0], p + 4
        end = p
        while struct.unpack_from("<H", blob, end)[0]:
            end += 2
        return blob[p:end].decode("utf-16-le"), end + 2

    style, exstyle, count, x, y, cx, cy = struct.unpack_from("<IIHhhhh", blob, 0)
    assert struct.unpack_from("<HH", blob, 0) != (1, 0xFFFF), "an extended template"
    menu, p = sz_or_ord(18)
    cls, p = sz_or_ord(p)
    caption, p = sz_or_ord(p)
    points = struct.unpack_from("<H", blob, p)[0]
    face, p = sz_or_ord(p + 2)
    assert (menu, cls) == ("", ""), "no menu, the standard dialog class"
    controls = []
    for _ in range(count):
        p = (p + 3) & ~3
        cstyle, cex, x0, y0, w0, h0, ident = struct.unpack_from("<IIhhhhH", blob, p)
        ccls, p = sz_or_ord(p + 18)
        text, p = sz_or_ord(p)
        extra = struct.unpack_from("<H", blob, p)[0]
        p += 2 + extra
        controls.append((ident if ident != 0xFFFF else -1, ccls, text, (x0, y0, w0, h0), cstyle, cex))
    return style, exstyle, (x, y, cx, cy), caption, (points, face), controls


DIALOG_STYLE = 0x80000000 | 0x10000000 | 0x00C00000 | 0x00080000 | 0x80 | 0x40  # WS_POPUP .. DS_SETFONT
BUTTON, EDIT, STATIC = 0x80, 0x81, 0x82
CHILD_VISIBLE, TABSTOP, GROUP = 0x50000000, 0x00010000, 0x00020000
STORED_TEMPLATES = {
    106: ("License Agreement", (391, 262), [
        (1, BUTTON, "Accept", (137, 240, 50, 14), CHILD_VISIBLE | TABSTOP),  # BS_PUSHBUTTON
        (2, BUTTON, "Decline", (203, 240, 50, 14), CHILD_VISIBLE | TABSTOP | 0x1),  # BS_DEFPUSHBUTTON
        # WS_BORDER, WS_VSCROLL, ES_MULTILINE, ES_READONLY, ES_NOHIDESEL; no ES_AUTOHSCROLL
        (1009, EDIT, "", (12, 12, 366, 216), CHILD_VISIBLE | TABSTOP | 0x00800000 | 0x00200000 | 0x4 | 0x800
         | 0x100),
    ]),
    104: ("Lumenquill Deluxe Ordering Info", (205, 154), [
        (-1, STATIC, "*** LUMENQUILL DELUXE ***", (23, 25, 158, 10), CHILD_VISIBLE | GROUP | 0x1),  # SS_CENTER
        (-1, STATIC, "TM", (157, 18, 11, 8), CHILD_VISIBLE | GROUP),  # SS_LEFT
        (1, BUTTON, "OK", (78, 134, 50, 14), CHILD_VISIBLE | TABSTOP | 0x1),
        (-1, STATIC, "This custom screen saver was created with", (23, 7, 158, 10), CHILD_VISIBLE | GROUP | 0x1),
        (-1, STATIC, "Requires No Programming", (23, 42, 158, 8), CHILD_VISIBLE | GROUP | 0x1),
        (-1, STATIC, "FREE screen savers at", (23, 59, 158, 8), CHILD_VISIBLE | GROUP | 0x1),
        (-1, STATIC, "www.tavimore.example", (23, 74, 158, 8), CHILD_VISIBLE | GROUP | 0x1),
        (-1, STATIC, "Tavimore LLC\n418 Wickham Lantern Road, Suite 3\nHollisford, VT 05999\nTel. (802) 555-0147",
         (23, 91, 158, 36), CHILD_VISIBLE | GROUP | 0x1),
    ]),
}


@pytest.mark.parametrize("dialog_id", sorted(STORED_TEMPLATES))
def test_stored_dialog_template(dialog_id):
    caption, size, expected = STORED_TEMPLATES[dialog_id]
    blob = stub_resources(STUB)[(5, dialog_id, 1033)]  # RT_DIALOG, English (United States)
    style, exstyle, rect, stored_caption, font, controls = parse_dialog(blob)
    assert (style, exstyle, rect, stored_caption, font) == (DIALOG_STYLE, 0, (0, 0) + size, caption,
                                                            (8, "MS Sans Serif"))
    assert [c[:5] for c in controls] == expected
    assert all(c[5] == 0 for c in controls), "no extended styles"


def test_stored_icon_and_resource_order():
    resources = stub_resources(STUB)
    # LASTRES, the only named type, comes first: the package walk takes the first entry of each level.
    assert next(iter(resources)) == ("LASTRES", 1000, 1033)
    assert [k for k in resources if isinstance(k[0], str)] == [("LASTRES", 1000, 1033)]
    group = resources[(14, 101, 1033)]  # RT_GROUP_ICON
    reserved, kind, count = struct.unpack_from("<HHH", group, 0)
    assert (reserved, kind, count) == (0, 1, 1)
    width, height, colours, _, planes, bits, size, icon_id = struct.unpack_from("<BBBBHHIH", group, 6)
    assert (width, height, colours, planes, bits) == (32, 32, 16, 1, 4)
    image = resources[(3, icon_id, 1033)]  # RT_ICON
    assert len(image) == size == 40 + 16 * 4 + 32 * 16 + 32 * 4  # header, palette, 4-bit colours, mask
    assert struct.unpack_from("<IiiHH", image, 0) == (40, 32, 64, 1, 4)
