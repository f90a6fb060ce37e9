#!/usr/bin/env python3
"""Runs one command, sampling its open descriptors; prints wall seconds, peak RSS (KB),
peak descriptor count and CPU seconds as "wall rss fds cpu", the command's output
going to OUT.

measure.py OUT -- command args...
"""
import os
import subprocess
import sys
import time

out = sys.argv[1]
cmd = sys.argv[sys.argv.index("--") + 1:]
start = time.monotonic()
with open(out, "wb") as f:
    p = subprocess.Popen(cmd, stdout=f, stderr=subprocess.DEVNULL)
    peak = 0
    while True:
        pid, status, usage = os.wait4(p.pid, os.WNOHANG)
        if pid:
            break
        try:
            peak = max(peak, len(os.listdir("/proc/%d/fd" % p.pid)))
        except OSError:
            pass
        time.sleep(0.02)
wall = time.monotonic() - start
print("%.3f %d %d %.3f" % (wall, usage.ru_maxrss, peak, usage.ru_utime + usage.ru_stime))
