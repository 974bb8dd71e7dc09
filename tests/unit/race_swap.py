#!/usr/bin/env python3
"""race_swap.py A B STOP READY: swaps the entries A and B (renameat2 with
RENAME_EXCHANGE, atomic) over and over until the file STOP exists or 60 s
have passed, then prints how many swaps succeeded. It makes the file READY
once it has swapped. Stands for any program of the user's that keeps turning
a folder into a link while the check deletes.

A swap may fail only because the deletion took one of them away (ENOENT); any
other failure ends it with status 1 and the reason. race_swap.py --probe DIR
only tells whether DIR's file system can exchange two folders: status 0 if
so, 77 (with the reason) if it lacks RENAME_EXCHANGE, 1 on any other
failure."""

import ctypes
import errno
import os
import sys
import time

AT_FDCWD = -100
RENAME_EXCHANGE = 2

libc = ctypes.CDLL(None, use_errno=True)


def exchange(a, b):
    """0 when a and b were swapped, else the errno."""
    if libc.renameat2(AT_FDCWD, os.fsencode(a), AT_FDCWD, os.fsencode(b), RENAME_EXCHANGE) == 0:
        return 0
    return ctypes.get_errno()


def probe(folder):
    a, b = os.path.join(folder, "probe-a"), os.path.join(folder, "probe-b")
    os.mkdir(a)
    os.symlink(folder, b)
    try:
        error = exchange(a, b)
        swapped = error == 0 and os.path.islink(a) and os.path.isdir(b) and not os.path.islink(b)
    finally:
        os.rmdir(a) if not os.path.islink(a) else os.unlink(a)
        os.rmdir(b) if not os.path.islink(b) else os.unlink(b)
    if swapped:
        return 0
    reason = os.strerror(error) if error else "the names did not change places"
    if error in (errno.EINVAL, errno.ENOSYS, errno.EOPNOTSUPP):
        print(f"race_swap: the file system of {folder} cannot exchange names (RENAME_EXCHANGE: {reason})")
        return 77
    print(f"race_swap: exchanging two names in {folder} failed: {reason}")
    return 1


def race(a, b, stop, ready):
    swaps = 0
    deadline = time.monotonic() + 60
    while time.monotonic() < deadline and not os.path.exists(stop):
        for _ in range(1000):
            error = exchange(a, b)
            if error == 0:
                swaps += 1
            elif error != errno.ENOENT or (os.path.lexists(a) and os.path.lexists(b)):
                print(f"race_swap: swap {swaps + 1} failed: {os.strerror(error)}", file=sys.stderr)
                print(swaps)
                return 1
        if swaps and not os.path.exists(ready):
            open(ready, "w").close()
    print(swaps)
    return 0


if __name__ == "__main__":
    if sys.argv[1] == "--probe":
        sys.exit(probe(sys.argv[2]))
    sys.exit(race(*sys.argv[1:5]))
