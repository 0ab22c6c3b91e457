"""Harness for running the installer and its helper programs on Wine under Xvfb.

The pieces, in the order a test run uses them:

- `Display`: a private Xvfb server (1024x768x24 by default) on a free display number.
- `build_template`: one fully booted 32-bit prefix per test run, with the settings every test needs.
- `PrefixFactory.new`: a fresh prefix per test, a hard-linked copy of the template in which every file
  Wine or the installer may rewrite is a real copy, served by its own persistent wineserver.
- `Prefix`: runs programs (`start` gives a `WineProcess` to wait on with a bound), reads and writes the
  registry, maps Windows paths to host paths, finds windows, sends keys, takes screenshots.
- `InstallerBuilder` and `Media`: installers built with lqpack from payload files made on the spot.
- `Screenshot`: the whole screen as RGB bytes, read once through /usr/bin/convert, with pixel access.

Every wait is a poll with a deadline; nothing sleeps for a fixed time to let something happen.
"""

import ctypes
import json
import os
import re
import shutil
import signal
import subprocess
import tempfile
import time
from pathlib import Path

CONVERT = "/usr/bin/convert"  # /usr/local/bin/convert may be a stand-in without the XWD reader

QUIET_ENV = {
    "WINEDEBUG": "-all",
    "WINEDLLOVERRIDES": "mscoree,mshtml=;winealsa.drv,winepulse.drv,winegstreamer=d",
}

# Files of a booted prefix that Wine or the installer rewrite in place. Everything else in the template
# is only read (DLLs, fonts, NLS files), or new files are created next to it.
_REWRITTEN_SUFFIXES = (".reg", ".ini", ".log", ".inf", ".pnf", ".dat", ".txt")
_SMALL_FILE = 64 * 1024  # every file below this size is copied for real as well: cheap, and safe
_REAL_COPY_DIRS = ("drive_c/ProgramData", "drive_c/users")


SERVER_LINGER = 120  # seconds a test prefix's wineserver outlives its last process


class WineError(Exception):
    """A Wine tool or a helper program failed, or a bounded wait ran out."""


def poll(predicate, timeout, interval=0.05, what="condition"):
    """Calls predicate() every `interval` seconds until it returns a true value, which is returned.

    Raises WineError naming `what` when `timeout` seconds pass first. predicate is always called at
    least once, and once more at the deadline.
    """
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise WineError(f"timed out after {timeout:g} s waiting for {what}")
        time.sleep(min(interval, max(0.0, deadline - time.monotonic())))


def _end_with_parent():
    """In a child before exec: have the kernel send it SIGTERM when the test process dies, so that an
    interrupted run leaves no X server behind (Linux prctl PR_SET_PDEATHSIG)."""
    try:
        libc = ctypes.CDLL(None, use_errno=True)
        libc.prctl(1, signal.SIGTERM, 0, 0, 0)  # 1 = PR_SET_PDEATHSIG
    except (OSError, AttributeError):
        pass


class Display:
    """A private Xvfb server. `number` and `name` (":93") are set once `start` has returned."""

    def __init__(self, width=1024, height=768, depth=24, first=90, last=119):
        self.width, self.height, self.depth = width, height, depth
        self._range = range(first, last + 1)
        self.number = None
        self.name = None
        self._proc = None

    def start(self, timeout=10):
        for n in self._range:
            if Path(f"/tmp/.X{n}-lock").exists() or Path(f"/tmp/.X11-unix/X{n}").exists():
                continue
            proc = subprocess.Popen(
                ["Xvfb", f":{n}", "-screen", "0", f"{self.width}x{self.height}x{self.depth}",
                 "-nolisten", "tcp", "-noreset"],
                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                preexec_fn=_end_with_parent)
            env = dict(os.environ, DISPLAY=f":{n}")

            def ready():
                if proc.poll() is not None:
                    return "exited"
                probe = subprocess.run(["xdotool", "getdisplaygeometry"], env=env,
                                       capture_output=True, text=True)
                return "up" if probe.returncode == 0 else None

            state = poll(ready, timeout, what=f"Xvfb on :{n}")
            if state == "up":
                self.number, self.name, self._proc = n, f":{n}", proc
                return self
            # Lost a race for this number with another server: try the next one.
        raise WineError(f"no free X display in :{self._range.start}..:{self._range.stop - 1}")

    def stop(self):
        if self._proc and self._proc.poll() is None:
            self._proc.terminate()
            try:
                self._proc.wait(5)
            except subprocess.TimeoutExpired:
                self._proc.kill()
                self._proc.wait()
        self._proc = None


