#!/usr/bin/env python3
"""Runs one scenario directory under Wine and writes the same output layout as
pellsweep-sim: console.txt, exit.txt, tree.txt, pending.txt and logs/.

Each run works on its own copy of a base prefix, so scenarios never see each
other's files or registry, and the copy's wineserver is always ended at the end.

    wine_runner.py --base PREFIX --exe Pellsweep64.exe --locker locker.exe SCENARIO OUT
"""

import argparse
import os
import shutil
import signal
import stat
import subprocess
import sys
import time

WINE = os.environ.get("PELLSWEEP_WINE", "/usr/lib/wine/wine64")
WINESERVER = os.environ.get("PELLSWEEP_WINESERVER", "/usr/lib/wine/wineserver")

SESSION_MANAGER = r"HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Session Manager"
PENDING_VALUE = "PendingFileRenameOperations"

# Generous bounds so that a hung run (a message box nobody closes, a locker that
# never starts) fails the test with a message instead of blocking CTest.
STEP_TIMEOUT = 120
READY_TIMEOUT = 60
# Seconds the prefix's wineserver outlives its last program.
SERVER_LINGER = 20


class ScenarioError(Exception):
    pass


# ---------------------------------------------------------------- scenario files


def parse_files(path):
    """files.txt: entries (kind, attrs, dos path), the watched roots and the
    Windows directory the scenario names (None when it names none)."""
    entries, watches, windir = [], [], None
    if not os.path.exists(path):
        return entries, watches, windir
    with open(path, encoding="ascii") as handle:
        for number, raw in enumerate(handle, 1):
            line = raw.rstrip("\r\n")
            if not line.strip() or line.lstrip().startswith("#"):
                continue
            kind, _, rest = line.partition(" ")
            if kind == "watch":
                watches.append(rest.strip())
                continue
            if kind == "windir":
                windir = rest.strip()
                continue
            attrs, _, dos = rest.partition(" ")
            dos = dos.strip()
            if kind not in ("dir", "file", "locked") or not dos:
                raise ScenarioError(f"{path}:{number}: cannot read entry: {line!r}")
            if attrs != "-" and (not attrs or set(attrs) - set("RHSA")):
                raise ScenarioError(f"{path}:{number}: attributes must be '-' or letters of RHSA: {line!r}")
            entries.append((kind, "" if attrs == "-" else attrs, dos))
    return entries, watches, windir


def parse_args_file(path):
    if not os.path.exists(path):
        return []
    with open(path, encoding="ascii") as handle:
        return [line.rstrip("\r\n") for line in handle if line.rstrip("\r\n") != ""]


def log_paths(args):
    """The DOS paths named by -l, the way the program reads its arguments."""
    paths = []
    i = 0
    while i < len(args):
        if args[i] == "-l" and i + 1 < len(args):
            paths.append(args[i + 1])
            i += 1
        i += 1
    return paths


def registry_entries(reg_path):
    """(key, value name) for each value that registry.reg sets; (key, None) for
    a key it creates without values. Deletions are left out."""
    entries = []
    key = None
    with open(reg_path, encoding="ascii") as handle:
        for line in handle:
            line = line.strip()
            if line.startswith("["):
                key = line[1:-1] if line.endswith("]") and not line.startswith("[-") else None
                if key:
                    entries.append((key, None))
            elif key and line.startswith('"') and '"=' in line and not line.endswith('"=-'):
                name = line[1:line.index('"=')].replace('\\\\', '\\').replace('\\"', '"')
                if entries[-1] == (key, None):
                    entries.pop()
                entries.append((key, name))
            elif key and line.startswith("@=") and line != "@=-":
                if entries[-1] == (key, None):
                    entries.pop()
                entries.append((key, ""))
    return entries


# ---------------------------------------------------------------- DOS paths in a prefix


def split_dos(dos):
    """'C:\\a\\b' -> ['a', 'b']; only drive C: lives in drive_c."""
    if len(dos) < 2 or dos[1] != ":" or dos[0].upper() != "C":
        raise ScenarioError(f"only paths on drive C: are supported: {dos!r}")
    return [part for part in dos[2:].replace("/", "\\").split("\\") if part]


def resolve(drive_c, dos, create_dirs=False):
    """Unix path of a DOS path, matching existing names case-insensitively the
    way Wine looks them up (C:\\WINDOWS is the prefix's 'windows' directory).
    Returns (unix path, list of on-disk names)."""
    current = drive_c
    names = []
    parts = split_dos(dos)
    for index, part in enumerate(parts):
        match = None
        if os.path.isdir(current):
            if os.path.lexists(os.path.join(current, part)):
                match = part
            else:
                for name in os.listdir(current):
                    if name.upper() == part.upper():
                        match = name
                        break
        name = match or part
        current = os.path.join(current, name)
        names.append(name)
        if create_dirs and index < len(parts) - 1 and not os.path.isdir(current):
            os.mkdir(current)
    return current, names


