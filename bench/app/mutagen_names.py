"""The files of the tags-from-names benchmark, and its peer: what a mutagen script does to fill
the tags from the file names.

  mutagen_names.py make FOLDER COUNT KILOBYTES
      COUNT files named "NN - Artist N - Title N.mp3" of about KILOBYTES each: audio and an
      ID3v2.3 tag with UTF-16 texts and a small cover, saved by mutagen with its padding
  mutagen_names.py tag PATTERN FILE...
      reads %track%, %artist%, %title% ... out of each name by PATTERN, sets those frames and
      saves each file (in place where the tag has room)
"""
import os
import re
import sys

import mutagen.id3 as id3

FRAME = b"\xff\xfb\x90\x64" + bytes(413)  # MPEG-1 layer III, 128 kbit/s, 44.1 kHz
FRAMES = {"title": "TIT2", "artist": "TPE1", "album": "TALB", "year": "TYER",
          "track": "TRCK", "genre": "TCON"}


def make(folder, count, kilobytes):
    audio = FRAME * (kilobytes * 1024 // len(FRAME))
    cover = b"\xff\xd8\xff\xe0" + os.urandom(8 * 1024)
    for i in range(count):
        path = os.path.join(folder, "%02d - Artist %d - Title %d.mp3" % (i % 99 + 1, i, i))
        with open(path, "wb") as f:
            f.write(audio)
        tag = id3.ID3()
        tag.add(id3.TIT2(encoding=1, text="Song"))
        tag.add(id3.TPE1(encoding=1, text="Someone"))
        tag.add(id3.TALB(encoding=1, text="Album"))
        tag.add(id3.COMM(encoding=1, lang="eng", desc="", text="ripped"))
        tag.add(id3.APIC(encoding=1, mime="image/jpeg", type=3, desc="Cover", data=cover))
        tag.save(path, v2_version=3)


def expression(pattern):
    out, fields = "^", []
    for part in re.split(r"(%[a-z]+%)", pattern):
        if re.fullmatch(r"%[a-z]+%", part):
            fields.append(part[1:-1])
            out += r"\s*(\d+)\s*" if part in ("%track%", "%year%") else "(.+?)"
        else:
            out += re.escape(part)
    return re.compile(out + "$", re.S), fields


def tag(pattern, files):
    regex, fields = expression(pattern)
    for path in files:
        name = os.path.basename(path)
        if name.lower().endswith(".mp3"):
            name = name[:-4]
        match = regex.match(name)
        if not match:
            continue
        tags = id3.ID3(path)
        for field, value in zip(fields, match.groups()):
            value = value.strip()
            if field == "track":
                value = str(int(value))
            tags.setall(FRAMES[field], [getattr(id3, FRAMES[field])(encoding=1, text=value)])
        tags.save(path, v2_version=3)


if __name__ == "__main__":
    if sys.argv[1] == "make":
        make(sys.argv[2], int(sys.argv[3]), int(sys.argv[4]))
    else:
        tag(sys.argv[2], sys.argv[3:])
