"""End-to-end tests of a whole installation on Wine: the files, the install log, the uninstall entry,
system.ini and the screen-saver switch, the message boxes of the sequence, Cancel and abort, refused
registry access, unplayable media, naming, reinstalling, and targets that cannot be written.
"""

import random
import re

import pytest

from media_files import midi_tune, wav_tone
import wine
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
        lines = out.splitlines()
        if contains is None or any(contains in line for line in lines):
            return lines
        return None
    return poll(look, timeout, interval=0.05, what=f"window {title!r} showing {contains!r}")


def box_text(lines):
    """The message text of a message box read by read_box: its static controls' texts, joined."""
    texts = [line.split(" ", 3)[3] for line in lines[1:] if line.startswith("Static ") and len(line.split(" ", 3)) == 4]
    return "\n".join(t for t in texts if t)


def box_buttons(lines):
    """The button texts of a box read by read_box, mnemonics removed, in order."""
    return [line.split(" ", 3)[3].replace("&", "") for line in lines[1:]
            if line.startswith("Button ") and len(line.split(" ", 3)) == 4]


def box_has_icon(lines):
    """Whether the box shows an icon (boxtext's first line gives the icon's size, 0x0 for none)."""
    return not lines[0].endswith(" icon=0x0")


def answer(prefix, title, key, contains=None):
    lines = read_box(prefix, title, contains)
    prefix.send_keys(key)
    return lines


def data_path(prefix, title, name=""):
    return prefix.host_path(DATA + title + "\\" + name)


