"""Damaged installers on Wine: one good installer built by lqpack, damaged as a download cut short or a
hostile file damages it, run silently (/S). Each case states what the user gets: the box and its text,
the exit status, and what is on disk. Nothing may ever be written outside the data folder and the
Windows directory. docs/reliability.md holds the same table in words.
"""

import random
import struct

import pytest

from media_files import midi_tune
from test_install import box_text, read_box

SETUP = r"C:\Setup\setup.exe"
WINDIR = "C:\\windows"
DATA = "C:\\ProgramData\\Tavimore LLC\\Lumenquill\\"
UNINSTALL_KEY = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
BOUND = 30
TITLE = "Aquarium"


def text(n, line):
    return (line * (n // len(line) + 1))[:n]


# Text packs; noise does not, so lqpack stores it: rows 0 and 2 are packed, row 1 stored. Row 3 is a
# tune that the media check accepts.
FILES = [text(5000, b"saver code and pictures "), random.Random(2).randbytes(700),
         text(3000, b"uninstaller "), midi_tune()]
TARGETS = [f"{WINDIR}\\{TITLE}.scr", f"{DATA}{TITLE}\\{TITLE}.dat", f"{DATA}{TITLE}\\UNINSTAL.EXE",
           f"{DATA}{TITLE}\\FILE0006.MID"]


class Layout:
    """Where the structures of the good installer lie."""

    def __init__(self, data, listing):
        self.pe = struct.unpack_from("<I", data, 60)[0]
        count = struct.unpack_from("<H", data, self.pe + 6)[0]
        table = self.pe + 24 + 224
        self.rsrc_header = next(table + 40 * i for i in range(count)
                                if data[table + 40 * i:table + 40 * i + 6] == b".rsrc\0")
        self.rsrc = struct.unpack_from("<I", data, self.rsrc_header + 20)[0]
        self.record = listing["record_offset"]
        self.license = listing["license_length"]
        self.rows = self.record + 278 + self.license
        self.entries = listing["entries"]

    def row(self, i):
        return self.rows + 28 * i


def put32(data, at, value):
    data[at:at + 4] = struct.pack("<I", value)


# What the user gets:
#   refused     the box "Error!!!" with `box`, exit 1, nothing written anywhere
#   incomplete  every row written as far as its data goes, the box "Installation Incomplete" naming the
#               targets of `failed`, exit 1, the saver not made the screen saver; rows not in `damaged`
#               hold their files byte for byte
#   complete    exit 0 with no box; rows not in `damaged` hold their files byte for byte
#   not started the system refuses to start the program; exit not 0, nothing written
INCOMPLETE_TEXT = "damaged or incomplete"
CASES = [
    ("cut inside the PE headers", lambda L, d: d[:L.pe + 100], "not started", {}),
    ("cut inside the section table", lambda L, d: d[:L.rsrc_header + 20], "not started", {}),
    ("cut inside the resource directory", lambda L, d: d[:L.rsrc + 20], "not started", {}),
    ("cut inside LicenseLength", lambda L, d: d[:L.record + 1], "refused", {}),
    ("cut inside the title", lambda L, d: d[:L.record + 2 + L.license + 100], "refused", {}),
    ("cut inside the file table", lambda L, d: d[:L.row(1) + 10], "refused", {}),
    ("cut after the last row", lambda L, d: d[:L.row(4)], "refused", {}),
    ("cut inside a packed entry's data",
     lambda L, d: d[:L.entries[2]["data_offset"] + L.entries[2]["packed_size"] // 2],
     "incomplete", {"failed": [2, 3], "damaged": [2, 3]}),
    ("cut inside the last entry's data",
     lambda L, d: d[:L.entries[3]["data_offset"] + L.entries[3]["packed_size"] // 2],
     "incomplete", {"failed": [3], "damaged": [3]}),
    ("no section named .rsrc", lambda L, d: d[:L.rsrc_header] + b".rsrx" + d[L.rsrc_header + 5:], "refused", {}),
    ("data RVA outside the .rsrc section", "rva", "refused", {}),
    ("title without its terminating zero", "title", "title too long", {}),
    ("LicenseLength beyond the end of the file", lambda L, d: d[:L.record] + b"\xff\xff" + d[L.record + 2:],
     "refused", {}),
    ("DataOffset beyond the end of the file", ("offset", 3, None), "incomplete", {"failed": [3], "damaged": [3]}),
    ("DataOffset beyond 2 GiB, stored", ("offset", 1, 0x80000010), "incomplete", {"failed": [1], "damaged": [1]}),
    ("DataOffset beyond 2 GiB, packed", ("offset", 2, 0x80000010), "incomplete", {"failed": [2], "damaged": [2]}),
    ("PackedSize beyond the end of the file", ("packed", 1, 1 << 30), "incomplete", {"failed": [1], "damaged": [1]}),
    ("huge UnpackedSize against tiny packed data", ("unpacked", 0, 8 << 20), "complete", {"damaged": [0]}),
]


def damage(layout, good, how):
    d = bytearray(good)
    if callable(how):
        return bytes(how(layout, bytes(d)))
    if how == "rva":
        # The data entry the walk reaches: follow the first entry of each level as the installer does.
        e = layout.rsrc + 16
        name = e + (struct.unpack_from("<I", d, e + 4)[0] & 0x7FFFFFFF)
        language = e + (struct.unpack_from("<I", d, name + 4)[0] & 0x7FFFFFFF)
        entry = layout.rsrc + struct.unpack_from("<I", d, language + 4)[0]
        put32(d, entry, 0x10)
    elif how == "title":
        at = layout.record + 2 + layout.license
        d[at:at + 260] = b"A" * 260
    else:
        field, row, value = how
        at = layout.row(row) + {"offset": 0, "packed": 4, "unpacked": 8}[field]
        put32(d, at, len(d) + 1000 if value is None else value)
    return bytes(d)


@pytest.fixture(scope="module")
def good(shared_installers):
    from wine import Media
    # No license: the license box shows in silent mode too, and the record reads are the same after it.
    path = shared_installers(title=TITLE, first_number=6, saver=FILES[0], data=FILES[1],
                             uninstaller=FILES[2], media=[Media("song.mid", FILES[3], suffix=".MID")])
    listing = shared_installers.listing(path)
    stored = [e["stored"] for e in listing["entries"]]
    assert stored[:3] == [False, True, False], "the cases below expect rows 0 and 2 packed, row 1 stored"
    data = path.read_bytes()
    return data, Layout(data, listing)


def files_under(root):
    return {p.relative_to(root) for p in root.rglob("*")}


@pytest.mark.parametrize("name,how,outcome,details", CASES, ids=[c[0] for c in CASES])
def test_damaged_installer(prefix, good, tmp_path, name, how, outcome, details):
    data, layout = good
    source = tmp_path / "setup.exe"
    source.write_bytes(damage(layout, data, how))
    target = prefix.install_program(source, SETUP)
    before = files_under(prefix.drive_c)
    proc = prefix.start(target, "/S")

    if outcome == "refused":
        text = box_text(read_box(prefix, "Error!!!"))
        assert INCOMPLETE_TEXT in text and "Nothing has been installed" in text, text
        prefix.send_keys("Return")
    elif outcome == "title too long":
        read_box(prefix, "Screen Saver Name Too Long")
        prefix.send_keys("Return")
    elif outcome == "incomplete":
        text = box_text(read_box(prefix, "Installation Incomplete"))
        for row in range(4):
            assert (TARGETS[row] in text) == (row in details["failed"]), (row, text)
        prefix.send_keys("Return")
    code = proc.wait(BOUND)

    new = {p for p in files_under(prefix.drive_c) - before}
    # Wine's own bookkeeping aside, only the data folder and the Windows directory may gain anything.
    allowed = (prefix.host_path(WINDIR), prefix.host_path(DATA))
    strays = [p for p in new if not any((prefix.drive_c / p).is_relative_to(a) or a.is_relative_to(prefix.drive_c / p)
                                        for a in allowed) and "users" not in p.parts[:1]]
    assert strays == []
    saver = prefix.host_path(TARGETS[0])
    system_ini = prefix.host_path(WINDIR + "\\system.ini").read_bytes()

    if outcome in ("refused", "title too long", "not started"):
        assert code != 0
        assert not saver.exists()
        assert not prefix.host_path(DATA).exists()
        assert prefix.reg_query(UNINSTALL_KEY + TITLE, "DisplayName") is None
        assert b"SCRNSAVE" not in system_ini
        return

    damaged = details.get("damaged", [])
    for row in range(4):
        path = prefix.host_path(TARGETS[row])
        if row not in damaged:
            assert path.read_bytes() == FILES[row], f"row {row} lost its bytes"
    log = prefix.host_path(f"{DATA}{TITLE}\\INSTALL.LOG").read_text().splitlines()
    if outcome == "incomplete":
        assert code == 1
        assert b"SCRNSAVE" not in system_ini
        # Every row was visited and logged, reachable data or not.
        assert log == TARGETS
    else:
        assert code == 0
        assert log == TARGETS
        assert prefix.host_path(TARGETS[0]).stat().st_size == 8 << 20
