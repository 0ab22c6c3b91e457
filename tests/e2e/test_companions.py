"""End-to-end tests of the sample saver and the sample uninstaller, installed by a real installer on Wine.

The uninstaller: a silent run removes every logged file, the uninstall key, the folders it leaves empty
and the screen-saver setting, and nothing the log does not list; an interactive run asks first; a file
it cannot remove is reported, and a second run finishes the job. The saver: full screen on /s, -S or no
argument, ended by a key, a click or a mouse move; /c shows where its settings come from.
"""

import re
import subprocess

import pytest

from media_files import midi_tune, wav_tone
from wine import Media, poll
from test_install import BOUND, DATA, SETUP, UNINSTALL_KEY, WINDIR, answer, box_text, read_box

TITLE = "Aurora Drift"  # a blank in it: the saver's short path differs from its long one
FOLDER = DATA + TITLE + "\\"
SAVER = f"{WINDIR}\\{TITLE}.scr"
UNINSTALLER = FOLDER + "UNINSTAL.EXE"
UNINSTALL_CAPTION = f"Uninstall {TITLE} Screen Saver"
SETTINGS = b"speed=8\r\nbands=3\r\ncolours=40FF90,A060FF\r\n"
SAVER_HILLS = (2, 3, 8)  # the colour of the saver's hills along the bottom of its frame
FOLDERS = (FOLDER[:-1], DATA[:-1], DATA[:-1].rsplit("\\", 1)[0])  # innermost first


def install(prefix, make_installer, win32_bin):
    """Installs the sample saver and uninstaller with a settings file and two media files, silently.
    Returns the Windows paths the install log lists."""
    installer = make_installer(
        title=TITLE, saver=(win32_bin / "aurora.scr").read_bytes(), data=SETTINGS,
        uninstaller=(win32_bin / "UNINSTAL.EXE").read_bytes(), first_number=1,
        media=[Media("tune.mid", midi_tune(), suffix=".MID"), Media("tone.wav", wav_tone(), suffix=".WAV")])
    code, _ = prefix.run(prefix.install_program(installer, SETUP), "/S", timeout=BOUND)
    assert code == 0
    logged = prefix.host_path(FOLDER + "INSTALL.LOG").read_text().splitlines()
    assert [p.rsplit("\\", 1)[1] for p in logged] == [f"{TITLE}.scr", f"{TITLE}.dat", "UNINSTAL.EXE",
                                                      "FILE0001.MID", "FILE0002.WAV"]
    assert screen_saver_setting(prefix) is not None
    return logged


def screen_saver_setting(prefix):
    text = prefix.host_path(WINDIR + "\\system.ini").read_bytes().decode("latin-1")
    m = re.search(r"^SCRNSAVE\.EXE=([^\r\n]*)", text, re.MULTILINE | re.IGNORECASE)
    return m.group(1) if m else None


def set_screen_saver_setting(prefix, value):
    ini = prefix.host_path(WINDIR + "\\system.ini")
    text = ini.read_bytes()
    line = b"SCRNSAVE.EXE=" + value.encode()
    ini.write_bytes(re.sub(rb"(?im)^SCRNSAVE\.EXE=[^\r\n]*", lambda _: line, text))


def leftover_copies(prefix):
    """Copies of the uninstaller it starts to remove its own file, still lying in a temporary folder."""
    return sorted(p for p in prefix.drive_c.rglob("lqu*.tmp"))


def wait_uninstaller_gone(prefix):
    """The uninstaller's own file goes last, removed by a copy of it after it has ended."""
    poll(lambda: not prefix.host_path(UNINSTALLER).exists() and not leftover_copies(prefix), 15,
         what="the uninstaller's copy to remove its file and itself")


def uninstaller_key_exists(prefix):
    return prefix.reg_query(UNINSTALL_KEY + TITLE, "DisplayName") is not None


@pytest.fixture
def win32_bin(prefix):
    """The folder of the compiled sample programs, the same as the helpers'."""
    for name in ("aurora.scr", "UNINSTAL.EXE"):
        assert (prefix.bin_dir / name).is_file(), f"{prefix.bin_dir / name} is missing: build the project first (make)"
    return prefix.bin_dir


