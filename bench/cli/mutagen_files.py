"""Makes benchmark files the way a modern tagger leaves them: MP3 files of a given size with an
ID3v2.3 tag of UTF-16 texts and, when asked, a cover, saved by mutagen with its default padding.

  mutagen_files.py FOLDER COUNT KILOBYTES COVER_KILOBYTES   (COVER_KILOBYTES 0: no cover)
"""
import os
import sys

import mutagen.id3 as id3

FRAME = b"\xff\xfb\x90\x64" + bytes(413)  # MPEG-1 layer III, 128 kbit/s, 44.1 kHz


def main():
    folder, count, kilobytes, cover_kilobytes = sys.argv[1], *map(int, sys.argv[2:5])
    audio = FRAME * (kilobytes * 1024 // len(FRAME))
    cover = b"\xff\xd8\xff\xe0" + os.urandom(cover_kilobytes * 1024)
    for i in range(count):
        path = os.path.join(folder, "Track %04d.mp3" % i)
        with open(path, "wb") as f:
            f.write(audio)
        tag = id3.ID3()
        tag.add(id3.TIT2(encoding=1, text="Song %d" % i))
        tag.add(id3.TPE1(encoding=1, text="Old Artist"))
        tag.add(id3.TALB(encoding=1, text="Album"))
        tag.add(id3.TRCK(encoding=1, text="%d/%d" % (i + 1, count)))
        if cover_kilobytes:
            tag.add(id3.APIC(encoding=1, mime="image/jpeg", type=3, desc="Cover", data=cover))
        tag.save(path, v2_version=3)


if __name__ == "__main__":
    main()
