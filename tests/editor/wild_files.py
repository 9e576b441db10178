"""Files as the wild holds them, and what mutagen reads of them, for the tag writer's peer suite.

  wild_files.py make FOLDER   writes one MP3 file of each kind into FOLDER
  wild_files.py dump FILE     prints the version, then one line for each frame mutagen reads:
                              its key and the SHA-1 of its content; then "audio" and the MD5 of
                              the bytes between the ID3v2 tag and the ID3v1 trailer
"""
import hashlib
import os
import struct
import sys
import zlib

import mutagen.id3 as id3

FRAME = b"\xff\xfb\x90\x64" + bytes(413)  # MPEG-1 layer III, 128 kbit/s, 44.1 kHz
AUDIO = FRAME * 6
TRAILER = b"TAG" + b"v1 title".ljust(30, b"\0") + bytes(94) + b"\x0d"
COVER = b"\xff\xd8\xff\xe0" + bytes(range(256)) * 120  # 30 KB


def synchsafe(n):
    return bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])


def header(version, flags, size):
    return b"ID3" + bytes([version, 0, flags]) + synchsafe(size)


def frame23(fid, data, flags=0):
    return fid + struct.pack(">IH", len(data), flags) + data


def frame24(fid, data, flags=0):
    return fid + synchsafe(len(data)) + struct.pack(">H", flags) + data


def frame22(fid, data):
    return fid + struct.pack(">I", len(data))[1:] + data


def unsynchronise(data):
    out = bytearray()
    for i, b in enumerate(data):
        out.append(b)
        if b == 0xFF and (i + 1 == len(data) or data[i + 1] >= 0xE0 or data[i + 1] == 0):
            out.append(0)
    return bytes(out)


def save(folder, name, tag_bytes=b"", trailer=True):
    with open(os.path.join(folder, name), "wb") as f:
        f.write(tag_bytes + AUDIO + (TRAILER if trailer else b""))


def mutagen_file(folder, name, version, frames):
    path = os.path.join(folder, name)
    save(folder, name)
    tag = id3.ID3()
    for frame in frames:
        tag.add(frame)
    tag.save(path, v1=1, v2_version=version)