def dos_of(names):
    return "C:\\" + "\\".join(names) if names else "C:\\"


def unix_to_z(path):
    """A unix path as Wine sees it through drive Z:."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


# ---------------------------------------------------------------- Wine


class Prefix:
    def __init__(self, base, path):
        self.path = path
        self.drive_c = os.path.join(path, "drive_c")
        self.base = base
        self.env = dict(os.environ)
        self.env.update(
            WINEPREFIX=path,
            WINEDEBUG="-all",
            WINEDLLOVERRIDES="mscoree,mshtml=",
        )
        # No display: nothing may open a window, and a stray one must not find an X server.
        self.env.pop("DISPLAY", None)
        self.env.pop("WAYLAND_DISPLAY", None)
        self.background = []
        self.release_files = []

    def boot(self):
        if os.path.exists(self.path):
            shutil.rmtree(self.path)
        subprocess.run(["cp", "-a", self.base, self.path], check=True)
        # The server is started here, and its helper processes with the first
        # program, so that none of them inherits the pipes of a later call: a
        # reader of a program's output would otherwise wait for them to exit.
        # If this script is killed before shutdown(), the server still ends by
        # itself a while after its last program.
        subprocess.run([WINESERVER, f"-p{SERVER_LINGER}"], env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True, timeout=60)
        subprocess.run([WINE, "cmd", "/c", "exit"], env=self.env, cwd=self.drive_c, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True, timeout=STEP_TIMEOUT)

    def wine(self, args, cwd=None, check=True, what=None):
        result = subprocess.run(
            [WINE] + args,
            env=self.env,
            cwd=cwd or self.drive_c,
            stdin=subprocess.DEVNULL,
            capture_output=True,
            timeout=STEP_TIMEOUT,
        )
        if check and result.returncode != 0:
            raise ScenarioError(
                f"{what or ' '.join(args)} failed with exit {result.returncode}\n"
                f"stdout:\n{result.stdout.decode('latin-1')}\nstderr:\n{result.stderr.decode('latin-1')}"
            )
        return result

    def start(self, args, log_path):
        log = open(log_path, "wb")
        process = subprocess.Popen(
            [WINE] + args, env=self.env, cwd=self.drive_c, stdin=subprocess.DEVNULL, stdout=log, stderr=log
        )
        self.background.append((process, log))
        return process

    def shutdown(self):
        # Let the lockers close their files and exit, then end everything else.
        for release in self.release_files:
            open(release, "w").close()
        for process, _ in self.background:
            try:
                process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                pass
        if os.path.exists(self.path):
            subprocess.run([WINESERVER, "-k"], env=self.env, stdin=subprocess.DEVNULL, capture_output=True,
                           timeout=60)
        for process, log in self.background:
            try:
                process.wait(timeout=30)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
            log.close()
        self.background = []


def run_batch(prefix, work, name, lines):
    """Runs cmd lines from one batch file: one Wine start instead of one per line."""
    batch = os.path.join(work, name)
    with open(batch, "w", newline="\r\n") as handle:
        handle.write("@echo off\n")
        for line in lines:
            handle.write(line + "\n")
    return prefix.wine(["cmd", "/c", unix_to_z(batch)], what=name)


def import_registry(prefix, work, reg_path):
    # A version 5.00 file is UTF-16 on Windows, and its hex(2) and hex(7) data
    # are UTF-16 bytes. Wine's regedit reads those as ANSI bytes when the file
    # is ANSI, so the ASCII scenario file is handed to it as UTF-16.
    with open(reg_path, encoding="ascii") as handle:
        text = handle.read().replace("\r\n", "\n").replace("\n", "\r\n")
    unicode_path = os.path.join(work, "registry-utf16.reg")
    with open(unicode_path, "wb") as handle:
        handle.write(b"\xff\xfe" + text.encode("utf-16-le"))
    prefix.wine(["regedit", "/s", unix_to_z(unicode_path)], what="regedit /s registry.reg")
    # regedit /s reports nothing, so check that every key it should create is there.
    # (Called directly: Wine's reg misreads a quoted key handed on by cmd.)
    missing = []
    for key, name in registry_entries(reg_path):
        query = ["reg", "query", key] + ([] if name is None else ["/ve"] if name == "" else ["/v", name])
        if prefix.wine(query, check=False).returncode != 0:
            missing.append(key if name is None else f"{key} value {name or '(default)'}")
    if missing:
        raise ScenarioError("registry.reg was not imported, these are missing:\n" + "\n".join(missing))


def check_windows_directory(prefix, windir):
    # The prefix's Windows directory is fixed; a scenario naming another one
    # (or the same with other case, which the program would print) cannot run here.
    shown = prefix.wine(["cmd", "/c", "echo %windir%"], what="echo %windir%").stdout.decode("latin-1").strip()
    if shown != windir:
        raise ScenarioError(f"the scenario's Windows directory is {windir}, Wine's is {shown}")


def seed_files(prefix, work, entries):
    attrib_lines = []
    verify = []
    for kind, attrs, dos in entries:
        if kind == "dir" and attrs:
            # Wine keeps no read-only or archive state on directories: a
            # scenario that needs one cannot be reproduced here.
            raise ScenarioError(f"directory attributes cannot be reproduced under Wine: {dos}")
        unix, _ = resolve(prefix.drive_c, dos, create_dirs=True)
        if kind == "dir":
            os.makedirs(unix, exist_ok=True)
        else:
            with open(unix, "w") as handle:
                handle.write(f"seeded by the test for {dos}\r\n")
        # Wine stores R as the unix write bits and H/S as an extended attribute,
        # but reports every plain file as archive: A cannot be cleared there.
        # cmd's attrib takes one change per call under Wine.
        for letter in attrs:
            if letter != "A":
                attrib_lines.append(f'attrib +{letter} "{dos}"')
        if kind != "dir" and set(attrs) - set("A"):
            verify.append((dos, set(attrs) - set("A")))
    if attrib_lines:
        run_batch(prefix, work, "attributes.bat", attrib_lines)
        output = run_batch(prefix, work, "check-attributes.bat", [f'attrib "{dos}"' for dos, _ in verify])
        shown = output.stdout.decode("latin-1").splitlines()
        for dos, wanted in verify:
            # attrib prints the flags, then the path: "A    HR     C:\\dir\\file".
            line = next((line for line in shown if line.upper().endswith(dos.upper())), None)
            flags = set(line[: len(line) - len(dos)].upper()) & set("RHS") if line else None
            if flags != wanted:
                raise ScenarioError(f"attributes of {dos} after seeding: {line!r}, wanted {''.join(sorted(wanted))}")


def lock_files(prefix, work, locker, entries):
    for index, (kind, _, dos) in enumerate(entries):
        if kind != "locked":
            continue
        ready = os.path.join(work, f"locked-{index}.ready")
        release = os.path.join(work, f"locked-{index}.release")
        prefix.release_files.append(release)
        process = prefix.start([locker, dos, unix_to_z(ready), unix_to_z(release)],
                               os.path.join(work, f"locker-{index}.out"))
        deadline = time.monotonic() + READY_TIMEOUT
        while not os.path.exists(ready):
            if process.poll() is not None:
                with open(os.path.join(work, f"locker-{index}.out"), "rb") as handle:
                    raise ScenarioError(f"locker.exe for {dos} exited with {process.returncode}:\n"
                                        + handle.read().decode("latin-1"))
            if time.monotonic() > deadline:
                raise ScenarioError(f"locker.exe did not lock {dos} within {READY_TIMEOUT} s")
            time.sleep(0.05)


# ---------------------------------------------------------------- outputs


def build_tree(drive_c, watches):
    lines = set()
    for root in watches:
        unix, names = resolve(drive_c, root)
        if not os.path.lexists(unix):
            continue
        stack = [(unix, names)]
        while stack:
            path, parts = stack.pop()
            mode = os.lstat(path).st_mode
            if stat.S_ISDIR(mode):
                lines.add("dir " + dos_of(parts))
                for name in os.listdir(path):
                    stack.append((os.path.join(path, name), parts + [name]))
            else:
                lines.add("file " + dos_of(parts))
    ordered = sorted(lines, key=lambda line: line.split(" ", 1)[1].upper().encode("latin-1"))
    return "".join(line + "\n" for line in ordered)


def read_reg_export(path):
    """Text of a regedit export (UTF-16LE with BOM under Wine; plain text elsewhere)."""
    with open(path, "rb") as handle:
        data = handle.read()
    if data.startswith(b"\xff\xfe"):
        return data[2:].decode("utf-16-le")
    return data.decode("latin-1")


def pending_entries(export_text, key=SESSION_MANAGER, value=PENDING_VALUE):
    """Entries of a REG_MULTI_SZ value in a regedit export, or None when absent."""
    lines = export_text.replace("\r\n", "\n").split("\n")
    in_key = False
    wanted = f'"{value}"='
    for index, line in enumerate(lines):
        if line.startswith("["):
            in_key = line.strip() == f"[{key}]"
            continue
        if not in_key or not line.startswith(wanted):
            continue
        data = line[len(wanted):]
        while data.endswith("\\"):
            index += 1
            data = data[:-1] + lines[index].strip()
        if not data.startswith("hex(7):"):
            raise ScenarioError(f"{value} is not REG_MULTI_SZ in the export: {data[:40]}")
        hexes = [item for item in data[len("hex(7):"):].split(",") if item]
        text = bytes(int(item, 16) for item in hexes).decode("utf-16-le")
        # Each entry ends in a NUL and the list in one more; entries may be empty.
        if text.endswith("\0"):
            text = text[:-1]
        entries = text.split("\0")
        if entries and entries[-1] == "":
            entries.pop()
        return entries
    return None


def export_pending(prefix, work):
    export = os.path.join(work, "session-manager.reg")
    prefix.wine(["regedit", "/e", unix_to_z(export), SESSION_MANAGER], what="regedit /e Session Manager")
    if not os.path.exists(export):
        raise ScenarioError("regedit /e wrote no export of the Session Manager key")
    entries = pending_entries(read_reg_export(export))
    return "".join(entry + "\n" for entry in entries or [])


# ---------------------------------------------------------------- the run


def run_scenario(base, exe, locker, scenario, out, keep_prefix=False):
    entries, watches, windir = parse_files(os.path.join(scenario, "files.txt"))
    args = parse_args_file(os.path.join(scenario, "args.txt"))

    if os.path.exists(out):
        shutil.rmtree(out)
    os.makedirs(out)
    work = os.path.abspath(out) + ".work"
    if os.path.exists(work):
        shutil.rmtree(work)
    os.makedirs(work)

    prefix = Prefix(base, os.path.join(work, "prefix"))
    try:
        prefix.boot()
        if windir is not None:
            check_windows_directory(prefix, windir)
        reg = os.path.join(scenario, "registry.reg")
        if os.path.exists(reg):
            import_registry(prefix, work, reg)
        seed_files(prefix, work, entries)
        lock_files(prefix, work, locker, entries)

        # The program starts in C:\ so that a relative log path lands there.
        run = subprocess.run(
            [WINE, os.path.abspath(exe)] + args,
            env=prefix.env,
            cwd=prefix.drive_c,
            stdin=subprocess.DEVNULL,
            capture_output=True,
            timeout=STEP_TIMEOUT,
        )
        with open(os.path.join(out, "console.txt"), "wb") as handle:
            handle.write(run.stdout)
        with open(os.path.join(out, "stderr.txt"), "wb") as handle:
            handle.write(run.stderr)
        with open(os.path.join(out, "exit.txt"), "w", newline="\n") as handle:
            handle.write(f"{run.returncode}\n")

        with open(os.path.join(out, "tree.txt"), "w", newline="\n") as handle:
            handle.write(build_tree(prefix.drive_c, watches))
        with open(os.path.join(out, "pending.txt"), "w", newline="\n") as handle:
            handle.write(export_pending(prefix, work))

        for dos in log_paths(args):
            if not (len(dos) > 1 and dos[1] == ":"):
                dos = "C:\\" + dos  # relative to the current directory, C:\
            unix, _ = resolve(prefix.drive_c, dos)
            if os.path.isfile(unix):
                os.makedirs(os.path.join(out, "logs"), exist_ok=True)
                shutil.copyfile(unix, os.path.join(out, "logs", split_dos(dos)[-1]))
    finally:
        prefix.shutdown()
        if not keep_prefix:
            shutil.rmtree(work, ignore_errors=True)


def end_on_signals():
    """Turns a termination (a CTest timeout, Ctrl-C) into an exception, so that
    the finally blocks still end the prefix's Wine processes."""
    def stop(number, _frame):
        raise SystemExit(f"stopped by signal {number}")
    for number in (signal.SIGTERM, signal.SIGHUP, signal.SIGINT):
        signal.signal(number, stop)


def main():
    end_on_signals()
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--base", required=True, help="base Wine prefix, copied for the run")
    parser.add_argument("--exe", required=True, help="Pellsweep64.exe")
    parser.add_argument("--locker", required=True, help="locker.exe")
    parser.add_argument("--keep-prefix", action="store_true", help="keep OUT.work/ with the prefix for a look")
    parser.add_argument("scenario")
    parser.add_argument("out")
    options = parser.parse_args()
    try:
        run_scenario(options.base, options.exe, options.locker, options.scenario, options.out, options.keep_prefix)
    except (ScenarioError, subprocess.TimeoutExpired, subprocess.CalledProcessError) as error:
        print(f"wine_runner: {options.scenario}: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