def typical_package(make_installer, title="Aquarium", **extra):
    """Four rows as a typical saver ships them: saver, data file, uninstaller, one MIDI file."""
    files = dict(saver=payload(5000, 1), data=payload(700, 2), uninstaller=payload(3000, 3))
    files.update({k: extra.pop(k) for k in list(extra) if k in files})
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
    # Stored sizes: every text with its terminating NUL, in the order written.
    code, out = prefix.run_helper("regvalues", key[len("HKLM\\"):])
    assert code == 0
    sizes = [tuple(line.split()) for line in out.splitlines()]
    texts = {"DisplayName": f"{title} Screen Saver", "UninstallString": folder + "UNINSTAL.EXE",
             "InstallLocation": folder[:-1], "DisplayIcon": f"{WINDIR}\\{title}.scr,-0",
             "Publisher": "Made with Tavimore's Lumenquill"}
    types = {"DisplayName": 1, "UninstallString": 2, "InstallLocation": 2, "DisplayIcon": 1, "Publisher": 1}
    expected = [(name, str(types[name]), str(len(text) + 1)) for name, text in texts.items()]
    expected += [("VersionMajor", "4", "4"), ("VersionMinor", "4", "4")]
    assert sorted(sizes) == sorted(expected)

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
    assert box_buttons(lines) == ["OK", "Cancel"] and box_has_icon(lines)  # MB_OKCANCEL, MB_ICONINFORMATION
    total = sum(len(b) for b in files.values()) + len(midi_tune())
    assert box_text(lines) == (
        "This program will install Aquarium Screen Saver to C:\\WINDOWS and will make it your default "
        f"Screen Saver.  This installation will take {total:,} bytes.")
    lines = answer(prefix, caption, "Return", contains="Installation Complete!")
    assert box_buttons(lines) == ["OK"] and box_has_icon(lines)  # MB_OK, MB_ICONEXCLAMATION
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
    # A large packed media file of mostly literals takes over a second to decode on Wine, long enough for
    # the key to arrive while it is written; the rows before it take milliseconds, so whichever file is
    # in progress when the abort is confirmed, the large one is cut (at its first checkpoint at the latest).
    big = bytes(b"abcdefghijklmnop"[x & 15] for x in random.Random(6).randbytes(24 << 20))
    small = payload(8000, 9)
    media = [Media("big.dat", big, suffix=".BIN"), Media("small.wav", small, suffix=".WAV")]
    installer = make_installer(title="Aquarium", first_number=6, saver=payload(4000, 1), data=payload(900, 2),
                               uninstaller=program, media=media)
    proc = start(prefix, installer)
    caption = "Aquarium Screen Saver Installation"
    read_box(prefix, caption, contains="This program will install")
    confirmation = prefix.find_windows(caption)
    prefix.send_keys("Return")
    # The "Installing" dialog has the same caption: the first such window that is not the box.
    poll(lambda: [w for w in prefix.find_windows(caption) if w not in confirmation], 15, interval=0.02,
         what="the Installing dialog")
    prefix.send_keys("Escape")  # Cancel is its default button
    lines = answer(prefix, "Abort Installation?", answer_key, contains="Are you sure")
    assert box_text(lines) == "Are you sure you would like to abort this installation?"
    assert box_buttons(lines) == ["Yes", "No"] and not box_has_icon(lines)  # MB_YESNO, no icon

    uninstaller = data_path(prefix, "Aquarium", "UNINSTAL.EXE")
    big_target = data_path(prefix, "Aquarium", "FILE0006.BIN")
    if aborted:
        assert proc.wait(BOUND) == 0
        cut = big_target.read_bytes()
        assert len(cut) < len(big) and len(cut) % 16384 == 0 and big.startswith(cut), \
            "a packed file stops at the abort with whole chunks only"
        assert len(data_path(prefix, "Aquarium", "FILE0007.WAV").read_bytes()) <= 2048
        assert uninstaller.read_bytes() == program, "the uninstaller is always written whole"
        assert prefix.reg_query(UNINSTALL_KEY + "Aquarium", "UninstallString") is not None
        log = data_path(prefix, "Aquarium", "INSTALL.LOG").read_text().splitlines()
        assert [p.rsplit("\\", 1)[1] for p in log] == ["Aquarium.scr", "Aquarium.dat", "UNINSTAL.EXE",
                                                      "FILE0006.BIN", "FILE0007.WAV"]
        poll(lambda: ran(uninstaller), 10, what="the uninstaller to run")
        assert ran(uninstaller) == ["/s"]
        assert prefix.find_windows("Missing support codecs") == [], "no media check after the abort"
    else:
        # Not aborted: everything is written, and the unplayable .BIN is reported.
        answer(prefix, "Missing support codecs", "Escape", contains=".BIN")
        answer(prefix, "Lumenquill Deluxe Ordering Info", "Return")
        assert proc.wait(BOUND) == 0
        assert big_target.read_bytes() == big
        assert data_path(prefix, "Aquarium", "FILE0007.WAV").read_bytes() == small
        assert ran(uninstaller) is None


@pytest.mark.parametrize("mode", [(), ("/S",)], ids=["interactive", "silent"])
def test_refused_registry_access_installs_nothing(prefix, make_installer, mode):
    installer, _ = typical_package(make_installer)
    code, _ = prefix.run_helper("denykey", "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Aquarium")
    assert code == 0
    proc = start(prefix, installer, *mode)
    if not mode:
        answer(prefix, "Aquarium Screen Saver Installation", "Return", contains="This program will install")
    lines = answer(prefix, "Error!!!", "Return", contains="You do not have access")
    assert box_text(lines) == ("You do not have access to make the required system configuration modifications. "
                               "Please rerun this installation from an administrators account.")
    assert box_buttons(lines) == ["OK"] and not box_has_icon(lines)  # MB_OK, no icon
    assert proc.wait(BOUND) == 0
    assert not prefix.host_path(WINDIR + "\\Aquarium.scr").exists()
    assert not prefix.host_path(DATA).exists()


