#!/usr/bin/env python3
"""Builds a program folder for the start-up benchmarks: a catalogue of COMICS comics of
which CHOSEN are chosen, each chosen one with STRIPS daily strips (empty files but the
newest, which is a real GIF so that the first strip really decodes). With --link-all every
strip is a hard link to that GIF, so that stepping through the strips decodes each one
without the folder taking more room. With --unread-in N, N of the chosen comics (spread
over the list, never the first) have their three newest strips unread.
Usage: make-bench-folder.py FOLDER GIF [COMICS [CHOSEN [STRIPS]]] [--link-all] [--unread-in N]"""
import datetime
import os
import shutil
import sys

def main():
    args = sys.argv[1:]
    unread_in = 0
    if "--unread-in" in args:
        at = args.index("--unread-in")
        unread_in = int(args[at + 1])
        del args[at:at + 2]
    link_all = "--link-all" in args
    args = [a for a in args if a != "--link-all"]
    folder, gif = args[0], args[1]
    comics = int(args[2]) if len(args) > 2 else 1000
    chosen = int(args[3]) if len(args) > 3 else 100
    strips = int(args[4]) if len(args) > 4 else 3650
    os.makedirs(os.path.join(folder, "Comics"), exist_ok=True)
    names = [f"Comic {i:04d}" for i in range(comics)]
    with open(os.path.join(folder, "Comics.urls"), "wb") as f:
        for n in names:
            f.write(f"{n}\thttp://127.0.0.1:9/{n.replace(' ', '_')}/\r\n".encode())
    with open(os.path.join(folder, "panelwick.ini"), "wb") as f:
        f.write(b"[Comics]\r\n")
        for i, n in enumerate(names):
            f.write(f"{n}={1 if i < chosen else 0}\r\n".encode())
        f.write(b"[Updates]\r\nUpdateProgramStart=0\r\n[Misc]\r\nAutoStart=0\r\n")
    start = datetime.date(2010, 1, 1)
    step = chosen // unread_in if unread_in else 0
    with_unread = {names[step * (i + 1) - 1] for i in range(unread_in)} if step else set()
    for n in names[:chosen]:
        d = os.path.join(folder, "Comics", n)
        os.makedirs(d, exist_ok=True)
        for k in range(strips):
            day = start + datetime.timedelta(days=k)
            path = os.path.join(d, f"{n}{day:%Y%m%d}.gif")
            if link_all:
                if k == 0:
                    first = path
                    shutil.copyfile(gif, path)
                else:
                    os.link(first, path)
            elif k == strips - 1:
                shutil.copyfile(gif, path)
            else:
                open(path, "wb").close()
        with open(os.path.join(d, f"{n}.unr"), "wb") as f:
            if n in with_unread:
                for k in range(strips - 3, strips):
                    f.write(f"{n}{start + datetime.timedelta(days=k):%Y%m%d}.gif\r\n".encode())

if __name__ == "__main__":
    main()
