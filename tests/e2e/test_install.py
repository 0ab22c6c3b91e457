"""End-to-end tests of a whole installation on Wine: the files, the install log, the uninstall entry,
system.ini and the screen-saver switch, the message boxes of the sequence, Cancel and abort, refused
registry access, unplayable media, naming, reinstalling, and targets that cannot be written.
"""

import re

import pytest

from media_files import midi_tune, wav_tone
from wine import Media, poll

SETUP = r"C:\Setup\setup.exe"
WINDIR = "C:\\windows"
DATA = "C:\\ProgramData\\Tavimore LLC\\Lumenquill\\"
UNINSTALL_KEY = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
BOUND = 30  # seconds for any installation here to end


def payload(n, seed):
    return bytes((seed + i * 131 + (i >> 7)) & 0xFF for i in range(n))


def start(prefix, installer, *args):
    prefix.install_program(installer, SETUP)
    return prefix.start(SETUP, *args)


def read_box(prefix, title, contains=None, timeout=15):
    """Polls until a visible window titled `title` shows a control whose text holds `contains`;
    returns boxtext's lines (see helpers/boxtext.cpp)."""
    def look():
        code, out = prefix.run_helper("boxtext", title, "500", timeout=10)
        if code != 0:
            return None
        lines = out.decode("latin-1").splitlines() if isinstance(out, bytes) else out.splitlines()
        if contains is None or any(contains in line for line in lines):
            return lines
        return None
    return poll(look, timeout, interval=0.05, what=f"window {title!r} showing {contains!r}")


def box_text(lines):
    """The message text of a message box read by read_box: its static controls' texts, joined."""
    texts = [line.split(" ", 3)[3] for line in lines[1:] if line.startswith("Static ") and len(line.split(" ", 3)) == 4]
    return "\n".join(t for t in texts if t)


def answer(prefix, title, key, contains=None):
    lines = read_box(prefix, title, contains)
    prefix.send_keys(key)
    return lines


def data_path(prefix, title, name=""):
    return prefix.host_path(DATA + title + "\\" + name)


def typical_package(make_installer, title="Aquarium", **extra):
    """Four rows as a typical saver ships them: saver, data file, uninstaller, one MIDI file."""
    files = dict(saver=payload(5000, 1), data=payload(700, 2), uninstaller=payload(3000, 3))
    media = extra.pop("media", [Media("tune.mid", midi_tune(), kind="blank", suffix=".MID")])
    installer = make_installer(title=title, first_number=6, media=media, **files, **extra)
    return installer, files


def assert_typical_install(prefix, files, title="Aquarium"):
    saver = prefix.host_path(f"{WINDIR}\\{title}.scr")
    assert saver.read_bytes() == files["saver"]
    assert data_path(prefix, title, f"{title}.dat").read_bytes() == files["data"]
    assert data_path(prefix, title, "UNINSTAL.EXE").read_bytes() == files["uninstaller"]
    assert data_path(prefix, title, "FILE0006.MID").read_bytes() == midi_tune()
    folder = DATA + title + "\\"
    assert data_path(prefix, title, "INSTALL.LOG").read_bytes() == (
        f"{WINDIR}\\{title}.scr\r\n{folder}{title}.dat\r\n{folder}UNINSTAL.EXE\r\n{folder}FILE0006.MID\r\n"
    ).encode()

    key = UNINSTALL_KEY + title
    assert prefix.reg_query(key, "DisplayName") == ("REG_SZ", f"{title} Screen Saver")
    assert prefix.reg_query(key, "UninstallString") == ("REG_EXPAND_SZ", folder + "UNINSTAL.EXE")
    assert prefix.reg_query(key, "InstallLocation") == ("REG_EXPAND_SZ", folder[:-1])
    assert prefix.reg_query(key, "DisplayIcon") == ("REG_SZ", f"{WINDIR}\\{title}.scr,-0")
    assert prefix.reg_query(key, "Publisher") == ("REG_SZ", "Made with Tavimore's Lumenquill")
    assert prefix.reg_query(key, "VersionMajor") == ("REG_DWORD", "0x8")
    assert prefix.reg_query(key, "VersionMinor") == ("REG_DWORD", "0x0")

    system_ini = prefix.host_path(WINDIR + "\\system.ini").read_bytes()
    m = re.search(rb"SCRNSAVE\.EXE=([^\r\n]*)\r\n", system_ini)
    assert m, system_ini
    # The short form of the saver's path: an 8.3 name in C:\windows for this title.
    assert m.group(1).upper().startswith(b"C:\\WINDOWS\\") and m.group(1).upper().endswith(b".SCR")
    assert prefix.reg_query("HKCU\\Control Panel\\Desktop", "ScreenSaveActive") == ("REG_SZ", "1")