def test_unplayable_media_offers_the_download_and_does_not_activate(prefix, make_installer, recorder):
    _, ran = recorder
    handler = prefix.install_program(prefix.helper("recordrun"), "C:\\Browser\\browser.exe")
    # Output through files: a lingering Wine process would hold a pipe open.
    wine._run(["wine", "reg", "add", "HKCR\\http\\shell\\open\\command", "/ve", "/d",
               '"C:\\Browser\\browser.exe" "%1"', "/f"], prefix.env)
    media = [Media("tune.mid", midi_tune(), suffix=".MID"),
             Media("junk1.xyz", b"not media at all" * 10, suffix=".XYZ"),
             Media("junk2.xyz", b"still not media" * 10, suffix=".XYZ"),
             Media("junk3.mid", b"garbage named MID" * 10, suffix=".MID")]
    installer, _ = typical_package(make_installer, media=media)
    proc = start(prefix, installer, "/S")
    lines = answer(prefix, "Missing support codecs", "Return", contains="not currently supported")
    assert box_text(lines) == (
        "The following file types are not currently supported by your Windows media player:\r\n\r\n"
        ".XYZ\r\n.MID\r\n\r\nThese file types must be supported before you can run this file.  Click on the OK "
        "button below to download a copy from http://www.microsoft.com/windows/mediaplayer.  If you wish to get "
        "this file at a later time, click Cancel.").replace("\r\n", "\\r\\n")
    assert box_buttons(lines) == ["OK", "Cancel"] and not box_has_icon(lines)  # MB_OKCANCEL, no icon
    assert proc.wait(BOUND) == 0
    poll(lambda: ran(handler), 10, what="the download page to open")
    assert ran(handler) == ['"http://www.microsoft.com/windows/mediaplayer"']  # as the handler quotes %1
    assert b"SCRNSAVE" not in prefix.host_path(WINDIR + "\\system.ini").read_bytes()
    assert len(data_path(prefix, "Aquarium", "INSTALL.LOG").read_text().splitlines()) == 7


# (title, first number, media: (kind, suffix), expected names of rows 3..)
NAMING = [
    pytest.param("Aquarium", 6, [("_", ".MID"), ("0", ".MID"), ("blank", ".MID")],
                 ["JUK_0006.MID", "JUKE0007.MID", "FILE0008.MID"], id="kinds"),
    pytest.param("Aquarium", 9998, [("blank", ".WAV"), ("blank", ".WAV"), ("_", ".WAV")],
                 ["FILE9998.WAV", "FILE9999.WAV", "JUK_10000.WAV"], id="five-digits"),
    pytest.param("Aquarium", 1, [("blank", "ABCDEFGHIJKLMNO")], ["FILE0001ABCDEFGHIJKLMNO"], id="15-byte-suffix"),
    pytest.param("Dr. Who", 1, [("blank", ".MID")], ["FILE0001.MID"], id="title-with-dot"),
    pytest.param("Aurora   ", 1, [("blank", ".MID")], ["FILE0001.MID"], id="trailing-blanks"),
]


def media_content(suffix, i):
    """A playable file for .MID and .WAV names; anything else cannot be played."""
    return wav_tone(frequency=300 + 50 * i) if suffix == ".WAV" else midi_tune(notes=(60 + i,))


@pytest.mark.parametrize("title, first, media, names", NAMING)
def test_naming(prefix, make_installer, title, first, media, names):
    files = [Media(f"m{i}.bin", media_content(s, i), kind=k, suffix=s) for i, (k, s) in enumerate(media)]
    installer = make_installer(title=title, first_number=first, media=files, uninstaller=b"MZ uninstaller")
    proc = start(prefix, installer, "/S")
    if any(s not in (".MID", ".WAV") for _, s in media):
        # A name without a known extension cannot be played: the name stands for its type.
        lines = answer(prefix, "Missing support codecs", "Escape", contains="not currently supported")
        assert "\\r\\n\\r\\n" + names[0] + "\\r\\n" in box_text(lines)
    assert proc.wait(BOUND) == 0
    trimmed = title.rstrip(" ")
    assert prefix.host_path(f"{WINDIR}\\{trimmed}.scr").exists()
    assert data_path(prefix, trimmed, f"{trimmed}.dat").exists()
    for i, name in enumerate(names):
        assert data_path(prefix, trimmed, name).read_bytes() == media_content(media[i][1], i), name
    assert prefix.reg_query(UNINSTALL_KEY + trimmed, "DisplayName") == ("REG_SZ", f"{trimmed} Screen Saver")


