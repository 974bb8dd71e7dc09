#!/usr/bin/env python3
"""Soak test of the real FullUninstallCheck.exe under Wine.

Many runs, each with a randomly drawn state (fixed seed): uninstall entries
and activity values of every shape, the data folder and the account file
present, absent or odd, links inside the data folder, and a user who answers
Yes or No, closes the box or presses Escape. Before and after each run every
file of drive C:, of the scratch drive the program starts in, of the sandbox's
home folder and of a folder outside every drive is listed with size and
content hash. A run may only have removed entries of the data folder and the
account file, and only when it had to ask and was answered Yes; nothing else
may be added, changed or removed, the exit code must be 0 and no window but
the prompt may show.

The registry is written and the program run by soak_runner.exe (one Wine
process for all runs); the disk is set up and checked from the Linux side.

    soak.py BUILD/sandbox [--runs N] [--seed S] BUILD/bin/soak_runner.exe

(the order of fullcheck_run_through: CTest runs soak_runner through it).

FULLCHECK_SOAK_RUNS and FULLCHECK_SOAK_SEED in the environment override
--runs and --seed. Needs DISPLAY (a virtual one will do).
"""

import argparse
import json
import os
import random
import select
import shutil
import stat
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.realpath(__file__))
sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.join(HERE, "..", "..", "scripts", "lib"))
import sandbox  # noqa: E402  (the sandbox library's Python side)

ACCOUNT_NAME = "Meine Konten.mqd"
CANARY_TEXT = b"throw-away canary\n"
GESTURES = [("yes", 50), ("no", 15), ("close", 12), ("cancel", 12), ("escape", 11)]
ACCEPT_TAIL = " askfulluninstallation"
WRONG_TAILS = [" AskFullUninstallation", " askfulluninstallation x", "", " askfulluninstallationX"]

REG_NONE, REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD, REG_MULTI_SZ = 0, 1, 2, 3, 4, 7

# Names a user's data folder may hold; some beyond ASCII and beyond the
# Basic Multilingual Plane.
DATA_NAMES = ["Konto.db", "Einstellungen.xml", "\u00dcberweisungen 2026.csv", "Gr\u00fc\u00dfe an Anna.txt",
              "Sparschwein \U0001F4B6", "\u65e5\u672c\u8a9e.txt", "Backups", "2023", "M\u00e4rz", "alt.mqb",
              ".versteckt", "leer", "a b c", "Kopie (2) von Konto.db", "x" * 120]
# Unix names Windows cannot spell; Wine shows them under made-up short names.
ODD_NAMES = ["stern*", "frage?", "doppel:punkt", 'an"f\u00fchrung', "klein<gro\u00df>", "pipe|x",
             "ende.", "ende ", "..\\Geschwister.txt", "..\\..\\..\\Documents\\Brief.txt", "back\\slash"]


def utf16(text, terminated=True):
    return (text + ("\0" if terminated else "")).encode("utf-16-le", "surrogatepass")


