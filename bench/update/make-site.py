#!/usr/bin/env python3
"""Writes the benchmark's comic site and program folder.

make-site.py SITE_ROOT PROGRAM_FOLDER COUNT
Pages of about 40 KB with one strip address, strips of about 50 KB, page dates set
through the file times; every second comic already holds its page's date (a small real
GIF or JPEG). Also writes
requests.txt beside PROGRAM_FOLDER: the requests the batch update makes, in the order it
starts them (every page; the strip of every comic whose date is new), one
"path<TAB>strip file" a line, the strip file empty for pages.
"""
import datetime
import os
import random
import sys

root, program, count = sys.argv[1], sys.argv[2], int(sys.argv[3])
rnd = random.Random(7)
pictures = os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../fuzz/corpus/decoders")
stored = {}
for ext, sample in (("gif", "quadrants.gif"), ("jpg", "color.jpg")):
    with open(os.path.join(pictures, sample), "rb") as f:
        stored[ext] = f.read()
os.makedirs(os.path.join(root, "archive/images"), exist_ok=True)
os.makedirs(program, exist_ok=True)
filler = "".join("<p>Lorem ipsum dolor sit amet, consectetur adipiscing elit %d.</p>\r\n" % i for i in range(600))
catalogue = []
chosen = []
requests = []
# Early enough that 10,000 days later is still in the past: a page dated in the future is
# stored under today's date, which no strip made here has.
base_date = datetime.datetime(1980, 1, 1, 12, 0, 0, tzinfo=datetime.timezone.utc)
for i in range(count):
    slug = "c%04d" % i
    name = "Comic %04d" % i
    ext = "gif" if i % 2 else "jpg"
    image = "archive/images/%s.%s" % (slug, ext)
    page = ("<html><head><title>%s</title></head><body>\r\n%s"
            "<img src=\"/archive/images/SendAStrip.gif\">\r\n"
            "<center><img src=\"/%s\" alt=\"strip\"> archive/images</center>\r\n%s</body></html>\r\n"
            % (name, filler[: len(filler) // 2], image, filler[len(filler) // 2:]))
    os.makedirs(os.path.join(root, slug), exist_ok=True)
    page_path = os.path.join(root, slug, "index.html")
    with open(page_path, "w") as f:
        f.write(page)
    day = base_date + datetime.timedelta(days=i)
    os.utime(page_path, (day.timestamp(), day.timestamp()))
    with open(os.path.join(root, image), "wb") as f:
        f.write(b"GIF89a" + rnd.randbytes(50 * 1024 - 6))
    catalogue.append("%s\thttp://comics.example/%s/index.html\r\n" % (name, slug))
    chosen.append("%s=1\r\n" % name)
    requests.append("/%s/index.html\t" % slug)
    strip_file = "%s/%s%s.%s" % (name, name, day.strftime("%Y%m%d"), ext)
    if i % 2:
        requests.append("/%s\t%s" % (image, strip_file))
    else:  # already stored: no strip request
        folder = os.path.join(program, "Comics", name)
        os.makedirs(folder, exist_ok=True)
        # A real picture: the window shows the first comic's strip when it opens.
        with open(os.path.join(folder, "%s%s.%s" % (name, day.strftime("%Y%m%d"), ext)), "wb") as f:
            f.write(stored[ext])
with open(os.path.join(program, "Comics.urls"), "w", newline="") as f:
    f.writelines(catalogue)
with open(os.path.join(program, "panelwick.ini"), "w", newline="") as f:
    f.write("[Comics]\r\n" + "".join(chosen) + "[Downloads]\r\nMaxSimDownloads=99\r\n"
            "[Updates]\r\nUpdateProgramStart=1\r\n")
with open(os.path.join(program, "..", "requests.txt"), "w") as f:
    f.write("\n".join(requests) + "\n")
