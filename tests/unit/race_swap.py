#!/usr/bin/env python3
"""race_swap.py A B STOP READY: swaps the entries A and B (renameat2 with
RENAME_EXCHANGE, atomic) over and over until the file STOP exists or 60 s
have passed, then prints how many swaps it made. It makes the file READY
once it is swapping. Stands for any program of
the user's that keeps turning a folder into a link while the check deletes."""

import ctypes
import os
import sys
import time

AT_FDCWD = -100
RENAME_EXCHANGE = 2

libc = ctypes.CDLL(None, use_errno=True)
a, b, stop, ready = os.fsencode(sys.argv[1]), os.fsencode(sys.argv[2]), sys.argv[3], sys.argv[4]
swaps = 0
deadline = time.monotonic() + 60
while time.monotonic() < deadline and not os.path.exists(stop):
    for _ in range(1000):
        if libc.renameat2(AT_FDCWD, a, AT_FDCWD, b, RENAME_EXCHANGE) == 0:
            swaps += 1
    if not os.path.exists(ready):
        open(ready, "w").close()
print(swaps)