class Sandbox:
    """The sandbox's folders, seen from Linux, and their Windows names."""

    def __init__(self, path):
        self.prefix = sandbox.Sandbox(path, require_test_sandbox="soak")
        self.root = self.prefix.root
        self.drive_c = self.prefix.drive_c
        self.scratch = self.prefix.scratch
        self.home = self.prefix.home
        self.offdrive = os.path.join(self.root, "soak-offdrive")
        self.profile = self.prefix.profile
        self.roaming = self.prefix.roaming
        self.documents = self.prefix.documents
        self.corvanta = os.path.join(self.roaming, "Corvanta")
        self.data = os.path.join(self.corvanta, "CorvantaMarbelQuint")
        self.account = os.path.join(self.documents, ACCOUNT_NAME)
        self.area = os.path.join(self.drive_c, "soak")  # throw-away files on C:
        self.uninstaller = os.path.join(self.area, "Programme", "unins000.exe")
        # 130 units as a Windows path: read whole when stored without terminator.
        long_name = "u" * (130 - len("C:\\soak\\Programme\\") - 4) + ".exe"
        self.long_uninstaller = os.path.join(self.area, "Programme", long_name)
        self.roots = {"C:": self.drive_c, "T:": self.scratch, "home:": self.home, "offdrive:": self.offdrive}

    def windows(self, path):
        """The Windows name of a path on drive C:."""
        return "C:\\" + os.path.relpath(path, self.drive_c).replace("/", "\\")

    def key(self, path):
        """The snapshot key of a path."""
        for label, root in self.roots.items():
            if path == root or path.startswith(root + "/"):
                return label + "/" + os.path.relpath(path, root) if path != root else label
        raise ValueError(path)

    def resolve(self, text):
        """Linux path that a Windows path names (case-insensitive, as Wine
        looks it up), or None when it names nothing."""
        if any(c in text for c in '<>"|?*') or any(ord(c) < 0x20 for c in text):
            return None
        text = text.replace("/", "\\")
        if len(text) >= 3 and text[1] == ":" and text[2] == "\\":
            root = {"c": self.drive_c, "t": self.scratch}.get(text[0].lower())
            if root is None:
                return None
            parts = text[3:].split("\\")
        elif text[:1] == "\\" or ":" in text:
            return None
        else:
            root, parts = self.scratch, text.split("\\")
        # Windows drops the blanks and dots that end a path's last name.
        parts[-1] = parts[-1].rstrip(" .") or parts[-1]
        path = root
        for part in parts:
            if part in ("", "."):
                continue
            if part == ".." or part.endswith((" ", ".")):
                return None  # not generated; the lookup rules differ there
            try:
                names = os.listdir(path)
            except OSError:
                return None
            match = part if part in names else next((n for n in names if n.lower() == part.lower()), None)
            if match is None:
                return None
            path = os.path.join(path, match)
        return path

    def openable(self, text):
        """True when the open probe of text would succeed: a readable file."""
        try:
            path = self.resolve(text)
        except (UnicodeError, ValueError):
            return False
        if path is None:
            return False
        try:
            return stat.S_ISREG(os.stat(path).st_mode)
        except OSError:
            return False


# ---- Registry shapes ---------------------------------------------------------

def stored_text(data):
    """The text the program reads from an uninstall entry stored as data,
    whatever its length: the units up to the first zero."""
    if data is None:
        return ""
    if len(data) % 2:
        data = data + b"\0"
    units = [data[i] | (data[i + 1] << 8) for i in range(0, len(data), 2)]
    if 0 in units:
        units = units[:units.index(0)]
    return b"".join(u.to_bytes(2, "little") for u in units).decode("utf-16-le", "surrogatepass")