class WineProcess:
    """A program started on Wine. `wait` bounds every wait; `kill` ends it.

    Its output goes to files, not pipes: Wine's own background processes (services, explorer) may
    inherit the handles, and a pipe would then not reach its end when the program does.
    """

    def __init__(self, popen, args, out_path, err_path):
        self._popen = popen
        self.args = args
        self._out_path, self._err_path = out_path, err_path
        self.stdout = None
        self.stderr = None

    @property
    def running(self):
        return self._popen.poll() is None

    def wait(self, timeout=20):
        """The program's exit code (as Wine hands it on: the low 8 bits); WineError after `timeout` s."""
        try:
            code = self._popen.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise WineError(f"{self.args[1:]} still running after {timeout:g} s") from None
        if self.stdout is None:
            self.stdout = self._out_path.read_bytes().decode("latin-1") if self._out_path else ""
            self.stderr = self._err_path.read_bytes().decode("latin-1") if self._err_path else ""
        return code

    def kill(self):
        if self.running:
            self._popen.kill()
            self._popen.wait()


class Screenshot:
    """The root window as RGB pixels. `pixel(x, y)` gives an (r, g, b) tuple; `row(y)` the raw bytes."""

    def __init__(self, width, height, rgb, xwd_path=None):
        self.width, self.height, self.rgb = width, height, rgb
        self.xwd_path = xwd_path

    @classmethod
    def from_ppm(cls, data, xwd_path=None):
        """Parses a binary PPM (P6, maxval 255) as /usr/bin/convert writes it."""
        # Header: "P6", width, height, maxval, separated by blanks and "#" comments (convert writes
        # one naming the source format), then a single blank before the pixels.
        m = re.match(rb"P6(?:\s+|#[^\n]*\n)+(\d+)(?:\s+|#[^\n]*\n)+(\d+)(?:\s+|#[^\n]*\n)+(\d+)\s",
                     data)
        if not m or int(m.group(3)) != 255:
            raise WineError(f"screenshot is not an 8-bit binary PPM: {data[:40]!r}")
        w, h = int(m.group(1)), int(m.group(2))
        rgb = data[m.end():m.end() + 3 * w * h]
        if len(rgb) != 3 * w * h:
            raise WineError(f"screenshot truncated: {len(rgb)} of {3 * w * h} bytes")
        return cls(w, h, rgb, xwd_path)

    def pixel(self, x, y):
        i = 3 * (y * self.width + x)
        return tuple(self.rgb[i:i + 3])

    def row(self, y):
        return self.rgb[3 * y * self.width:3 * (y + 1) * self.width]

    def save_png(self, path):
        """Writes the screenshot as PNG (for artifacts); returns the path."""
        path = Path(path)
        path.parent.mkdir(parents=True, exist_ok=True)
        header = b"P6\n%d %d\n255\n" % (self.width, self.height)
        subprocess.run([CONVERT, "ppm:-", str(path)], input=header + self.rgb, check=True)
        return path


def capture_screen(display_env, workdir):
    """Captures the root window with xwd and converts it once to PPM. Returns a Screenshot."""
    workdir = Path(workdir)
    workdir.mkdir(parents=True, exist_ok=True)
    xwd = workdir / f"screen-{time.monotonic_ns()}.xwd"
    with open(xwd, "wb") as f:
        subprocess.run(["xwd", "-root", "-silent"], stdout=f, env=display_env, check=True)
    ppm = subprocess.run([CONVERT, f"xwd:{xwd}", "ppm:-"], capture_output=True, check=True).stdout
    return Screenshot.from_ppm(ppm, xwd)


