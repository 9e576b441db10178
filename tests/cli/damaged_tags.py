"""Damaged ID3v2 tags as broken writers leave them, made from a tag mutagen writes.

  make CASE PATH   PATH (audio of MPEG frames) gets the tag of CASE:
      whole          the tag as mutagen writes it (title, artist, album, genre, lyrics, cover)
      beyond         its header claims 40,000 bytes more than the file holds
      junk           320 bytes of other data stand in front of it
      stray-zero     a zero byte over the first byte of the album's frame: the frames behind
                     it are hidden
      junk-id        the album frame's ID is "ta#b"
      past-end       the last frame's size runs 100 bytes past the tag (no padding)
      leftover       bytes that are no frame in the padding (fine: nothing is hidden)
  frames PATH      one line per frame mutagen reads: ID=TEXT for text frames and lyrics, ID
                   for others; then "audio=MD5" of the bytes behind the tag
"""
import hashlib
import sys

import mutagen.id3 as id3

AUDIO = (bytes([0xFF, 0xFB, 0x90, 0x64]) + bytes(413)) * 20


def tagged(path, padding):
    with open(path, "wb") as f:
        f.write(AUDIO)
    tag = id3.ID3()
    tag.add(id3.TIT2(encoding=1, text="Title"))
    tag.add(id3.TPE1(encoding=1, text="Artist"))
    tag.add(id3.TALB(encoding=1, text="Album"))
    tag.add(id3.TCON(encoding=1, text="Rock"))
    tag.add(id3.USLT(encoding=1, lang="eng", desc="", text="la la"))
    tag.add(id3.APIC(encoding=0, mime="image/png", type=3, desc="",
                     data=b"\x89PNG" + b"x" * 3000))
    tag.save(path, v2_version=3, padding=lambda info: padding)
    with open(path, "rb") as f:
        return bytearray(f.read())


def synchsafe(n):
    return bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])


def declared(b):
    return (b[6] << 21) | (b[7] << 14) | (b[8] << 7) | b[9]


def make(case, path):
    b = tagged(path, 0 if case == "past-end" else 512)
    if case == "beyond":
        b[6:10] = synchsafe(len(b) + 40000)
    elif case == "junk":
        b = bytearray(b"\x01junk of another program " * 12 + bytes(20)) + b
    elif case == "stray-zero":
        b[b.find(b"TALB")] = 0
    elif case == "junk-id":
        at = b.find(b"TALB")
        b[at:at + 4] = b"ta#b"
    elif case == "past-end":
        # The last frame: the one whose data reaches the tag's end.
        at, last = 10, 10
        while at < 10 + declared(b):
            last = at
            at += 10 + int.from_bytes(b[at + 4:at + 8], "big")
        size = int.from_bytes(b[last + 4:last + 8], "big") + 100
        b[last + 4:last + 8] = size.to_bytes(4, "big")
    elif case == "leftover":
        end = 10 + declared(b)
        b[end - 40:end - 20] = b"\x01\x02leftover bytes!!\x03\x04"
    with open(path, "wb") as f:
        f.write(b)


def frames(path):
    tag = id3.ID3(path)
    for frame in tag.values():
        if frame.FrameID.startswith("T") or frame.FrameID == "USLT":
            print("%s=%s" % (frame.FrameID, frame.text if frame.FrameID == "USLT"
                             else frame.text[0]))
        else:
            print(frame.FrameID)
    with open(path, "rb") as f:
        data = f.read()
    print("audio=" + hashlib.md5(data[data.find(AUDIO[:4]):]).hexdigest())


if __name__ == "__main__":
    if sys.argv[1] == "make":
        make(sys.argv[2], sys.argv[3])
    else:
        frames(sys.argv[2])