def row_shapes(box):
    """(name, view, type, data) for an "UninstallString"; data None: key only."""
    path = box.windows(box.uninstaller)
    long_path = box.windows(box.long_uninstaller)
    return [
        ("path", 32, REG_SZ, utf16(path)),
        ("path unterminated", 32, REG_SZ, utf16(path, False)),
        ("path upper case", 32, REG_SZ, utf16(path.upper())),
        ("path forward slashes", 32, REG_SZ, utf16(path.replace("\\", "/"))),
        ("path as REG_EXPAND_SZ", 32, REG_EXPAND_SZ, utf16(path)),
        ("path as REG_MULTI_SZ", 32, REG_MULTI_SZ, utf16(path) + utf16("")),
        ("path as REG_BINARY", 32, REG_BINARY, utf16(path)),
        ("path as REG_NONE odd bytes", 32, REG_NONE, utf16(path, False) + b"\x00"),
        ("path in the 64-bit view", 64, REG_SZ, utf16(path)),
        ("130 units unterminated", 32, REG_SZ, utf16(long_path, False)),
        ("130 units terminated", 32, REG_SZ, utf16(long_path)),
        ("path and 200 blanks", 32, REG_SZ, utf16(path + " " * 200)),
        ("quoted path", 32, REG_SZ, utf16('"' + path + '"')),
        ("path with argument", 32, REG_SZ, utf16(path + " /SILENT")),
        ("installer service", 32, REG_SZ, utf16("MsiExec.exe /X{6F1C2A90-3B7E-4D15-8A26-C0E9B4D7F312}")),
        ("missing file", 32, REG_SZ, utf16(box.windows(os.path.join(box.area, "Programme", "fehlt.exe")))),
        ("folder", 32, REG_SZ, utf16(box.windows(os.path.join(box.area, "Programme")))),
        ("U+0130 for e", 32, REG_SZ, utf16(path[:-1] + "\u0130")),
        ("relative existing", 32, REG_SZ, utf16("canary.txt")),
        ("relative missing", 32, REG_SZ, utf16("unins000.exe")),
        ("environment variable", 32, REG_EXPAND_SZ, utf16("%SystemDrive%\\soak\\Programme\\unins000.exe")),
        ("empty text", 32, REG_SZ, utf16("")),
        ("no bytes", 32, REG_SZ, b""),
        ("key without value", 32, REG_SZ, None),
    ]


def activity_shapes():
    """(name, type, data) for an activity value."""
    return [
        ("text 0", REG_SZ, utf16("0")),
        ("text 1", REG_SZ, utf16("1")),
        ("empty text", REG_SZ, utf16("")),
        ("no bytes", REG_SZ, b""),
        ("text 00", REG_SZ, utf16("00")),
        ("text 0 blank", REG_SZ, utf16("0 ")),
        ("blank then 0", REG_SZ, utf16(" 0")),
        ("U+0130", REG_SZ, utf16("\u0130")),
        ("U+3030", REG_SZ, utf16("\u3030")),
        ("U+0131", REG_SZ, utf16("\u0131")),
        ("unpaired surrogate", REG_SZ, utf16("\udc30")),
        ("DWORD 0", REG_DWORD, (0).to_bytes(4, "little")),
        ("DWORD 1", REG_DWORD, (1).to_bytes(4, "little")),
        ("DWORD 0x30", REG_DWORD, (0x30).to_bytes(4, "little")),
        ("one byte 0x30", REG_BINARY, b"\x30"),
        ("one byte 0x31", REG_BINARY, b"\x31"),
        ("REG_MULTI_SZ 1", REG_MULTI_SZ, utf16("1") + utf16("")),
        ("REG_EXPAND_SZ 0", REG_EXPAND_SZ, utf16("0")),
        ("129 ones terminated", REG_SZ, utf16("1" * 129)),
        ("130 ones terminated", REG_SZ, utf16("1" * 130)),
        ("5000 bytes", REG_BINARY, b"\x31" * 5000),
    ]


def activity_flag(data):
    """The flag the program derives from a stored value (None: absent)."""
    if data is None or len(data) > 260 or len(data) == 0:
        return False
    return data[0] != 0x30


