"""lqpack built as a Windows console program, run on Wine: it builds the same installer, byte for byte,
as the native lqpack from the same inputs, and lists, verifies and reports errors the same way."""

import json
import subprocess

from conftest import LQPACK, STUB, WIN32_BIN
from media_files import midi_tune

LQPACK_EXE = WIN32_BIN / "lqpack.exe"


def inputs(tmp_path):
    files = {"saver.scr": bytes(range(256)) * 300, "saver.dat": b"speed=3\r\n" * 50,
             "uninstal.exe": b"MZ" + bytes(5000), "tune.mid": midi_tune()}
    for name, content in files.items():
        (tmp_path / name).write_bytes(content)
    return files


def build_args(folder, out, windows):
    path = (lambda p: "Z:" + str(p).replace("/", "\\")) if windows else str
    return ["build", "-q", "--stub", path(STUB), "-o", path(out), "--title", "Aurora",
            "--saver", path(folder / "saver.scr"), "--data", path(folder / "saver.dat"),
            "--uninstaller", path(folder / "uninstal.exe"), "--media", path(folder / "tune.mid") + ",kind=_",
            "--first-number", "3"]


def test_windows_lqpack_builds_the_same_installer(prefix, tmp_path):
    inputs(tmp_path)
    native, windows = tmp_path / "native.exe", tmp_path / "windows.exe"
    subprocess.run([str(LQPACK), *build_args(tmp_path, native, False)], check=True)
    code, _ = prefix.run(LQPACK_EXE, *build_args(tmp_path, windows, True), timeout=60)
    assert code == 0
    assert windows.read_bytes() == native.read_bytes()

    code, out = prefix.run(LQPACK_EXE, "list", "--json", "Z:" + str(windows).replace("/", "\\"), timeout=30)
    assert code == 0
    listing = json.loads(out)
    assert [e["target"] for e in listing["entries"]] == [
        "{windows}\\Aurora.scr", "{data}\\Aurora.dat", "{data}\\UNINSTAL.EXE", "{data}\\JUK_0003.mid"]
    sources = ["Z:" + str(tmp_path / n).replace("/", "\\") for n in ("saver.scr", "saver.dat", "uninstal.exe", "tune.mid")]
    code, out = prefix.run(LQPACK_EXE, "verify", "Z:" + str(windows).replace("/", "\\"), *sources, timeout=60)
    assert code == 0 and out.count("matches") == 4, out


def test_windows_lqpack_reports_bad_input(prefix, tmp_path):
    inputs(tmp_path)
    out = tmp_path / "x.exe"
    args = build_args(tmp_path, out, True)
    args[args.index("--saver") + 1] = "Z:\\nowhere\\saver.scr"
    code, _ = prefix.run(LQPACK_EXE, *args, timeout=30)
    assert code == 1
    assert not out.exists()
