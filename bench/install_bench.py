#!/usr/bin/env python3
"""Benchmark: silent installation of a large package on Wine against copying the same bytes with cp.

Builds two installers with lqpack, one with 100 MB stored and one with 100 MB packed (PE DLLs from
Wine and text from /usr/share, repeated), installs each silently in a fresh prefix, and prints the
install time (less the time of installing a tiny package, which holds the one-second start timer and
Wine's start-up), MB/s, and the ratio to `cp` of the same bytes on the same disk. Prints figures; it
is no test.
"""

import glob
import os
import shutil
import subprocess
import sys
import tempfile
import time
from pathlib import Path

REPO = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(REPO / "tests/e2e"))
import wine  # noqa: E402

LQPACK = REPO / "build/native/lqpack"
STUB = REPO / "build/win32/lqstub.exe"
SIZE = int(os.environ.get("LQ_BENCH_MB", "100")) << 20


def corpus(size):
    """PE binaries and text found on this machine, repeated up to `size` bytes."""
    parts = []
    for pattern in ("/usr/lib/i386-linux-gnu/wine/i386-windows/*.dll", "/usr/lib/wine/*/*.dll",
                    "/usr/share/common-licenses/*", "/usr/share/doc/*/copyright"):
        for path in sorted(glob.glob(pattern))[:200]:
            try:
                parts.append(Path(path).read_bytes())
            except OSError:
                pass
    blob = b"".join(parts) or bytes(range(256)) * 4096
    return (blob * (size // len(blob) + 1))[:size]


def build(workdir, name, content, stored):
    payload = workdir / f"{name}.bin"
    payload.write_bytes(content)
    out = workdir / f"{name}.exe"
    args = [str(LQPACK), "build", "-q", "--stub", str(STUB), "-o", str(out), "--title", name,
            "--saver", str(workdir / "tiny.scr"), "--data", str(payload)]
    args.append("--stored" if stored else "--fast")
    started = time.monotonic()
    subprocess.run(args, check=True)
    return out, time.monotonic() - started


def timed_install(factory, installer):
    prefix = factory.new(installer.stem)
    try:
        target = prefix.install_program(installer, r"C:\Setup\setup.exe")
        started = time.monotonic()
        code, _ = prefix.run(target, "/S", timeout=600)
        elapsed = time.monotonic() - started
        assert code == 0, f"installer exited {code}"
        return elapsed
    finally:
        factory.discard(prefix)


def main():
    with tempfile.TemporaryDirectory(prefix="lqbench-", dir="/tmp") as tmp:
        work = Path(tmp)
        (work / "tiny.scr").write_bytes(b"MZ tiny saver")
        display = wine.Display(1024, 768, 24).start()
        env = dict(os.environ, DISPLAY=display.name)
        try:
            template = wine.build_template(work / "template", env)
            factory = wine.PrefixFactory(template, env, REPO / "build/win32", work / "artifacts", work / "prefixes")
            factory.scratch.mkdir()
            content = corpus(SIZE)
            tiny, _ = build(work, "Tiny", b"small data file", stored=True)
            stored, _ = build(work, "Stored", content, stored=True)
            packed, pack_time = build(work, "Packed", content, stored=False)

            base = min(timed_install(factory, tiny) for _ in range(2))
            src = work / "Stored.bin"
            started = time.monotonic()
            subprocess.run(["cp", str(src), str(work / "copy.bin")], check=True)
            cp_time = time.monotonic() - started
            mb = SIZE / 1e6
            print(f"package: {mb:.0f} MB; packed installer {packed.stat().st_size / 1e6:.1f} MB "
                  f"(lqpack --fast: {pack_time:.1f} s)")
            print(f"start-up and timer (tiny package): {base:.2f} s, subtracted below")
            print(f"cp of the same bytes (page cache, like the installer): {cp_time:.2f} s  {mb / cp_time:7.1f} MB/s")
            for name, installer in (("stored", stored), ("packed", packed)):
                t = min(timed_install(factory, installer) for _ in range(2)) - base
                print(f"install {name}:        {t:.2f} s  {mb / t:7.1f} MB/s  ({cp_time / t:.2f} x cp)")
        finally:
            wine.stop_wine_everywhere_under(work / "prefixes")
            display.stop()


if __name__ == "__main__":
    main()
