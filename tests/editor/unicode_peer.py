"""Writes and reads Unicode tags with mutagen for the Unicode tag suite.

  write MODE PATH JSON   MODE: v23utf16, v23utf16be, v24utf8, v24unsync; JSON holds title,
                         artist, album, track, year, genre, comment, lyrics, txxx (text) and
                         cover (the path of the picture file); absent keys give no frame
  read PATH              JSON of what mutagen finds: version, the texts, the cover's bytes as
                         hex, the lyrics, every TXXX, the IDs of all frames in order, the MD5 of
                         the audio (the bytes behind the tag)
"""
import hashlib
import json
import sys

import mutagen.id3 as id3

MODES = {
    "v23utf16": (3, 1, False),
    "v23utf16be": (3, 2, False),
    "v24utf8": (4, 3, False),
    "v24unsync": (4, 3, True),
}

TEXT_FRAMES = [("title", id3.TIT2), ("artist", id3.TPE1), ("album", id3.TALB),
               ("track", id3.TRCK), ("genre", id3.TCON)]


def write(mode, path, values):
    version, encoding, unsync = MODES[mode]
    tag = id3.ID3()
    for key, cls in TEXT_FRAMES:
        if key in values:
            tag.add(cls(encoding=encoding, text=values[key]))
    if "year" in values:
        cls = id3.TDRC if version == 4 else id3.TYER
        tag.add(cls(encoding=encoding, text=values["year"]))
    if "comment" in values:
        tag.add(id3.COMM(encoding=encoding, lang="eng", desc="", text=values["comment"]))
        tag.add(id3.COMM(encoding=encoding, lang="eng", desc="note", text="described"))
    if "lyrics" in values:
        tag.add(id3.USLT(encoding=encoding, lang="jpn", desc="", text=values["lyrics"]))
    if "txxx" in values:
        tag.add(id3.TXXX(encoding=encoding, desc="MOOD", text=values["txxx"]))
    if "cover" in values:
        with open(values["cover"], "rb") as f:
            data = f.read()
        tag.add(id3.APIC(encoding=encoding, mime="image/jpeg", type=3, desc="封面", data=data))
    if version == 4:
        tag.add(id3.TSOP(encoding=encoding, text="sort"))  # no place in 2.3
        tag.add(id3.PRIV(owner="melotag", data=b"\x00\x01\xff\x00"))
    if unsync:
        # mutagen writes unsynchronisation only where the data needs it: a cover does.
        tag.save(path, v1=0, v2_version=version)
        with open(path, "rb") as f:
            data = bytearray(f.read())
        assert data[5] == 0, "mutagen set flags of its own"
        size = id3.BitPaddedInt(bytes(data[6:10]))
        body = bytes(data[10:10 + size])
        # Each frame unsynchronised, with its flag set, and the tag's flag set.
        out = bytearray()
        at = 0
        while at + 10 <= len(body) and body[at] != 0:
            fsize = id3.BitPaddedInt(body[at + 4:at + 8])
            fdata = id3._util.unsynch.encode(body[at + 10:at + 10 + fsize])
            flags = int.from_bytes(body[at + 8:at + 10], "big") | 0x0002
            out += body[at:at + 4] + bytes(id3.BitPaddedInt.to_str(len(fdata), width=4))
            out += flags.to_bytes(2, "big") + fdata
            at += 10 + fsize
        header = b"ID3\x04\x00\x80" + bytes(id3.BitPaddedInt.to_str(len(out), width=4))
        with open(path, "wb") as f:
            f.write(header + out + bytes(data[10 + size:]))
    else:
        tag.save(path, v1=0, v2_version=version, v23_sep="/")
        if encoding == 2:
            to_utf16be(path)


def to_utf16be(path):
    """mutagen writes 2.3 text as UTF-16 with a byte-order mark; turn its text frames into
    encoding 2 (UTF-16BE, no mark), as other writers put it into 2.3 tags."""
    with open(path, "rb") as f:
        data = f.read()
    size = id3.BitPaddedInt(data[6:10])
    body = data[10:10 + size]
    out = bytearray()
    at = 0
    while at + 10 <= len(body) and body[at] != 0:
        fid = body[at:at + 4]
        fsize = int.from_bytes(body[at + 4:at + 8], "big")
        fdata = body[at + 10:at + 10 + fsize]
        if fid[:1] == b"T" and fid != b"TXXX" and fdata[:1] == b"\x01":
            fdata = b"\x02" + fdata[1:].decode("utf-16").rstrip("\x00").encode("utf-16-be")
        out += fid + len(fdata).to_bytes(4, "big") + body[at + 8:at + 10] + fdata
        at += 10 + fsize
    header = data[:6] + bytes(id3.BitPaddedInt.to_str(len(out), width=4))
    with open(path, "wb") as f:
        f.write(header + out + data[10 + size:])


def read(path):
    tag = id3.ID3(path, load_v1=False, translate=False)
    out = {"version": "%d.%d" % tag.version[:2], "frames": [f.FrameID for f in tag.values()]}
    for key, fid in [("title", "TIT2"), ("artist", "TPE1"), ("album", "TALB"),
                     ("track", "TRCK"), ("genre", "TCON"), ("year", "TYER"), ("year", "TDRC")]:
        if fid in tag:
            out[key] = str(tag[fid].text[0])
            out[key + "_encoding"] = int(tag[fid].encoding)
    comments = [c for c in tag.getall("COMM") if c.desc == ""]
    if comments:
        out["comment"] = comments[0].text[0]
    out["comments"] = sorted("%s:%s" % (c.desc, c.text[0]) for c in tag.getall("COMM"))
    if tag.getall("USLT"):
        out["lyrics"] = tag.getall("USLT")[0].text
    if tag.getall("APIC"):
        pic = tag.getall("APIC")[0]
        out["cover"] = pic.data.hex()
        out["cover_desc"] = pic.desc
    out["txxx"] = ["%s=%s" % (t.desc, t.text[0]) for t in tag.getall("TXXX")]
    out["priv"] = [p.data.hex() for p in tag.getall("PRIV")]
    with open(path, "rb") as f:
        data = f.read()
    out["audio_md5"] = hashlib.md5(data[tag.size:]).hexdigest()
    print(json.dumps(out))


def main():
    if sys.argv[1] == "write":
        write(sys.argv[2], sys.argv[3], json.loads(sys.argv[4]))
    else:
        read(sys.argv[2])


if __name__ == "__main__":
    main()
