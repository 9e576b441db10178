"""Tags files with mutagen as the batch picture suite finds them, and reads back what they hold.

  make PATH VERSION   a title, a front cover (APIC type 3), a back cover (APIC type 4), lyrics
                      (USLT) and a user text (TXXX) in UTF-16, saved as ID3v2.VERSION with
                      mutagen's default padding in front of the file's bytes
  read PATH           one line a frame, sorted: "APIC <type> <mime> <md5 of the data>",
                      "USLT <text>", "TXXX <description>=<text>", "<text frame ID> <text>"
"""
import hashlib
import sys

import mutagen.id3 as id3


def make(path, version):
    tag = id3.ID3()
    tag.add(id3.TIT2(encoding=1, text="Old title"))
    tag.add(id3.APIC(encoding=1, mime="image/jpeg", type=3, desc="front",
                     data=b"\xff\xd8\xff\xe0old front cover"))
    tag.add(id3.APIC(encoding=1, mime="image/png", type=4, desc="back",
                     data=b"\x89PNG\r\n\x1a\nback cover"))
    tag.add(id3.USLT(encoding=1, lang="eng", desc="", text="la la la"))
    tag.add(id3.TXXX(encoding=1, desc="MOOD", text="calm"))
    tag.save(path, v1=0, v2_version=int(version))


def read(path):
    lines = []
    for frame in id3.ID3(path).values():
        if frame.FrameID == "APIC":
            lines.append("APIC %d %s %s" % (frame.type, frame.mime,
                                            hashlib.md5(frame.data).hexdigest()))
        elif frame.FrameID == "USLT":
            lines.append("USLT " + frame.text)
        elif frame.FrameID == "TXXX":
            lines.append("TXXX %s=%s" % (frame.desc, frame.text[0]))
        elif frame.FrameID.startswith("T"):
            lines.append("%s %s" % (frame.FrameID, frame.text[0]))
    print("\n".join(sorted(lines)))


if __name__ == "__main__":
    if sys.argv[1] == "make":
        make(sys.argv[2], sys.argv[3])
    else:
        read(sys.argv[2])