def test_silent_typical_installation(prefix, make_installer):
    installer, files = typical_package(make_installer)
    code, _ = prefix.run(prefix.install_program(installer, SETUP), "/S", timeout=BOUND)
    assert code == 0
    assert_typical_install(prefix, files)


def test_interactive_typical_installation_shows_its_boxes(prefix, make_installer):
    installer, files = typical_package(make_installer)
    proc = start(prefix, installer)
    caption = "Aquarium Screen Saver Installation"
    lines = answer(prefix, caption, "Return", contains="This program will install")
    total = sum(len(b) for b in files.values()) + len(midi_tune())
    assert box_text(lines) == (
        "This program will install Aquarium Screen Saver to C:\\WINDOWS and will make it your default "
        f"Screen Saver.  This installation will take {total:,} bytes.")
    answer(prefix, caption, "Return", contains="Installation Complete!")
    answer(prefix, "Lumenquill Deluxe Ordering Info", "Return")
    assert proc.wait(BOUND) == 0
    assert_typical_install(prefix, files)


def test_cancel_in_the_confirmation_installs_nothing(prefix, make_installer):
    installer, _ = typical_package(make_installer)
    proc = start(prefix, installer)
    answer(prefix, "Aquarium Screen Saver Installation", "Escape", contains="This program will install")
    assert proc.wait(BOUND) == 0
    assert not prefix.host_path(WINDIR + "\\Aquarium.scr").exists()
    assert not prefix.host_path(DATA).exists()
    assert prefix.reg_query(UNINSTALL_KEY + "Aquarium", "DisplayName") is None


@pytest.fixture
def recorder(prefix):
    """The recordrun helper's bytes, and a function that reads what a copy of it recorded."""
    program = prefix.helper("recordrun").read_bytes()

    def ran(host_path):
        log = host_path.with_name(host_path.name + ".ran")
        return log.read_text(errors="replace").splitlines() if log.exists() else None
    return program, ran


@pytest.mark.parametrize("answer_key, aborted", [("y", True), ("n", False)], ids=["yes", "no"])
def test_cancel_during_a_large_file(prefix, make_installer, recorder, answer_key, aborted):
    program, ran = recorder
    big = payload(48 << 20, 5)
    media = [Media("a.wav", wav_tone(), suffix=".WAV"), Media("b.wav", wav_tone(frequency=660), suffix=".WAV")]
    installer = make_installer(title="Aquarium", first_number=6, saver=payload(4000, 1), data=big,
                               uninstaller=program, media=media, stored=True)
    proc = start(prefix, installer)
    answer(prefix, "Aquarium Screen Saver Installation", "Return", contains="This program will install")
    # The "Installing" dialog has the same caption; Cancel is its default button.
    prefix.wait_window("Aquarium Screen Saver Installation", timeout=15, process=proc)
    read_box(prefix, "Aquarium Screen Saver Installation", contains="Please Wait...")
    prefix.send_keys("Escape")
    lines = answer(prefix, "Abort Installation?", answer_key, contains="Are you sure")
    assert box_text(lines) == "Are you sure you would like to abort this installation?"

    uninstaller = data_path(prefix, "Aquarium", "UNINSTAL.EXE")
    if aborted:
        assert proc.wait(BOUND) == 0
        data = data_path(prefix, "Aquarium", "Aquarium.dat").read_bytes()
        assert len(data) < len(big) and big.startswith(data), "the file being copied stops at the abort"
        assert uninstaller.read_bytes() == program, "the uninstaller is always written whole"
        assert prefix.reg_query(UNINSTALL_KEY + "Aquarium", "UninstallString") is not None
        log = data_path(prefix, "Aquarium", "INSTALL.LOG").read_text().splitlines()
        assert [p.rsplit("\\", 1)[1] for p in log] == ["Aquarium.scr", "Aquarium.dat", "UNINSTAL.EXE",
                                                      "FILE0006.WAV", "FILE0007.WAV"]
        for name in ("FILE0006.WAV", "FILE0007.WAV"):  # created, cut at their first chunk
            assert len(data_path(prefix, "Aquarium", name).read_bytes()) <= 2048
        poll(lambda: ran(uninstaller), 10, what="the uninstaller to run")
        assert ran(uninstaller) == ["/s"]
    else:
        answer(prefix, "Aquarium Screen Saver Installation", "Return", contains="Installation Complete!")
        answer(prefix, "Lumenquill Deluxe Ordering Info", "Return")
        assert proc.wait(BOUND) == 0
        assert data_path(prefix, "Aquarium", "Aquarium.dat").read_bytes() == big
        assert ran(uninstaller) is None