def test_folder_fallback_without_shfolder(prefix, make_installer):
    installer, files = typical_package(make_installer)
    prefix.env["WINEDLLOVERRIDES"] = prefix.env.get("WINEDLLOVERRIDES", "") + ";shfolder=d"
    code, _ = prefix.run(prefix.install_program(installer, SETUP), "/S", timeout=BOUND)
    assert code == 0
    folder = prefix.host_path(WINDIR + "\\All Users\\Application Data\\Tavimore LLC\\Lumenquill\\Aquarium")
    assert (folder / "UNINSTAL.EXE").read_bytes() == files["uninstaller"]
    assert not prefix.host_path(DATA).exists()


def test_reinstalling_appends_to_the_log(prefix, make_installer):
    installer, _ = typical_package(make_installer)
    target = prefix.install_program(installer, SETUP)
    for _ in range(2):
        assert prefix.run(target, "/S", timeout=BOUND)[0] == 0
    lines = data_path(prefix, "Aquarium", "INSTALL.LOG").read_bytes().split(b"\r\n")
    assert len(lines) == 9 and lines[:4] == lines[4:8] and lines[8] == b""


def test_fewer_than_three_rows_registers_no_values(prefix, make_installer):
    installer = make_installer(title="Tiny", saver=payload(100, 1), data=payload(50, 2))
    code, _ = prefix.run(prefix.install_program(installer, SETUP), "/S", timeout=BOUND)
    assert code == 0
    assert prefix.reg_query(UNINSTALL_KEY + "Tiny", "DisplayName") is None
    assert data_path(prefix, "Tiny", "Tiny.dat").read_bytes() == payload(50, 2)
    assert data_path(prefix, "Tiny", "INSTALL.LOG").read_text().count("\n") == 2


def test_a_target_in_use_is_reported_and_exits_with_status_1(prefix, make_installer):
    installer, files = typical_package(make_installer)
    holder = prefix.start(prefix.helper("holdopen"), WINDIR + "\\Aquarium.scr", "60")
    poll(lambda: prefix.host_path(WINDIR + "\\Aquarium.scr").exists(), 10, what="the holder to open the saver")
    proc = start(prefix, installer, "/S")
    lines = answer(prefix, "Installation Incomplete", "Return", contains="could not write")
    assert "C:\\windows\\Aquarium.scr" in box_text(lines)
    assert proc.wait(BOUND) == 1
    holder.kill()
    # Everything else is installed and logged; the saver is not activated.
    assert data_path(prefix, "Aquarium", "UNINSTAL.EXE").read_bytes() == files["uninstaller"]
    assert len(data_path(prefix, "Aquarium", "INSTALL.LOG").read_text().splitlines()) == 4
    assert b"SCRNSAVE" not in prefix.host_path(WINDIR + "\\system.ini").read_bytes()


def test_packed_and_stored_entries_install_byte_for_byte(prefix, make_installer):
    text = b"".join(b"line %d of a saver's settings and credits\r\n" % i for i in range(60000))
    saver = payload(300_000, 7) + text[:200_000]
    installer = make_installer(title="Packed", first_number=1, saver=saver, data=text,
                               uninstaller=payload(20_000, 3),
                               media=[Media("tone.wav", wav_tone(seconds=2.0), suffix=".WAV")])
    listing = make_installer.listing(installer)
    packed = [e["index"] for e in listing["entries"] if not e["stored"]]
    assert 0 in packed and 1 in packed, listing["entries"]
    code, _ = prefix.run(prefix.install_program(installer, SETUP), "/S", timeout=BOUND)
    assert code == 0
    assert prefix.host_path(WINDIR + "\\Packed.scr").read_bytes() == saver
    assert data_path(prefix, "Packed", "Packed.dat").read_bytes() == text
    assert data_path(prefix, "Packed", "UNINSTAL.EXE").read_bytes() == payload(20_000, 3)
    assert data_path(prefix, "Packed", "FILE0001.WAV").read_bytes() == wav_tone(seconds=2.0)
