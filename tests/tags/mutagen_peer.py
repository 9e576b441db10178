"""Writes and reads tags with mutagen for the interoperability suite.

Values travel as hex of their Latin-1 bytes, so the C++ side compares bytes.

  write23|write24|writev1 PATH TITLE ARTIST ALBUM TRACK YEAR GENRE COMMENT
  read PATH      one "KEY=HEX" line per value of the tag mutagen finds
  readv1 PATH    the same for the ID3v1 trailer alone, whatever stands in front
  md5 PATH       the MD5 of the audio: the bytes between an ID3v2 tag and an ID3v1 trailer
"""
import hashlib
import sys

import mutagen.id3 as id3
from mutagen.id3._id3v1 import ParseID3v1


def text(hex_value):
    return bytes.fromhex(hex_value).decode("latin-1")


def write(mode, path, values):
    title, artist, album, track, year, genre, comment = [text(v) for v in values]
    tag = id3.ID3()
    tag.add(id3.TIT2(encoding=0, text=title))
    tag.add(id3.TPE1(encoding=0, text=artist))
    tag.add(id3.TALB(encoding=0, text=album))
    tag.add(id3.TRCK(encoding=0, text=track))
    if mode == "write24":
        tag.add(id3.TDRC(encoding=0, text=year))
    else:
        tag.add(id3.TYER(encoding=0, text=year))
    tag.add(id3.TCON(encoding=0, text=genre))
    tag.add(id3.COMM(encoding=0, lang="eng", desc="", text=comment))
    if mode == "write24":
        tag.save(path, v1=0, v2_version=4)
    elif mode == "write23":
        tag.save(path, v1=0, v2_version=3)
    else:
        tag.save(path, v1=2, v2_version=3)
        id3.delete(path, delete_v1=False, delete_v2=True)


def read(path):
    with open(path, "rb") as f:
        has_v2 = f.read(3) == b"ID3"
    # A file with an ID3v2 tag is read without its trailer; one without is read from it.
    tag = id3.ID3(path, translate=False, load_v1=not has_v2)
    show(tag, {"version": "%d.%d" % tag.version[:2], "size": str(tag.size)})


def read_v1(path):
    with open(path, "rb") as f:
        data = f.read()
    frames = ParseID3v1(data[-128:], v2_version=3) if len(data) >= 128 else None
    tag = id3.ID3()
    for frame in (frames or {}).values():
        tag.add(frame)
    show(tag, {"version": "1.1" if "TRCK" in tag else "1.0"} if frames is not None else {})


def show(tag, out):
    for key, frame_id in [("title", "TIT2"), ("artist", "TPE1"), ("album", "TALB"),
                          ("track", "TRCK"), ("year", "TYER"), ("year", "TDRC")]:
        if frame_id in tag:
            out[key] = str(tag[frame_id].text[0])
    if "TCON" in tag:
        out["genre"] = tag["TCON"].genres[0]
    comments = tag.getall("COMM")
    if comments:
        out["comment"] = comments[0].text[0]
    for key, value in out.items():
        print("%s=%s" % (key, value.encode("latin-1").hex()))


def md5(path):
    with open(path, "rb") as f:
        data = f.read()
    start = 0
    if data[:3] == b"ID3":
        start = id3.ID3(path, load_v1=False).size
    end = len(data) - 128 if data[-128:-125] == b"TAG" else len(data)
    print(hashlib.md5(data[start:end]).hexdigest())


def main():
    mode, path = sys.argv[1], sys.argv[2]
    if mode.startswith("write"):
        write(mode, path, sys.argv[3:10])
    elif mode == "read":
        read(path)
    elif mode == "readv1":
        read_v1(path)
    else:
        md5(path)


if __name__ == "__main__":
    main()
