"""What scripts/bench and scripts/size-report share: the bench build tree
(the release configuration with the bench programs) and the marked blocks
of docs/benchmarks.md they rewrite."""

import subprocess
import sys
from pathlib import Path

REPO = Path(__file__).resolve().parent.parent.parent
DOC = REPO / "docs" / "benchmarks.md"


def run(cmd, **kw):
    return subprocess.run(cmd, check=True, text=True, **kw)


def log(text):
    print(text, file=sys.stderr, flush=True)


# ---------------------------------------------------------------- build


def build(build_dir, *targets):
    if not (build_dir / "CMakeCache.txt").exists():
        run(["cmake", "-S", str(REPO), "-B", str(build_dir), "-G", "Ninja",
             f"-DCMAKE_TOOLCHAIN_FILE={REPO}/cmake/toolchain-mingw-i686.cmake",
             "-DCMAKE_BUILD_TYPE=Release"], stdout=subprocess.DEVNULL)
    run(["cmake", "--build", str(build_dir), "--target", *targets], stdout=subprocess.DEVNULL)


# ---------------------------------------------------------------- the page


def write_doc(block, begin, end):
    text = DOC.read_text() if DOC.exists() else ""
    if begin in text and end in text:
        head, rest = text.split(begin, 1)
        tail = rest.split(end, 1)[1]
        text = head + begin + "\n" + block + "\n" + end + tail
    else:
        text = (text.rstrip("\n") + "\n\n" if text else "# Benchmarks\n\n") \
            + begin + "\n" + block + "\n" + end + "\n"
    DOC.parent.mkdir(parents=True, exist_ok=True)
    DOC.write_text(text)
