"""lqpack as its users run it: building, listing, extracting and verifying installers, the raw stream
commands, and one clear message with a documented exit code for every kind of bad input."""

import json
import os
import subprocess
from pathlib import Path

import pytest

REPO = Path(__file__).resolve().parents[2]
LQPACK = Path(os.environ.get("LQPACK") or REPO / "build/native/lqpack")
STUB = Path(os.environ.get("LQ_STUB") or REPO / "build/win32/lqstub.exe")


def lqpack(*args):
    return subprocess.run([str(LQPACK), *map(str, args)], capture_output=True, text=True)


@pytest.fixture
def files(tmp_path):
    made = {}
    for name, content in {"saver.scr": b"MZ" + bytes(range(256)) * 40, "saver.dat": b"settings\n" * 100,
                          "uninstal.exe": b"MZ uninstaller" * 50, "tune.mid": b"MThd" + b"\x00" * 300,
                          "license.txt": b"Use it kindly.\r\n" * 10, "empty.bin": b""}.items():
        made[name] = tmp_path / name
        made[name].write_bytes(content)
    return made


def build_args(files, out, *extra):
    return ["build", "--stub", STUB, "-o", out, "--title", "Aurora", "--saver", files["saver.scr"],
            "--data", files["saver.dat"], "--uninstaller", files["uninstal.exe"], *extra]


def test_build_list_extract_verify_round_trip(tmp_path, files):
    out = tmp_path / "setup.exe"
    r = lqpack(*build_args(files, out, "--media", f"{files['tune.mid']},kind=_", "--first-number", "9",
                           "--license", files["license.txt"], "--directx"))
    assert r.returncode == 0, r.stderr
    listing = json.loads(lqpack("list", "--json", out).stdout)
    assert listing["title"] == "Aurora" and listing["needs_directx"] and listing["first_number"] == 9
    assert listing["license_length"] == len(files["license.txt"].read_bytes())
    assert [e["target"] for e in listing["entries"]] == [
        "{windows}\\Aurora.scr", "{data}\\Aurora.dat", "{data}\\UNINSTAL.EXE", "{data}\\JUK_0009.mid"]
    assert listing["installed_size"] == sum(files[n].stat().st_size for n in
                                            ("saver.scr", "saver.dat", "uninstal.exe", "tune.mid"))
    assert any(not e["stored"] for e in listing["entries"]), "compressible files are packed"

    folder = tmp_path / "out"
    folder.mkdir()
    assert lqpack("extract", out, folder).returncode == 0
    assert (folder / "Aurora.scr").read_bytes() == files["saver.scr"].read_bytes()
    assert (folder / "JUK_0009.mid").read_bytes() == files["tune.mid"].read_bytes()

    sources = [files[n] for n in ("saver.scr", "saver.dat", "uninstal.exe", "tune.mid")]
    assert lqpack("verify", out, *sources).returncode == 0
    swapped = [sources[1], sources[0], sources[2], sources[3]]
    assert lqpack("verify", out, *swapped).returncode == 3


def test_same_inputs_give_the_same_installer(tmp_path, files):
    a, b = tmp_path / "a.exe", tmp_path / "b.exe"
    assert lqpack(*build_args(files, a)).returncode == 0
    assert lqpack(*build_args(files, b)).returncode == 0
    assert a.read_bytes() == b.read_bytes()


def test_raw_stream_commands_round_trip(tmp_path):
    source = tmp_path / "text.txt"
    source.write_bytes(b"the quick brown fox jumps over the lazy dog\n" * 500)
    packed, back = tmp_path / "text.lz", tmp_path / "back.txt"
    r = lqpack("encode", source, packed)
    assert r.returncode == 0 and packed.stat().st_size < source.stat().st_size / 4
    assert lqpack("decode", "--size", source.stat().st_size, packed, back).returncode == 0
    assert back.read_bytes() == source.read_bytes()


# (what is wrong, extra arguments or replaced ones, exit code, words of the message)
BAD = [
    ("missing saver", {"--saver": "nowhere.scr"}, 1, "nowhere.scr"),
    ("title too long", {"--title": "t" * 260}, 1, "at most 259"),
    ("title with a slash", {"--title": "A/B"}, 1, "cannot hold"),
    ("suffix too long", ["--media", "@tune.mid,suffix=.ABCDEFGHIJKLMNOP"], 1, "longer than 15"),
    ("license too long", ["--license", "@big"], 1, "at most 65535"),
    ("empty file", {"--data": "@empty.bin"}, 1, "empty"),
    ("stub not pack-ready", {"--stub": "@saver.scr"}, 1, "not a pack-ready installer stub"),
    ("unknown option", ["--colour"], 2, "unknown option --colour"),
    ("bad number", ["--first-number", "70000"], 2, "--first-number"),
    ("unwritable output", {"-o": "/nonexistent/dir/setup.exe"}, 1, "cannot write"),
]