ALIASED_FONTS_CONF = """<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">
<!-- The system's fonts, never anti-aliased. -->
<fontconfig>
  <include ignore_missing="yes">/etc/fonts/fonts.conf</include>
  <match target="pattern"><edit name="antialias" mode="assign"><bool>false</bool></edit></match>
  <match target="font"><edit name="antialias" mode="assign"><bool>false</bool></edit></match>
</fontconfig>
"""


def write_aliased_fontconfig(path):
    """Writes a fontconfig file that switches anti-aliasing off; returns its path for FONTCONFIG_FILE.

    Wine takes a face's anti-aliasing from fontconfig, which Debian has on: DEFAULT_QUALITY text is
    then smoothed whatever SPI_GETFONTSMOOTHING says. With this file it is drawn with whole pixels,
    so a screenshot can be compared pixel for pixel with a reference rendering.
    """
    path = Path(path)
    path.write_text(ALIASED_FONTS_CONF)
    return path


def _wine_env(base, prefix):
    env = dict(base)
    env.update(QUIET_ENV)
    env["WINEPREFIX"] = str(prefix)
    env.pop("WINEARCH", None)  # only wine32 is installed: every prefix is 32-bit
    return env


class _Result:
    def __init__(self, returncode, stdout, stderr):
        self.returncode, self.stdout, self.stderr = returncode, stdout, stderr