def random_value(rng):
    """Random bytes: UTF-16 junk with unpaired surrogates, or raw bytes."""
    count = rng.choice([rng.randrange(0, 9), rng.randrange(0, 261), rng.randrange(0, 1200)])
    if rng.random() < 0.5:
        return bytes(rng.randrange(256) for _ in range(count))
    units = [rng.choice([0xD800, 0xDC00, 0x0130, 0x30, rng.randrange(0x10000)]) for _ in range(count // 2)]
    return b"".join(u.to_bytes(2, "little") for u in units)


# ---- One run's state -----------------------------------------------------------

class State:
    def __init__(self):
        self.values = []          # (slot, view, type, data or None, what)
        self.uninstaller = False
        self.data = "none"        # none, tree, file, link
        self.links = []
        self.deep = False
        self.odd = False
        self.read_only = False
        self.twin = False
        self.account = "none"     # none, file, read-only, folder, link, dangling
        self.gesture = "yes"
        self.tail = ACCEPT_TAIL
        self.quiet = False        # nothing that holds the prompt back


def draw_state(rng, box):
    s = State()
    quiet = rng.random() < 0.55  # a registry that lets the prompt come
    s.uninstaller = rng.random() < 0.7
    rows = row_shapes(box)
    for slot in range(6):
        if rng.random() < 0.45:
            continue
        if rng.random() < 0.15:
            s.values.append((slot, 32, rng.choice([REG_SZ, REG_BINARY, REG_NONE, REG_DWORD]), random_value(rng),
                             "row %d random" % (slot + 1)))
            continue
        name, view, kind, data = rng.choice(rows)
        s.values.append((slot, view, kind, data, "row %d %s" % (slot + 1, name)))
    for slot in (6, 7):
        if rng.random() < 0.4:
            continue
        shapes = activity_shapes()
        if rng.random() < 0.1:
            name, kind, data = "random", rng.choice([REG_SZ, REG_BINARY]), random_value(rng)
        else:
            name, kind, data = rng.choice(shapes)
        s.values.append((slot, 32, kind, data, "%s %s" % ("replacement" if slot == 6 else "update", name)))
    s.quiet = quiet
    s.data = rng.choices(["none", "tree", "file", "link"], [15, 70, 5, 10])[0]
    if s.data == "tree":
        if rng.random() < 0.3:
            s.links = rng.sample(["folder on C", "file on C", "folder off-drive", "file off-drive",
                                  "file inside", "dangling", "parent", "documents"], rng.randint(1, 3))
        s.deep = rng.random() < 0.08
        s.odd = rng.random() < 0.12
        s.read_only = rng.random() < 0.08
        s.twin = rng.random() < 0.15
    s.account = rng.choices(["none", "file", "read-only", "folder", "link", "dangling"], [20, 55, 5, 7, 8, 5])[0]
    s.gesture = rng.choices([g for g, _ in GESTURES], [w for _, w in GESTURES])[0]
    if rng.random() < 0.05:
        s.tail = rng.choice(WRONG_TAILS)
    return s


def value_counts(box, value):
    """Whether a stored value makes the program hold back: an uninstall entry
    naming a file that opens now (the 32-bit view is the one read), or an
    activity value that reads as active."""
    slot, view, kind, data, _ = value
    if slot >= 6:
        return activity_flag(data)
    if view != 32 or data is None:
        return False
    text = stored_text(data)
    return bool(text) and box.openable(text)


def expected_prompt(box, s):
    if s.tail.split() != ["askfulluninstallation"]:
        return False
    return not any(value_counts(box, v) for v in s.values)


# ---- Disk ----------------------------------------------------------------------

def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def remove(path):
    """Removes path; a link as a link, never what it leads to."""
    if os.path.islink(path) or os.path.isfile(path):
        os.unlink(path)
    elif os.path.isdir(path):
        for dirpath, dirnames, filenames in os.walk(path):
            os.chmod(dirpath, 0o755)
            for name in filenames:
                if not os.path.islink(os.path.join(dirpath, name)):
                    os.chmod(os.path.join(dirpath, name), 0o644)
        shutil.rmtree(path)


NEIGHBOURS = ["AppData/Roaming/Corvanta/Geschwister.txt",
              "AppData/Roaming/Corvanta/CorvantaMarbelQuint.alt/behalten.txt",
              "AppData/Roaming/Corvanta/CorvantaMarbelQuint2/behalten.txt",
              "AppData/Roaming/Andere Firma/behalten.txt",
              "Documents/Meine Konten.mqd.bak",
              "Documents/Meine Konten/behalten.txt",
              "Documents/Brief.txt"]


def reset_disk(box):
    for path in (box.data, os.path.join(box.corvanta, "corvantamarbelquint"), box.account, box.area, box.offdrive):
        remove(path)
    for name in NEIGHBOURS:
        write(os.path.join(box.profile, name), b"neighbour\n")
    write(os.path.join(box.scratch, "canary.txt"), CANARY_TEXT)
    write(os.path.join(box.scratch, "canary-folder", "canary.txt"), CANARY_TEXT)
    # Link targets: throw-away files on C: and on no drive at all.
    for root in (os.path.join(box.area, "Ziel"), box.offdrive):
        write(os.path.join(root, "Datei.txt"), b"link target, must stay\n")
        write(os.path.join(root, "Ordner", "behalten.txt"), b"link target, must stay\n")
        write(os.path.join(root, "Ordner", "Unterordner", "behalten.txt"), b"link target, must stay\n")
    write(os.path.join(box.area, "EchteDaten", "Konto.db"), b"data behind a linked data folder\n")
    write(os.path.join(box.area, "Konten-Ziel.mqd"), b"account behind a link\n")
    os.makedirs(os.path.join(box.area, "Programme"), exist_ok=True)


def build_tree(rng, box, s):
    """The data folder's files and folders; returns the folders made."""
    folders = [box.data]
    os.makedirs(box.data)
    for _ in range(rng.randint(0, 14)):
        parent = rng.choice(folders)
        name = rng.choice(DATA_NAMES)
        path = os.path.join(parent, name)
        if os.path.lexists(path):
            continue
        if rng.random() < 0.3 and len(folders) < 8:
            os.makedirs(path)
            folders.append(path)
        else:
            write(path, os.urandom(rng.choice([0, 1, 17, 1000, 70000])))
    if s.deep:
        deep = box.data
        while len(box.windows(deep)) < 300:
            deep = os.path.join(deep, "Ebene %d mit einem langen Namen" % len(box.windows(deep)))
        write(os.path.join(deep, "ganz unten.txt"), b"deep\n")
    if s.odd:
        for name in rng.sample(ODD_NAMES, rng.randint(1, 3)):
            write(os.path.join(rng.choice(folders), name), b"odd name\n")
    if s.read_only:
        path = os.path.join(rng.choice(folders), "Schreibgesch\u00fctzt.txt")
        write(path, b"read-only\n")
        os.chmod(path, 0o444)
    return folders


def make_links(rng, box, s, folders):
    targets = {
        "folder on C": os.path.join(box.area, "Ziel", "Ordner"),
        "file on C": os.path.join(box.area, "Ziel", "Datei.txt"),
        "folder off-drive": os.path.join(box.offdrive, "Ordner"),
        "file off-drive": os.path.join(box.offdrive, "Datei.txt"),
        "dangling": os.path.join(box.area, "gibt es nicht"),
        "parent": "..",
        "documents": box.documents,
    }
    table = []
    for kind in s.links:
        folder = rng.choice(folders)
        link = os.path.join(folder, "Verkn\u00fcpfung %s" % kind)
        if kind == "file inside":
            write(os.path.join(folder, "Ziel innen.txt"), b"inside\n")
            table.append((link, "Ziel innen.txt"))
        else:
            table.append((link, targets[kind]))
    sandbox.make_links(table)


def build_disk(rng, box, s):
    reset_disk(box)
    if s.uninstaller:
        write(box.uninstaller, b"MZ stand-in\n")
        write(box.long_uninstaller, b"MZ stand-in\n")
    if s.data == "tree":
        folders = build_tree(rng, box, s)
        make_links(rng, box, s, folders)
        if s.twin:
            write(os.path.join(box.corvanta, "corvantamarbelquint", "Zwilling.txt"), b"case twin, must stay\n")
    elif s.data == "file":
        write(box.data, b"a file where the data folder belongs\n")
    elif s.data == "link":
        os.symlink(os.path.join(box.area, "EchteDaten"), box.data)
    if s.account == "file":
        write(box.account, b"Konten von Anna\n")
    elif s.account == "read-only":
        write(box.account, b"Konten von Anna\n")
        os.chmod(box.account, 0o444)
    elif s.account == "folder":
        write(os.path.join(box.account, "Konten.txt"), b"in a folder named like the account file\n")
    elif s.account == "link":
        os.symlink(os.path.join(box.area, "Konten-Ziel.mqd"), box.account)
    elif s.account == "dangling":
        os.symlink(os.path.join(box.area, "gibt es nicht.mqd"), box.account)


# ---- Snapshots -------------------------------------------------------------------

# ---- The Windows side -----------------------------------------------------------

class Runner:
    def __init__(self, box, runner):
        self.process = subprocess.Popen(box.prefix.command(runner), stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, bufsize=0)

    def ask(self, line, timeout=90):
        self.process.stdin.write((line + "\n").encode("utf-8"))
        self.process.stdin.flush()
        answer = b""
        deadline = time.monotonic() + timeout
        while not answer.endswith(b"\n"):
            left = deadline - time.monotonic()
            ready, _, _ = select.select([self.process.stdout], [], [], max(left, 0))
            if not ready:
                raise RuntimeError("soak_runner gave no answer to %r within %d s" % (line[:40], timeout))
            chunk = self.process.stdout.read1(4096) if hasattr(self.process.stdout, "read1") \
                else os.read(self.process.stdout.fileno(), 4096)
            if not chunk:
                raise RuntimeError("soak_runner ended")
            answer += chunk
        text = answer.decode("utf-8").strip()
        if text.startswith("error"):
            raise RuntimeError("soak_runner: %s (after %r)" % (text, line[:60]))
        return text

    def store(self, s):
        self.ask("clear")
        for slot, view, kind, data, _ in s.values:
            encoded = "-" if data is None else (data.hex() if data else ".")
            self.ask("value %d %d %d %s" % (slot, view, kind, encoded))

    def run(self, gesture, tail):
        return json.loads(self.ask("run %s%s" % (gesture, "" if tail == ACCEPT_TAIL else " =" + tail)))

    def close(self):
        try:
            self.ask("quit", timeout=30)
        except (RuntimeError, BrokenPipeError):
            pass
        try:
            self.process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            self.process.kill()


# ---- Judging one run ---------------------------------------------------------------

def region_of(box, before):
    """Keys a Yes may remove: inside a real data folder, or the data folder
    entry and the account entry themselves when they are a file or a link."""
    data_key = box.key(box.data)
    account_key = box.key(box.account)
    inside_prefix = data_key + "/" if before.get(data_key) == ("d",) else None
    whole = set()
    if data_key in before:
        whole.add(data_key)
    if before.get(account_key, ("d",))[0] in ("f", "l"):
        whole.add(account_key)

    def in_region(key):
        return key in whole or (inside_prefix is not None and key.startswith(inside_prefix))
    return in_region, inside_prefix


def judge(box, s, before, after, result, prompt_expected):
    problems, differences = [], []
    asked_yes = prompt_expected and result["prompted"] and s.gesture == "yes" and not result["boxStayed"]
    if not (result["started"] and result["exited"]):
        problems.append("did not end within the limits")
    if result["exitCode"] != 0:
        problems.append("exit code %d" % result["exitCode"])
    if result["otherWindows"]:
        problems.append("other windows: %s" % result["otherWindows"])
    if result["prompted"] != prompt_expected:
        problems.append("prompted %s, expected %s" % (result["prompted"], prompt_expected))

    in_region, inside_prefix = region_of(box, before)
    removed = sorted(set(before) - set(after))
    added = sorted(set(after) - set(before))
    changed = sorted(k for k in set(before) & set(after) if before[k] != after[k])
    for key in added:
        problems.append("added: %s" % key)
    for key in changed:
        problems.append("changed: %s" % key)
    for key in removed:
        if not in_region(key):
            problems.append("removed outside the data: %s" % key)
        elif not asked_yes:
            problems.append("removed without a Yes: %s" % key)
    deleted_files = sum(1 for k in removed if in_region(k) and before[k][0] != "d")

    if asked_yes:
        data_key, account_key = box.key(box.data), box.key(box.account)
        data_left = [k for k in after if k == data_key or k.startswith(data_key + "/")]
        data_before = [k for k in before if k == data_key or k.startswith(data_key + "/")]
        if s.data in ("file", "link"):
            if sorted(data_left) != sorted(data_before):
                differences.append("data folder touched although it is no plain folder")
        elif s.data == "tree":
            # Everything goes but the links, which lead elsewhere, and the
            # folders that hold them. Names that Windows cannot spell may stay
            # too (with their folders): no handle's name can be shown to match.
            def with_folders(keys):
                held = set()
                for key in keys:
                    while key != data_key:
                        held.add(key)
                        key = key.rsplit("/", 1)[0]
                    held.add(data_key)
                return held
            links = [k for k in data_before if before[k][0] == "l"]
            odd = [k for k in data_before if k.rsplit("/", 1)[-1] in ODD_NAMES]
            must_stay, may_stay = with_folders(links), with_folders(links + odd)
            left = set(data_left)
            if not must_stay <= left or not left <= may_stay:
                differences.append("data folder: %d entries left, %d to %d expected (the links, names Windows "
                                   "cannot spell, and what holds them)" % (len(left), len(must_stay), len(may_stay)))
        account_gone = account_key not in after
        if s.account == "file" and not account_gone:
            differences.append("account file stayed")
        if s.account not in ("file", "none") and account_gone:
            differences.append("account entry (%s) went" % s.account)
    return problems, differences, deleted_files, asked_yes


# ---- Main ---------------------------------------------------------------------------

def describe(s):
    parts = ["data %s" % s.data]
    parts += ["link %s" % k for k in s.links]
    parts += [name for name, on in (("deep", s.deep), ("odd names", s.odd), ("read-only file", s.read_only),
                                    ("case twin", s.twin)) if on]
    parts.append("account %s" % s.account)
    parts.append("uninstaller %s" % ("present" if s.uninstaller else "absent"))
    parts += [v[4] for v in s.values]
    if s.tail != ACCEPT_TAIL:
        parts.append("command tail %r" % s.tail)
    return ", ".join(parts)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("sandbox")
    parser.add_argument("--runs", type=int, default=30)
    parser.add_argument("--seed", type=int, default=20261208)
    parser.add_argument("--verbose", action="store_true")
    parser.add_argument("runner")
    args = parser.parse_args()
    runs = int(os.environ.get("FULLCHECK_SOAK_RUNS", args.runs))
    verbose = args.verbose or bool(os.environ.get("FULLCHECK_SOAK_VERBOSE"))
    seed = int(os.environ.get("FULLCHECK_SOAK_SEED", args.seed))
    if not os.environ.get("DISPLAY"):
        raise SystemExit("soak: no DISPLAY (run under xvfb-run, as scripts/test does)")

    box = Sandbox(args.sandbox)
    rng = random.Random(seed)
    snapshots = sandbox.Digests(box.roots)
    # What the neighbours bring that was not there, to be taken away at the end.
    made_here = []
    for name in NEIGHBOURS:
        path = os.path.join(box.profile, name)
        while path not in (box.roaming, box.documents) and not os.path.lexists(path):
            made_here.append(path)
            path = os.path.dirname(path)
    runner = Runner(box, os.path.realpath(args.runner))
    figures = dict(runs=0, prompts=0, expected_prompts=0, yes=0, deletion_runs=0, files_deleted=0,
                   files_checked=0, entries_checked=0, violations=0, violating_runs=0, differences=0,
                   box_stayed=0, wrong_tail=0)
    shapes = {}
    gestures = {g: 0 for g, _ in GESTURES}
    started = time.monotonic()
    try:
        for number in range(1, runs + 1):
            s = draw_state(rng, box)
            build_disk(rng, box, s)
            if s.quiet:
                # Drop what would hold the prompt back: most quiet runs ask.
                s.values = [v for v in s.values if not value_counts(box, v)]
            prompt_expected = expected_prompt(box, s)
            runner.store(s)
            before = snapshots.take()
            result = runner.run(s.gesture, s.tail)
            after = snapshots.take()
            problems, differences, deleted, asked_yes = judge(box, s, before, after, result, prompt_expected)

            figures["runs"] += 1
            figures["prompts"] += result["prompted"]
            figures["expected_prompts"] += prompt_expected
            figures["yes"] += asked_yes
            figures["deletion_runs"] += deleted > 0
            figures["files_deleted"] += deleted
            figures["files_checked"] += sum(1 for e in before.values() if e[0] != "d")
            figures["entries_checked"] += len(before)
            figures["violations"] += len(problems)
            figures["violating_runs"] += bool(problems)
            for shape in ["data " + s.data, "account " + s.account] + \
                    [name for name, on in (("links", s.links), ("deep path", s.deep), ("odd names", s.odd),
                                           ("read-only file", s.read_only), ("case twin", s.twin)) if on]:
                shapes[shape] = shapes.get(shape, 0) + 1
            figures["differences"] += len(differences)
            figures["box_stayed"] += result["boxStayed"]
            figures["wrong_tail"] += s.tail != ACCEPT_TAIL
            if result["prompted"]:
                gestures[s.gesture] += 1
            line = "run %d: %s, %s%s, %d files deleted, %d ms" % (
                number, "prompt" if result["prompted"] else "no prompt", s.gesture,
                " (box stayed)" if result["boxStayed"] else "", deleted, result["milliseconds"])
            if problems or differences or verbose:
                print(line + "\n  state: " + describe(s), flush=True)
            for problem in problems:
                print("  VIOLATION: " + problem, flush=True)
            for difference in differences:
                print("  DIFFERENCE: " + difference, flush=True)
    finally:
        runner.close()
        for path in (box.data, os.path.join(box.corvanta, "corvantamarbelquint"), box.account, box.area,
                     box.offdrive):
            remove(path)
        for path in sorted(set(made_here), key=len, reverse=True):
            if os.path.isdir(path) and not os.path.islink(path):
                try:
                    os.rmdir(path)  # only when empty
                except OSError:
                    pass
            elif os.path.lexists(path):
                os.unlink(path)
        write(os.path.join(box.scratch, "canary.txt"), CANARY_TEXT)
        write(os.path.join(box.scratch, "canary-folder", "canary.txt"), CANARY_TEXT)

    seconds = time.monotonic() - started
    print("soak: seed %d, %d runs in %.0f s" % (seed, figures["runs"], seconds))
    print("soak: %(prompts)d prompts (%(expected_prompts)d expected), %(yes)d answered Yes, "
          "%(deletion_runs)d runs deleted %(files_deleted)d files, %(box_stayed)d boxes stayed open "
          "after Close/Cancel/Escape, %(wrong_tail)d wrong command lines" % figures)
    print("soak: prompts left by gesture: %s" % ", ".join("%s %d" % kv for kv in gestures.items()))
    print("soak: runs by shape: %s" % ", ".join("%s %d" % kv for kv in sorted(shapes.items())))
    print("soak: %(files_checked)d files checked (%(entries_checked)d entries), %(violations)d violations "
          "in %(violating_runs)d runs, %(differences)d differences from the expected outcome" % figures)
    return 1 if figures["violations"] or figures["differences"] else 0


if __name__ == "__main__":
    sys.exit(main())