@pytest.mark.parametrize("why, change, code, words", BAD, ids=[b[0] for b in BAD])
def test_bad_input_gets_one_clear_message(tmp_path, files, why, change, code, words):
    big = tmp_path / "big.txt"
    big.write_bytes(b"x" * 65536)
    names = dict((k, str(v)) for k, v in files.items())
    names["big"] = str(big)
    out = tmp_path / "setup.exe"
    out.write_bytes(b"previous installer")
    args = build_args(files, out)
    def fill(text):  # "@name" stands for one of the fixture's files
        return names[text[1:].split(",")[0]] + text[len(text.split(",")[0]):] if text.startswith("@") else text
    if isinstance(change, dict):
        for option, value in change.items():
            args[args.index(option) + 1] = fill(value)
    else:
        args += [fill(a) for a in change]
    r = lqpack(*args)
    assert r.returncode == code, r.stderr
    assert words in r.stderr and r.stderr.count("\n") == 1, r.stderr
    assert out.read_bytes() == b"previous installer", "a failed build leaves the output as it was"
    assert not [p for p in tmp_path.iterdir() if ".tmp-" in p.name]


def test_damaged_installers_are_reported_not_crashed_on(tmp_path, files):
    out = tmp_path / "setup.exe"
    assert lqpack(*build_args(files, out, "--stored")).returncode == 0
    whole = out.read_bytes()
    cut = tmp_path / "cut.exe"
    cut.write_bytes(whole[:-100])
    r = lqpack("verify", cut)
    assert r.returncode == 1 and "past the end of the file" in r.stderr
    r = lqpack("list", cut)
    assert r.returncode == 1 and "past the end of the file" in r.stdout


def test_unknown_command_suggests_the_closest(tmp_path):
    r = lqpack("lsit")
    assert r.returncode == 2 and 'did you mean "list"' in r.stderr
    assert lqpack("--help").returncode == 0
    assert "--media SPEC" in lqpack("build", "--help").stdout
    r = lqpack("build", "--titel", "x")
    assert r.returncode == 2 and "did you mean --title?" in r.stderr, r.stderr


def test_project_file_builds_the_same_installer_as_options(tmp_path, files):
    project = tmp_path / "aurora.lqp"
    project.write_text(
        "# a package\n"
        'title = "Aurora"\n'
        f"saver = {files['saver.scr'].name}\n"
        f"data = {files['saver.dat']}\n"
        f"uninstaller = {files['uninstal.exe'].name}\n"
        "first-number = 9\n"
        "directx = yes\n"
        "\n[media]\n"
        f"file = {files['tune.mid'].name}\n"
        "kind = _\n"
        "suffix = .MID\n")
    from_project, from_options = tmp_path / "p.exe", tmp_path / "o.exe"
    assert lqpack("build", "--stub", STUB, "--project", project, "-o", from_project).returncode == 0
    r = lqpack(*build_args(files, from_options, "--media", f"{files['tune.mid']},kind=_,suffix=.MID",
                           "--first-number", "9", "--directx"))
    assert r.returncode == 0
    assert from_project.read_bytes() == from_options.read_bytes()


@pytest.mark.parametrize("text, line, words", [
    ("title = A\nsaver = s.scr\ncolour = red\n", 3, 'unknown key "colour"'),
    ("title = A\n[media]\nkind = xx\n", 3, "kind is"),
    ("title = A\nfirst-number = -1\n", 2, "first-number"),
    ("title = A\n[extras]\n", 2, "unknown section"),
    ("title A\n", 1, "expected key = value"),
])
def test_project_file_errors_name_the_line(tmp_path, text, line, words):
    project = tmp_path / "bad.lqp"
    project.write_text(text)
    r = lqpack("build", "--stub", STUB, "--project", project, "-o", tmp_path / "x.exe")
    assert r.returncode == 1
    assert f"bad.lqp:{line}: " in r.stderr and words in r.stderr, r.stderr