class TestUninstaller:
    @pytest.mark.parametrize("stray", [None, "notes.txt"], ids=["only-logged-files", "with-a-stray-file"])
    def test_silent_run_removes_what_the_log_lists(self, prefix, make_installer, win32_bin, stray):
        logged = install(prefix, make_installer, win32_bin)
        if stray:
            prefix.host_path(FOLDER + stray).write_bytes(b"mine, not the installer's")
        code, _ = prefix.run(UNINSTALLER, "/s", timeout=BOUND)
        assert code == 0
        wait_uninstaller_gone(prefix)

        for path in logged + [FOLDER + "INSTALL.LOG"]:
            assert not prefix.host_path(path).exists(), path
        assert not uninstaller_key_exists(prefix)
        assert screen_saver_setting(prefix) is None
        assert prefix.reg_query("HKCU\\Control Panel\\Desktop", "ScreenSaveActive") == ("REG_SZ", "0")
        if stray:
            # Not in the log: it stays, and with it every folder around it.
            assert prefix.host_path(FOLDER + stray).read_bytes() == b"mine, not the installer's"
            assert sorted(p.name for p in prefix.host_path(FOLDER).iterdir()) == [stray]
        else:
            for folder in FOLDERS:
                assert not prefix.host_path(folder).exists(), folder
        assert prefix.host_path("C:\\ProgramData").is_dir()
        assert prefix.host_path(WINDIR + "\\system.ini").exists()

    @pytest.mark.parametrize("key, removed", [("y", True), ("n", False)], ids=["yes", "no"])
    def test_interactive_run_asks_first(self, prefix, make_installer, win32_bin, key, removed):
        logged = install(prefix, make_installer, win32_bin)
        setting = screen_saver_setting(prefix)
        proc = prefix.start(UNINSTALLER)
        lines = answer(prefix, UNINSTALL_CAPTION, key, contains="Are you sure")
        assert box_text(lines) == (f"This will remove {TITLE} Screen Saver and the 5 files it installed from "
                                   "your computer.\\r\\n\\r\\nAre you sure you want to uninstall it?")
        if removed:
            answer(prefix, UNINSTALL_CAPTION, "Return", contains="has been removed")
        assert proc.wait(BOUND) == 0
        if removed:
            wait_uninstaller_gone(prefix)
            assert not prefix.host_path(FOLDERS[-1]).exists()
            assert not uninstaller_key_exists(prefix)
            assert screen_saver_setting(prefix) is None
        else:
            for path in logged + [FOLDER + "INSTALL.LOG"]:
                assert prefix.host_path(path).exists(), path
            assert uninstaller_key_exists(prefix)
            assert screen_saver_setting(prefix) == setting

    def test_a_setting_naming_another_saver_stays(self, prefix, make_installer, win32_bin):
        install(prefix, make_installer, win32_bin)
        set_screen_saver_setting(prefix, "C:\\windows\\Other.scr")
        code, _ = prefix.run(UNINSTALLER, "/s", timeout=BOUND)
        assert code == 0
        wait_uninstaller_gone(prefix)
        assert screen_saver_setting(prefix) == "C:\\windows\\Other.scr"
        assert prefix.reg_query("HKCU\\Control Panel\\Desktop", "ScreenSaveActive") == ("REG_SZ", "1")
        assert not prefix.host_path(SAVER).exists()

    def test_a_saver_in_use_is_reported_and_a_second_run_finishes(self, prefix, make_installer, win32_bin):
        logged = install(prefix, make_installer, win32_bin)
        saver = prefix.start(SAVER, "/s")
        code, out = prefix.run_helper("winprobe", "LumenquillSaver", "10000")
        assert code == 0, out

        proc = prefix.start(UNINSTALLER, "/s")
        # Shown in a silent run too: the user must learn that something stayed.
        lines = answer(prefix, UNINSTALL_CAPTION, "Return", contains="could not be removed")
        assert box_text(lines) == f"These could not be removed:\\r\\n{SAVER}\\r\\n"
        assert proc.wait(BOUND) == 1
        assert prefix.host_path(SAVER).exists()
        for path in logged[1:]:
            if not path.endswith("UNINSTAL.EXE"):
                assert not prefix.host_path(path).exists(), path
        # What is needed to run it again stays.
        assert prefix.host_path(UNINSTALLER).exists()
        assert prefix.host_path(FOLDER + "INSTALL.LOG").exists()
        assert uninstaller_key_exists(prefix)

        xdotool(prefix, "click", "1")  # the saver covers the screen
        assert saver.wait(BOUND) == 0
        code, _ = prefix.run(UNINSTALLER, "/s", timeout=BOUND)
        assert code == 0
        wait_uninstaller_gone(prefix)
        assert not prefix.host_path(SAVER).exists()
        assert not prefix.host_path(FOLDERS[-1]).exists()
        assert not uninstaller_key_exists(prefix)

    def test_without_its_log_it_removes_nothing(self, prefix, make_installer, win32_bin):
        logged = install(prefix, make_installer, win32_bin)
        prefix.host_path(FOLDER + "INSTALL.LOG").unlink()
        proc = prefix.start(UNINSTALLER, "/s")
        lines = answer(prefix, UNINSTALL_CAPTION, "Return", contains="could not be read")
        assert "nothing was removed" in box_text(lines)
        assert proc.wait(BOUND) == 1
        for path in logged:
            assert prefix.host_path(path).exists(), path
        assert uninstaller_key_exists(prefix)


