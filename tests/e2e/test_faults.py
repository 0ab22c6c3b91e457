"""Faults on the real platform: a full disk during a stored copy and during a packed extraction, a data
folder that cannot be created, a read-only data folder, two installers of one saver at once, and names
at the edges (non-ASCII titles, a title too long for a path). For each: what the user sees, the exit
status, and what is on disk afterwards."""

import random
import subprocess

import pytest

import wine

from conftest import LQPACK, STUB
from test_install import (BOUND, DATA, SETUP, WINDIR, answer, box_text, data_path, payload, read_box, start,
                          typical_package)


@pytest.fixture
def small_disk(tmp_path):
    """A 1 MiB tmpfs folder; unmounted after the test."""
    mount = tmp_path / "small-disk"
    mount.mkdir()
    subprocess.run(["mount", "-t", "tmpfs", "-o", "size=1m", "tmpfs", str(mount)], check=True, capture_output=True)
    yield mount
    subprocess.run(["umount", "-l", str(mount)], check=False, capture_output=True)


def saver_on(prefix, disk, title="Aquarium"):
    """Makes C:\\windows\\<title>.scr a file on `disk`: the saver's writes then hit its limit."""
    target = disk / "saver.scr"
    target.write_bytes(b"")
    link = prefix.host_path(f"{WINDIR}\\{title}.scr")
    link.symlink_to(target)
    return target


def logged_names(prefix, title="Aquarium"):
    log = data_path(prefix, title, "INSTALL.LOG")
    return [line.rsplit("\\", 1)[1] for line in log.read_text().splitlines()] if log.exists() else None


def test_full_disk_during_a_stored_copy(prefix, make_installer, small_disk):
    saver = random.Random(1).randbytes(3 << 20)  # does not pack: stored
    installer, files = typical_package(make_installer, saver=saver)
    saver_on(prefix, small_disk)
    proc = start(prefix, installer, "/S")
    lines = answer(prefix, "Installation Incomplete", "Return", contains="could not write")
    assert "C:\\windows\\Aquarium.scr" in box_text(lines)
    assert proc.wait(BOUND) == 1
    assert logged_names(prefix) == ["Aquarium.scr", "Aquarium.dat", "UNINSTAL.EXE", "FILE0006.MID"]
    assert data_path(prefix, "Aquarium", "UNINSTAL.EXE").read_bytes() == files["uninstaller"]
    assert b"SCRNSAVE" not in prefix.host_path(WINDIR + "\\system.ini").read_bytes()


def test_full_disk_during_a_packed_extraction(prefix, make_installer, small_disk):
    saver = b"".join(b"%06d a saver that packs well\r\n" % i for i in range(100_000))  # 3 MB, packed
    installer, _ = typical_package(make_installer, saver=saver)
    assert not make_installer.listing(installer)["entries"][0]["stored"]
    saver_on(prefix, small_disk)
    proc = start(prefix, installer, "/S")
    lines = answer(prefix, "Installation Failed", "Return", contains="could not write")
    assert "C:\\windows\\Aquarium.scr" in box_text(lines)
    assert proc.wait(BOUND) == 1
    # The process ends at once; the file it was writing is in the log all the same.
    assert logged_names(prefix) == ["Aquarium.scr"]


def test_a_data_folder_that_cannot_be_created(prefix, make_installer):
    installer, files = typical_package(make_installer)
    blocker = prefix.host_path(DATA[:-1])  # "Lumenquill" exists as a file, not a folder
    blocker.parent.mkdir(parents=True, exist_ok=True)
    blocker.write_bytes(b"not a folder")
    proc = start(prefix, installer, "/S")
    lines = answer(prefix, "Installation Incomplete", "Return", contains="could not write")
    text = box_text(lines)
    for name in ("Aquarium.dat", "UNINSTAL.EXE", "FILE0006.MID"):
        assert DATA + "Aquarium\\" + name in text
    assert proc.wait(BOUND) == 1
    assert prefix.host_path(WINDIR + "\\Aquarium.scr").read_bytes() == files["saver"]
    assert blocker.read_bytes() == b"not a folder"