def _run(args, env, timeout=120, check=True):
    """Runs a command to its end; output through files for the reason given at WineProcess."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        p = subprocess.Popen(args, env=env, stdin=subprocess.DEVNULL, stdout=out, stderr=err)
        try:
            code = p.wait(timeout)
        except subprocess.TimeoutExpired:
            p.kill()
            p.wait()
            raise WineError(f"{' '.join(map(str, args))} still running after {timeout:g} s") from None
        out.seek(0)
        err.seek(0)
        r = _Result(code, out.read(), err.read())
    if check and r.returncode != 0:
        raise WineError(f"{' '.join(map(str, args))} exited {r.returncode}: "
                        f"{r.stderr.decode('latin-1').strip()}")
    return r


def build_template(path, display_env):
    """Boots a new prefix at `path` and applies the settings every test relies on.

    - Managed=N: without a window manager, closing a managed window stalls about 2 s.
    - Arial is replaced by "Liberation Sans" (metric-compatible; GetTextFaceA then says "Arial").
    Ends with `wineserver -w`, so the registry files are complete when it returns.
    """
    path = Path(path)
    env = _wine_env(display_env, path)
    _run(["wineboot", "-i"], env, timeout=180)
    for key, name, value in (
        (r"HKCU\Software\Wine\X11 Driver", "Managed", "N"),
        (r"HKCU\Software\Wine\Fonts\Replacements", "Arial", "Liberation Sans"),
    ):
        _run(["wine", "reg", "add", key, "/v", name, "/d", value, "/f"], env)
    _run(["wineserver", "-w"], env, timeout=60)
    return path


def _needs_real_copy(rel, size):
    return (rel.endswith(_REWRITTEN_SUFFIXES) or size < _SMALL_FILE
            or rel.startswith(_REAL_COPY_DIRS) or "/" not in rel)


def clone_prefix(template, dest):
    """Makes `dest` a copy of `template`: directories are new, big read-only files are hard links,
    every file that may be rewritten in place is a real copy (see _needs_real_copy)."""
    template, dest = Path(template), Path(dest)
    subprocess.run(["cp", "-al", str(template), str(dest)], check=True)
    for root, _dirs, files in os.walk(template):
        rel_root = os.path.relpath(root, template)
        for name in files:
            src = os.path.join(root, name)
            rel = name if rel_root == "." else f"{rel_root}/{name}"
            if os.path.islink(src):
                continue
            if _needs_real_copy(rel, os.path.getsize(src)):
                target = dest / rel
                target.unlink()
                shutil.copy2(src, target)
    return dest


def template_changes(template, since):
    """Files of the template modified after the time `since` (a write through a hard link)."""
    changed = []
    for root, _dirs, files in os.walk(template):
        for name in files:
            p = os.path.join(root, name)
            if not os.path.islink(p) and os.stat(p).st_mtime > since:
                changed.append(os.path.relpath(p, template))
    return changed


class Prefix:
    """One test's Wine prefix with its own persistent wineserver.

    `root` is the prefix directory, `env` the environment for Wine commands, `bin_dir` the folder of the
    compiled helper programs, `artifacts` the folder for screenshots worth keeping.
    """

    def __init__(self, root, display_env, bin_dir, artifacts, workdir):
        self.root = Path(root)
        self.env = _wine_env(display_env, self.root)
        self.display_env = display_env
        self.bin_dir = Path(bin_dir)
        self.artifacts = Path(artifacts)
        self.workdir = Path(workdir)
        self._processes = []
        self._count = 0
        # Persistent, so that state held only by the server (say a key's security set by a helper)
        # lasts from one program of the test to the next and start-up stays fast; yet it ends by
        # itself SERVER_LINGER seconds after its last process, should the teardown never come (an
        # interrupted run). It stays in the background: it must not hold on to pipes of ours.
        subprocess.run(["wineserver", f"-p{SERVER_LINGER}"], env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True, timeout=30)

    # ---- paths ----
    @property
    def drive_c(self):
        return self.root / "drive_c"

    def host_path(self, windows_path):
        """The host path of a "C:\\..." path in this prefix (case as given)."""
        m = re.match(r"^[cC]:[\\/]?(.*)$", windows_path)
        if not m:
            raise ValueError(f"not a C: path: {windows_path!r}")
        return self.drive_c.joinpath(*[p for p in re.split(r"[\\/]", m.group(1)) if p])

    @staticmethod
    def windows_path(host_path):
        """The Z: path under which Wine sees a host path."""
        return "Z:" + str(Path(host_path).resolve()).replace("/", "\\")

    def install_program(self, source, windows_path):
        """Copies a host file into the prefix at `windows_path` (a real copy); returns the host path."""
        target = self.host_path(windows_path)
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(source, target)
        return target

    def helper(self, name):
        """Host path of a compiled helper program, tests/e2e/helpers/<name>.cpp."""
        p = self.bin_dir / f"{name}.exe"
        if not p.is_file():
            raise WineError(f"helper {p} is missing: build the project first (make)")
        return p

    # ---- programs ----
    def start(self, program, *args, capture=True):
        """Starts `program` (host path or Windows path) with `args` on Wine; returns a WineProcess.

        Wine builds the program's command line from the arguments, quoting those with blanks.
        With capture, stdout and stderr are kept (WineProcess.stdout/.stderr after `wait`).
        """
        argv = ["wine", str(program), *map(str, args)]
        self.workdir.mkdir(parents=True, exist_ok=True)
        self._count += 1
        out_path = self.workdir / f"proc{self._count}.out" if capture else None
        err_path = self.workdir / f"proc{self._count}.err" if capture else None
        with open(out_path or os.devnull, "wb") as out, open(err_path or os.devnull, "wb") as err:
            popen = subprocess.Popen(argv, env=self.env, stdin=subprocess.DEVNULL, stdout=out,
                                     stderr=err)
        proc = WineProcess(popen, argv, out_path, err_path)
        self._processes.append(proc)
        return proc

    def run(self, program, *args, timeout=20):
        """Starts `program`, waits at most `timeout` s; returns (exit code, stdout)."""
        proc = self.start(program, *args)
        code = proc.wait(timeout)
        return code, proc.stdout

    def run_helper(self, name, *args, timeout=20):
        return self.run(self.helper(name), *args, timeout=timeout)

    # ---- registry ----
    def reg_query(self, key, name=None):
        """The value `name` of `key` (None: the default value) as (type, text), or None when missing.

        DWORDs come back as "0x..." text, REG_EXPAND_SZ unexpanded, as `reg query` prints them.
        """
        args = ["wine", "reg", "query", key] + (["/v", name] if name is not None else ["/ve"])
        r = _run(args, self.env, check=False)
        if r.returncode != 0:
            return None
        for line in r.stdout.decode("latin-1").splitlines():
            parts = line.strip("\r\n").split("    ")
            if len(parts) >= 4 and parts[0] == "" and parts[2].startswith("REG_"):
                shown = "(Default)" if name is None else name
                if parts[1].lower() == shown.lower():
                    return parts[2], "    ".join(parts[3:])
            if len(parts) == 3 and parts[0] == "" and parts[2].startswith("REG_"):
                return parts[2], ""  # empty value
        return None

    def reg_add(self, key, name, value, kind="REG_SZ"):
        _run(["wine", "reg", "add", key, "/v", name, "/t", kind, "/d", str(value), "/f"], self.env)

    # ---- windows and keys ----
    def find_windows(self, title, visible=True):
        """X window ids whose name is exactly `title` (visible ones only unless visible=False)."""
        args = ["xdotool", "search"] + (["--onlyvisible"] if visible else []) + \
               ["--name", "^" + re.escape(title) + "$"]
        r = subprocess.run(args, env=self.display_env, capture_output=True, text=True)
        return [int(w) for w in r.stdout.split()]

    def wait_window(self, title, timeout=10, process=None):
        """Polls every 50 ms for a visible window named `title`; returns its X id.

        When `process` is given and ends first, fails at once instead of waiting out the bound.
        """
        def found():
            ids = self.find_windows(title)
            if ids:
                return ids[0]
            if process is not None and not process.running:
                raise WineError(f"process ended before a window {title!r} appeared")
            return None
        return poll(found, timeout, what=f"window {title!r}")

    def window_geometry(self, window):
        """(x, y, width, height) of an X window."""
        r = subprocess.run(["xdotool", "getwindowgeometry", "--shell", str(window)],
                           env=self.display_env, capture_output=True, text=True, check=True)
        v = dict(line.split("=", 1) for line in r.stdout.split())
        return int(v["X"]), int(v["Y"]), int(v["WIDTH"]), int(v["HEIGHT"])

    def send_keys(self, *keys):
        """Sends key names (xdotool syntax: "Return", "Escape", "y") to the focused window."""
        subprocess.run(["xdotool", "key", *keys], env=self.display_env, check=True)

    def screenshot(self):
        return capture_screen(self.display_env, self.workdir)

    # ---- end ----
    def shutdown(self):
        """Ends what this prefix still runs and its wineserver; the registry files are then written."""
        for proc in self._processes:
            proc.kill()
        _run(["wineserver", "-k"], self.env, check=False)
        # `wineserver -k` returns before the server is gone; its exit flushes the registry.
        _run(["wineserver", "-w"], self.env, check=False, timeout=30)


class PrefixFactory:
    """Hands out fresh prefixes cloned from one template."""

    def __init__(self, template, display_env, bin_dir, artifacts, scratch):
        self.template = Path(template)
        self.display_env = display_env
        self.bin_dir = bin_dir
        self.artifacts = artifacts
        self.scratch = Path(scratch)
        self._count = 0

    def new(self, name="prefix"):
        self._count += 1
        safe = re.sub(r"[^A-Za-z0-9_.-]+", "_", name)[:60]
        root = self.scratch / f"{self._count:03d}-{safe}"
        clone_prefix(self.template, root)
        work = root.parent / (root.name + "-work")
        return Prefix(root, self.display_env, self.bin_dir, self.artifacts, work)

    def discard(self, prefix):
        prefix.shutdown()
        shutil.rmtree(prefix.root, ignore_errors=True)
        shutil.rmtree(prefix.workdir, ignore_errors=True)


class InstallerBuilder:
    """Builds installers with lqpack from small payload files written under `workdir`.

    Call it with keyword arguments:
      title         the saver's title (text)
      saver, data, uninstaller   file contents (bytes); data and uninstaller may be None (left out)
      license       license text (bytes or str) or None
      directx       the DirectX flag
      first_number  the base number of media file names, or None for the tool's default
      media         a list of Media entries
      stored        pass --stored
      name          the installer's file name
    Returns the path of the built installer. lqpack's failures raise WineError with its message.
    """

    def __init__(self, workdir, stub, lqpack):
        self.workdir = Path(workdir)
        self.stub = Path(stub)
        self.lqpack = Path(lqpack)
        self._count = 0

    def _write(self, name, content):
        self._count += 1
        d = self.workdir / f"payload{self._count}"
        d.mkdir(parents=True, exist_ok=True)
        p = d / name
        p.write_bytes(content.encode("latin-1") if isinstance(content, str) else content)
        return p

    def _output(self, name):
        self._count += 1
        d = self.workdir / f"installer{self._count}"
        d.mkdir(parents=True, exist_ok=True)
        return d / name

    def __call__(self, title="Aurora Drift", saver=b"MZ saver", data=b"data", uninstaller=None,
                 license=None, directx=False, first_number=None, media=(), stored=False,
                 name="setup.exe"):
        for path, what in ((self.stub, "installer stub"), (self.lqpack, "authoring tool")):
            if not path.is_file():
                raise WineError(f"{what} {path} is missing: build the project first (make)")
        out = self._output(name)
        args = [str(self.lqpack), "build", "-q", "--stub", str(self.stub), "-o", str(out),
                "--title", title, "--saver", str(self._write("saver.scr", saver))]
        if data is not None:
            args += ["--data", str(self._write("saver.dat", data))]
        if uninstaller is not None:
            args += ["--uninstaller", str(self._write("uninstal.exe", uninstaller))]
        if license is not None:
            args += ["--license", str(self._write("license.txt", license))]
        if directx:
            args.append("--directx")
        if first_number is not None:
            args += ["--first-number", str(first_number)]
        for m in media:
            args += ["--media", m.option(self._write(m.name, m.content))]
        if stored:
            args.append("--stored")
        r = subprocess.run(args, capture_output=True, text=True)
        if r.returncode != 0:
            raise WineError(f"lqpack build exited {r.returncode}: {r.stderr.strip()}")
        return out

    def listing(self, installer):
        """`lqpack list --json` of an installer, parsed."""
        r = subprocess.run([str(self.lqpack), "list", str(installer), "--json"],
                           capture_output=True, text=True)
        if r.returncode != 0:
            raise WineError(f"lqpack list exited {r.returncode}: {r.stderr.strip()}")
        return json.loads(r.stdout)


class Media:
    """One media file of a package: its source file name, contents, Kind and NameSuffix."""

    def __init__(self, name, content, kind=None, suffix=None):
        self.name, self.content, self.kind, self.suffix = name, content, kind, suffix

    def option(self, path):
        text = str(path)
        if self.kind is not None:
            text += f",kind={self.kind}"
        if self.suffix is not None:
            text += f",suffix={self.suffix}"
        return text


def stop_wine_everywhere_under(scratch):
    """Ends wineservers of prefixes below `scratch` that a crashed test left behind."""
    for p in Path(scratch).glob("*"):
        if (p / "system.reg").exists():
            env = _wine_env(os.environ, p)
            subprocess.run(["wineserver", "-k"], env=env, capture_output=True)


__all__ = [
    "CONVERT", "Display", "InstallerBuilder", "Media", "Prefix", "PrefixFactory", "Screenshot", "WineError", "WineProcess",
    "build_template", "capture_screen", "clone_prefix", "poll", "template_changes",
    "write_aliased_fontconfig",
]
