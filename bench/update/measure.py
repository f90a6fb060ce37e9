#!/usr/bin/env python3
"""Runs one command, sampling its open descriptors; prints wall seconds, peak RSS (KB),
peak descriptor count and CPU seconds as "wall rss fds cpu", the command's output
going to OUT.

measure.py OUT -- command args...
"""
import os
import subprocess
import sys
import threading
import time

out = sys.argv[1]
cmd = sys.argv[sys.argv.index("--") + 1:]
# The wait blocks in a thread of its own, so that the wall time ends when the command
# does, not at the next turn of the descriptor sampling.
result = {}


def wait(pid):
    _, status, usage = os.wait4(pid, 0)
    result["end"] = time.monotonic()
    result["usage"] = usage


start = time.monotonic()
with open(out, "wb") as f:
    p = subprocess.Popen(cmd, stdout=f, stderr=subprocess.DEVNULL)
    waiter = threading.Thread(target=wait, args=(p.pid,))
    waiter.start()
    peak = 0
    while waiter.is_alive():
        try:
            peak = max(peak, len(os.listdir("/proc/%d/fd" % p.pid)))
        except OSError:
            pass
        waiter.join(0.02)
    p.returncode = 0  # reaped by the waiter
usage = result["usage"]
wall = result["end"] - start
print("%.3f %d %d %.3f" % (wall, usage.ru_maxrss, peak, usage.ru_utime + usage.ru_stime))
