"""The sandboxed prefix seen from a Python driver: the same folders,
environment, warm-up and checks as scripts/lib/sandbox.sh, which it asks, so
that the prefix is known in one place.

    box = sandbox.Sandbox(path)         # made on first use, like wine-sandbox
    box.profile, box.roaming, box.documents, box.drive_c, box.scratch, box.home
    box.env                             # the environment Wine programs need
    box.command(program, *args)         # the argv that runs a Windows program
    box.warm_up() / box.end_server()
    wait_until(seconds, condition)      # a bounded wait
    make_links([(link, target), ...])   # links from a table
    Digests(roots).take()               # what a test must not change
"""

import hashlib
import os
import stat
import subprocess
import time

LIBRARY = os.path.join(os.path.dirname(os.path.abspath(__file__)), "sandbox.sh")
WINE_RUN = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "wine-run")


class Sandbox:
    def __init__(self, path, require_test_sandbox=None):
        """require_test_sandbox: the driver's name, when it may only ever run
        in a build tree's test sandbox (it deletes or moves user folders)."""
        self.root = os.path.realpath(path)
        script = '. "$0" "$1" >&2 && printf "%s\\0" "$drive_c" "$profile" "$roaming" "$documents" && env -0'
        out = subprocess.run(["bash", "-c", script, LIBRARY, self.root], check=True,
                             stdout=subprocess.PIPE).stdout.decode("utf-8", "surrogateescape")
        fields = out.split("\0")
        self.drive_c, self.profile, self.roaming, self.documents = fields[:4]
        self.env = dict(f.split("=", 1) for f in fields[4:] if "=" in f)
        self.scratch = self.env["FULLCHECK_SCRATCH"]
        self.home = self.env["HOME"]
        if require_test_sandbox and os.path.basename(self.root) != "sandbox":
            raise SystemExit("%s: %s is no sandbox with a profile folder" % (require_test_sandbox, path))

    def command(self, program, *args):
        return [WINE_RUN, self.root, program, *args]

    def shell(self, commands):
        """Runs bash commands with the library loaded for this sandbox."""
        subprocess.run(["bash", "-c", '. "$0" "$1" && ' + commands, LIBRARY, self.root], check=True)

    def warm_up(self):
        self.shell("sandbox_warm_up")

    def end_server(self):
        self.shell("sandbox_end_server")


def wait_until(seconds, condition, step=0.1):
    """True as soon as condition() is, False when seconds pass first."""
    deadline = time.monotonic() + seconds
    while not condition():
        if time.monotonic() >= deadline:
            return False
        time.sleep(step)
    return True


def make_links(table):
    """Symbolic links from (link, target) rows; targets as written."""
    for link, target in table:
        os.makedirs(os.path.dirname(link), exist_ok=True)
        os.symlink(target, link)


class Digests:
    """Every entry under the roots ({label: folder}): kind, size and content
    digest (files), link text (links), keyed "label/relative path". Digests
    are kept by (device, inode, size, mtime), so a second look is cheap."""

    def __init__(self, roots):
        self.roots = roots
        self.cache = {}

    def digest(self, path, st):
        key = (st.st_dev, st.st_ino, st.st_size, st.st_mtime_ns)
        value = self.cache.get(key)
        if value is None:
            h = hashlib.blake2b(digest_size=16)
            with open(path, "rb") as f:
                for block in iter(lambda: f.read(1 << 20), b""):
                    h.update(block)
            value = h.hexdigest()
            self.cache[key] = value
        return value

    def take(self):
        entries = {}
        for label, root in self.roots.items():
            if not os.path.isdir(root):
                continue
            stack = [root]
            while stack:
                folder = stack.pop()
                try:
                    items = list(os.scandir(folder))
                except OSError:
                    continue
                for item in items:
                    key = label + "/" + os.path.relpath(item.path, root)
                    st = item.stat(follow_symlinks=False)
                    if stat.S_ISLNK(st.st_mode):
                        entries[key] = ("l", os.readlink(item.path))
                    elif stat.S_ISDIR(st.st_mode):
                        entries[key] = ("d",)
                        stack.append(item.path)
                    else:
                        entries[key] = ("f", st.st_size, self.digest(item.path, st))
        return entries