def make(folder):
    big5 = "七里香".encode("cp950")
    gbk = "后来 刘若英".encode("gbk")  # not Big5 text: a 950 reader fails on it
    # Legacy tags: Latin-1 frames holding code-page bytes, as old Chinese taggers wrote them.
    for name, text in (("legacy_big5.mp3", big5), ("legacy_gbk.mp3", gbk)):
        body = (frame23(b"TIT2", b"\0" + text) + frame23(b"TPE1", b"\0" + text) +
                frame23(b"TCON", b"\0Mandopop") + frame23(b"COMM", b"\0eng\0" + b"c" * 600) +
                frame23(b"APIC", b"\0image/jpeg\0\x03\0" + COVER) +
                frame23(b"USLT", b"\0eng\0" + text * 20) + bytes(2048))
        save(folder, name, header(3, 0, len(body)) + body)
    def common(e):
        return [
            id3.TALB(encoding=e, text="葉惠美"),
            id3.TRCK(encoding=e, text="3/12"),
            id3.TCON(encoding=e, text="Mandopop"),
            id3.APIC(encoding=e, mime="image/jpeg", type=3, desc="封面", data=COVER),
            id3.USLT(encoding=e, lang="chi", desc="", text="故事的小黃花"),
            id3.COMM(encoding=e, lang="eng", desc="", text="x" * 600),
            id3.COMM(encoding=e, lang="eng", desc="iTunNORM", text=" 00000A3C 00000B21"),
            id3.COMM(encoding=e, lang="XXX", desc="short", text="other language"),
            id3.TXXX(encoding=e, desc="MOOD", text="happy"),
            id3.PRIV(owner="WM/Provider", data=b"\x01\x02\xff"),
            id3.UFID(owner="http://musicbrainz.org", data=b"1234-5678"),
            id3.POPM(email="me@example.org", rating=200, count=3),
        ]

    mutagen_file(folder, "mutagen23_utf16.mp3", 3,
                 [id3.TIT2(encoding=1, text="晴天"), id3.TPE1(encoding=1, text="周杰倫")] + common(1))
    mutagen_file(folder, "mutagen24_utf8.mp3", 4,
                 [id3.TIT2(encoding=3, text="晴天"), id3.TPE1(encoding=3, text="周杰倫"),
                  id3.TDRC(encoding=3, text="2003-07-31")] + common(3))
    mutagen_file(folder, "mutagen24_utf16.mp3", 4,
                 [id3.TIT2(encoding=1, text="晴天"), id3.TPE1(encoding=1, text="周杰倫"),
                  id3.TCON(encoding=1, text="(17)")])
    chapters = [id3.CHAP(element_id="ch%d" % i, start_time=i * 60000, end_time=i * 60000 + 59999,
                         sub_frames=[id3.TIT2(encoding=3, text="Chapter %d" % i)])
                for i in range(64)]
    toc = id3.CTOC(element_id="toc", flags=3, child_element_ids=["ch%d" % i for i in range(64)],
                   sub_frames=[id3.TIT2(encoding=3, text="Contents")])
    mutagen_file(folder, "podcast_chapters.mp3", 4,
                 [id3.TIT2(encoding=3, text="Episode 1"), id3.TPE1(encoding=3, text="Host"),
                  id3.TCON(encoding=3, text="Podcast")] + chapters + [toc])
    # iTunes' old ID3v2.2: three-letter frames, a picture with a three-letter format.
    body = (frame22(b"TT2", b"\0Old title") + frame22(b"TP1", b"\0Old artist") +
            frame22(b"TAL", b"\0Album") + frame22(b"TBP", b"\0120") +
            frame22(b"COM", b"\0engiTunNORM\0 0001") + frame22(b"COM", b"\0eng\0comment") +
            frame22(b"PIC", b"\0JPG\x03\0" + COVER) + bytes(512))
    save(folder, "itunes22.mp3", header(2, 0, len(body)) + body)
    # Unsynchronisation of the whole 2.3 tag; frames with 0xFF bytes.
    body = (frame23(b"TIT2", b"\0Title \xff\xfe") + frame23(b"TPE1", b"\0Artist") +
            frame23(b"TRCK", b"\x005") + frame23(b"PRIV", b"x\0\xff\xe0\xff\xff\0"))
    body = unsynchronise(body)
    save(folder, "unsync23.mp3", header(3, 0x80, len(body)) + body)
    # 2.4 with per-frame unsynchronisation (and the data-length indicator).
    data = b"\x01\xff\xfeT\0i\0\xff\0"
    body = (frame24(b"TIT2", unsynchronise(data), 0x0002) + frame24(b"TPE1", b"\x03Artist") +
            frame24(b"PRIV", synchsafe(5) + unsynchronise(b"y\0\xff\xe0\xff"), 0x0003))
    save(folder, "unsync24.mp3", header(4, 0, len(body)) + body)
    # A 2.3 extended header (with a CRC), an encrypted frame, an unknown frame, a grouped one.
    ext = struct.pack(">IHI", 6, 0, 0)
    body = (ext + frame23(b"TIT2", b"\0Title") + frame23(b"TPE1", b"\0Artist") +
            frame23(b"TXXX", b"\x80secret", 0x0040) + frame23(b"XYZW", b"unknown") +
            frame23(b"TENC", b"\x07\0Encoder", 0x0020) + bytes(256))
    save(folder, "extended23.mp3", header(3, 0x40, len(body)) + body)
    # Compressed frames: 2.3 (the size first) and 2.4 (data-length indicator).
    text = b"\0" + b"Compressed album " * 10
    body = (frame23(b"TIT2", b"\0Title") + frame23(b"TPE1", b"\0Artist") +
            frame23(b"TALB", struct.pack(">I", len(text)) + zlib.compress(text), 0x0080))
    save(folder, "compressed23.mp3", header(3, 0, len(body)) + body)
    body = (frame24(b"TIT2", b"\x03Title") + frame24(b"TPE1", b"\x03Artist") +
            frame24(b"TALB", synchsafe(len(text)) + zlib.compress(text), 0x0009))
    save(folder, "compressed24.mp3", header(4, 0, len(body)) + body)
    # A 2.4 tag with a footer.
    body = frame24(b"TIT2", b"\x03Title") + frame24(b"TPE1", b"\x03Artist")
    save(folder, "footer24.mp3", header(4, 0x10, len(body)) + body + b"3DI" +
         header(4, 0x10, len(body))[3:])
    # Two tags, one behind the other.
    first = frame23(b"TIT2", b"\0First") + frame23(b"TPE1", b"\0Artist")
    second = frame23(b"TIT2", b"\0Second") + frame23(b"TALB", b"\0Album")
    save(folder, "two_tags.mp3", header(3, 0, len(first)) + first + header(3, 0, len(second)) +
         second)
    # No tag at all; an ID3v1 trailer alone.
    save(folder, "untagged.mp3", trailer=False)
    save(folder, "v1_only.mp3")
    # What the id3v2 tool writes (ID3v2.3, a numeric genre, a second comment).
    save(folder, "id3v2_tool.mp3", trailer=False)
    os.system("id3v2 -t 'Old Title' -a 'Old Artist' -A Album -c comment -g 17 -T 5/9 -y 1999 %s"
              % os.path.join(folder, "id3v2_tool.mp3"))


def dump(path):
    with open(path, "rb") as f:
        data = f.read()
    try:
        tag = id3.ID3(path, translate=False)
    except id3.ID3NoHeaderError:
        tag = None
    print("version 2.%d" % tag.version[1] if tag else "version none")
    for key in sorted(tag.keys() if tag else []):
        frame = tag[key]
        print(key, hashlib.sha1(frame._writeData()).hexdigest())
    start = 0
    if data[:3] == b"ID3":
        start = 10 + ((data[6] << 21) | (data[7] << 14) | (data[8] << 7) | data[9])
        if data[3] == 4 and data[5] & 0x10:
            start += 10
    end = len(data) - 128 if data[-128:-125] == b"TAG" else len(data)
    print("audio", hashlib.md5(data[start:end]).hexdigest())


if __name__ == "__main__":
    {"make": make, "dump": dump}[sys.argv[1]](sys.argv[2])