def saver_window(prefix):
    """winprobe's report of the saver's window: (visible, text, rect)."""
    code, out = prefix.run_helper("winprobe", "LumenquillSaver", "10000")
    assert code == 0, out
    m = re.match(r"visible=(\d) text=(.*) rect=(-?\d+),(-?\d+),(-?\d+),(-?\d+)", out.strip())
    assert m, out
    return m.group(1) == "1", m.group(2), tuple(int(v) for v in m.group(3, 4, 5, 6))


def xdotool(prefix, *args):
    subprocess.run(["xdotool", *args], env=prefix.display_env, check=True)


# How the user ends the saver: xdotool commands.
ENDINGS = {
    "key": [("key", "Escape")],
    "letter": [("key", "a")],
    "click": [("click", "1")],
    "mouse-move": [("mousemove", "500", "400"), ("mousemove", "700", "600")],
}


class TestSaver:
    @pytest.mark.parametrize("args, ending", [(("/s",), "key"), (("-S",), "letter"), ((), "click"),
                                              (("/s",), "mouse-move")],
                             ids=["slash-s-key", "dash-S-letter", "no-argument-click", "slash-s-mouse-move"])
    def test_full_screen_until_input(self, prefix, make_installer, win32_bin, args, ending):
        install(prefix, make_installer, win32_bin)
        proc = prefix.start(SAVER, *args)
        visible, text, rect = saver_window(prefix)
        assert (visible, text, rect) == (True, TITLE, (0, 0, 1024, 768))

        def drawn():
            shot = prefix.screenshot()
            return shot.pixel(0, 767) == SAVER_HILLS and shot.pixel(1023, 767) == SAVER_HILLS
        poll(drawn, 10, what="the saver's frame to cover the screen")
        assert proc.running
        for command in ENDINGS[ending]:
            xdotool(prefix, *command)
        assert proc.wait(BOUND) == 0

    @pytest.mark.parametrize("installed", [True, False], ids=["installed", "alone"])
    def test_settings_box_tells_where_they_come_from(self, prefix, make_installer, win32_bin, installed):
        if installed:
            install(prefix, make_installer, win32_bin)
            program, title = SAVER, TITLE
        else:
            # Its title comes from its own file name; no data file exists for it.
            program = "C:\\Savers\\Lone Star.scr"
            prefix.install_program(win32_bin / "aurora.scr", program)
            title = "Lone Star"
        proc = prefix.start(program, "/c")
        text = box_text(read_box(prefix, f"{title} Settings", contains="settings are read"))
        path = f"{DATA}{title}\\{title}.dat"
        if installed:
            assert f"\\r\\n{path}\\r\\n(found)\\r\\n" in text
            assert "speed=8 " in text and "bands=3 " in text and "colours=40FF90,A060FF\\r\\n" in text
        else:
            assert f"\\r\\n{path}\\r\\n(not found: the defaults are used)\\r\\n" in text
            assert "speed=4 " in text and "bands=4 " in text
        prefix.send_keys("Return")
        assert proc.wait(BOUND) == 0
