#!/usr/bin/env bash
# Makes the seed corpora of the fuzz targets in DIR/locate, DIR/unpack, DIR/naming and DIR/project.
#   fuzz/make_seeds.sh DIR
# Installers are built by lqpack from the stub (LQPACK and LQ_STUB override build/native/lqpack and
# build/win32/lqstub.exe), raw streams by `lqpack encode`; a small hand-laid installer gives the
# walk a seed whose headers are a large share of its bytes.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:?usage: make_seeds.sh DIR}
lqpack=${LQPACK:-$root/build/native/lqpack}
stub=${LQ_STUB:-$root/build/win32/lqstub.exe}
for f in "$lqpack" "$stub"; do
    [ -e "$f" ] || { echo "make_seeds.sh: $f is missing (make win32 builds it)" >&2; exit 1; }
done
mkdir -p "$out/locate" "$out/unpack" "$out/naming" "$out/project"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Source files: text that packs well, bytes that do not, and an empty one.
python3 - "$work" <<'PY'
import os, random, sys
w = sys.argv[1]
random.seed(7)
open(f"{w}/saver.scr", "wb").write(b"MZ screen saver " * 64)
open(f"{w}/saver.dat", "wb").write(bytes(random.randrange(256) for _ in range(700)))
open(f"{w}/uninstal.exe", "wb").write(b"uninstaller\r\n" * 40)
open(f"{w}/song.mid", "wb").write(b"MThd\0\0\0\6" + bytes(range(256)) * 3)
open(f"{w}/clip.avi", "wb").write(b"RIFF" + bytes(40))
open(f"{w}/license.txt", "wb").write(b"You may use this screen saver.\r\n" * 5)
PY

pack() { "$lqpack" build -q --stub "$stub" "$@"; }
pack -o "$out/locate/stored.exe" --title "Aquarium" --saver "$work/saver.scr" --data "$work/saver.dat" \
     --uninstaller "$work/uninstal.exe" --stored
pack -o "$out/locate/packed.exe" --title "Night Sky. " --license "$work/license.txt" --directx --first-number 9998 \
     --saver "$work/saver.scr" --data "$work/saver.dat" --uninstaller "$work/uninstal.exe" \
     --media "$work/song.mid,kind=_" --media "$work/song.mid,kind=0,suffix=.MID" \
     --media "$work/clip.avi,stored,suffix=.AVI"
pack -o "$out/locate/saver-only.exe" --title "A" --saver "$work/saver.scr" --fast
cp "$stub" "$out/locate/stub.exe"

# A hand-laid installer: DOS header, PE header, one ".rsrc" section, the three directory levels,
# the data entry and a record with one stored row and its terminator.
python3 - "$out/locate/tiny.exe" <<'PY'
import struct, sys
base = 64 + 24 + 224 + 40                      # the resource base R: right after the one section header
body = b"hello"
rsrc = bytearray()
rsrc += bytes(16) + struct.pack("<II", 0, 0x80000000 | 8)        # root header, type entry -> E + 8
rsrc += struct.pack("<II", 0, 0x80000000 | 16)                    # name entry at E + 8 -> E + 16
rsrc += struct.pack("<II", 0, 40)                                 # language entry at E + 16 -> R + 40
rsrc += struct.pack("<IIII", 0x1000 + 56, 4, 0, 0)                # data entry at R + 40: record at R + 56
record = struct.pack("<H", 0) + b"Tiny".ljust(260, b"\0") + struct.pack("<IIIHH", 0, 0x00FF0000, 0, 0, 1)
row_data = base + 56 + len(record) + 2 * 28
record += struct.pack("<III", row_data, len(body), 0) + b".TXT".ljust(15) + b" " + bytes(28)
rsrc += record + body
section = b".rsrc\0\0\0" + struct.pack("<IIII", len(rsrc), 0x1000, len(rsrc), base) + bytes(16)
pe = b"PE\0\0" + struct.pack("<HHIIIHH", 0x14C, 1, 0, 0, 0, 224, 0x102) + bytes(224)
dos = b"MZ" + bytes(58) + struct.pack("<I", 64)
open(sys.argv[1], "wb").write(dos + pe + section + rsrc)
PY

# Raw streams for the decoder: mode byte 0, the 3-byte size, the stream.
for f in saver.scr saver.dat uninstal.exe song.mid; do
    "$lqpack" encode "$work/$f" "$work/$f.lq" >/dev/null
    "$lqpack" encode --fast "$work/$f" "$work/$f.fast.lq" >/dev/null
    size=$(stat -c %s "$work/$f")
    for s in "$work/$f.lq" "$work/$f.fast.lq"; do
        { python3 -c "import sys,struct; sys.stdout.buffer.write(bytes([0]) + struct.pack('<I', $size)[:3])"; cat "$s"; } \
            > "$out/unpack/$(basename "$s").seed"
    done
    # Round trips (mode 1 fast, mode 3 best) of the same file.
    { printf '\001\000\000\000'; cat "$work/$f"; } > "$out/unpack/$f.fast.roundtrip"
    { printf '\003\000\000\000'; cat "$work/$f"; } > "$out/unpack/$f.best.roundtrip"
done
printf '\000\020\000\000' > "$out/unpack/zeros-16"   # no packed bytes, 16 bytes out

# Naming: out size (2), index (4), FirstNumber (2), Kind, fallback, NameSuffix (15), then the NUL-ended
# title, Windows directory, data folder base and media path.
naming() { printf "$2" > "$out/naming/$1"; }
naming plain '\004\001\003\000\000\000\006\000\040\000.MID           Aquarium\000C:\\WINDOWS\000C:\\ProgramData\000C:\\x\\FILE0006.MID\000'
naming fallback '\004\001\014\000\000\000\016\047\137\001.MIDI-LONGNAME1Night Sky.\000C:\\\000C:\\\000song\000'
naming tight '\050\000\005\000\000\000\001\000\000\000               T\000C:\\W\000C:\\P\000a.b\\c\000'
# Project files: the shipped example and a few hand-written variants.
cp "$root/examples/aurora.lqp" "$out/project/"
printf 'title = "Night Sky  "\nsaver=/abs/sky.scr\ndata = sky.dat\nuninstaller = C:\\u.exe\nfirst-number = 65535\nstored = yes\n[media]\nfile = a.mid\nkind = 0x5F\n[media]\nfile=b.wav\nsuffix = .WAV\nstored = no\nkind = blank\n' \
    > "$out/project/variants.lqp"
printf '; comment\n# comment\ntitle=A\r\nsaver=a.scr\r\ndirectx = true\r\n[media]\r\n' > "$out/project/crlf.lqp"
echo "seeds in $out: $(ls "$out/locate" | wc -l) installers, $(ls "$out/unpack" | wc -l) streams, $(ls "$out/naming" | wc -l) naming inputs, $(ls "$out/project" | wc -l) project files"