def test_a_read_only_data_folder(prefix, make_installer):
    installer, files = typical_package(make_installer)
    folder = data_path(prefix, "Aquarium")
    folder.mkdir(parents=True)
    subprocess.run(["mount", "--bind", str(folder), str(folder)], check=True)
    try:
        subprocess.run(["mount", "-o", "remount,ro,bind", str(folder)], check=True)
        proc = start(prefix, installer, "/S")
        lines = answer(prefix, "Installation Incomplete", "Return", contains="could not write")
        assert DATA + "Aquarium\\UNINSTAL.EXE" in box_text(lines)
        assert proc.wait(BOUND) == 1
        assert list(folder.iterdir()) == []
    finally:
        subprocess.run(["umount", "-l", str(folder)], check=False)
    assert prefix.host_path(WINDIR + "\\Aquarium.scr").read_bytes() == files["saver"]


def test_two_installers_of_one_saver_at_once(prefix, make_installer):
    installer, files = typical_package(make_installer)
    first = start(prefix, installer)
    caption = "Aquarium Screen Saver Installation"
    read_box(prefix, caption, contains="This program will install")  # the first waits here
    second = prefix.start(prefix.host_path(SETUP), "/S")
    lines = answer(prefix, "Error!!!", "Return", contains="being installed already")
    assert second.wait(BOUND) == 1
    assert not prefix.host_path(WINDIR + "\\Aquarium.scr").exists(), "the second wrote nothing"
    answer(prefix, caption, "Return", contains="This program will install")
    answer(prefix, caption, "Return", contains="Installation Complete!")
    answer(prefix, "Lumenquill Deluxe Ordering Info", "Return")
    assert first.wait(BOUND) == 0
    assert prefix.host_path(WINDIR + "\\Aquarium.scr").read_bytes() == files["saver"]
    assert logged_names(prefix) == ["Aquarium.scr", "Aquarium.dat", "UNINSTAL.EXE", "FILE0006.MID"]
    assert "being installed already" in box_text(lines)


def test_a_title_of_the_ansi_code_page(prefix, make_installer, tmp_path):
    # "Aurore d'été" in the ANSI code page (1252): lqpack takes the title's bytes as given.
    title = b"Aurore d'\xe9t\xe9"
    saver, data = payload(900, 1), payload(90, 2)
    (tmp_path / "s.scr").write_bytes(saver)
    (tmp_path / "d.dat").write_bytes(data)
    out = tmp_path / "setup.exe"
    subprocess.run([bytes(str(LQPACK), "ascii"), b"build", b"-q", b"--stub", bytes(str(STUB), "ascii"), b"-o",
                    bytes(str(out), "ascii"), b"--title", title, b"--saver", bytes(str(tmp_path / "s.scr"), "ascii"),
                    b"--data", bytes(str(tmp_path / "d.dat"), "ascii")], check=True)
    code, _ = prefix.run(prefix.install_program(out, SETUP), "/S", timeout=BOUND)
    assert code == 0
    unicode_title = title.decode("cp1252")
    assert prefix.host_path(f"{WINDIR}\\{unicode_title}.scr").read_bytes() == saver
    assert data_path(prefix, unicode_title, f"{unicode_title}.dat").read_bytes() == data


def test_a_title_too_long_for_a_path_installs_nothing(prefix, make_installer):
    installer = make_installer(title="T" * 259, saver=payload(100, 1), data=payload(10, 2))
    proc = start(prefix, installer, "/S")
    answer(prefix, "Screen Saver Name Too Long", "Return")
    assert proc.wait(BOUND) == 1
    assert not prefix.host_path(DATA).exists()
    assert not list(prefix.host_path(WINDIR).glob("TTTT*"))


def test_a_common_data_folder_too_long_for_the_paths(prefix, make_installer):
    # The system's common application data folder, as SHGetFolderPathA reports it, 220 characters deep.
    deep = "C:\\" + "\\".join(["d" * 53] * 4)
    prefix.host_path(deep).mkdir(parents=True)
    wine._run(["wine", "reg", "add", r"HKLM\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders",
               "/v", "Common AppData", "/t", "REG_EXPAND_SZ", "/d", deep, "/f"], prefix.env)
    installer, _ = typical_package(make_installer, title="A rather long screen saver title")
    proc = start(prefix, installer, "/S")
    lines = answer(prefix, "Error!!!", "Return", contains="longer than Windows allows")
    assert "Nothing has been installed" in box_text(lines)
    assert proc.wait(BOUND) == 1
    assert not prefix.host_path(WINDIR + "\\A rather long screen saver title.scr").exists()
    assert list(prefix.host_path(deep).iterdir()) == []
