"""The peer of the cover figure: mutagen makes an image the front cover (APIC type 3) of every
file named, in this one process, saving each in its tag's version.

  mutagen_cover.py IMAGE FILE...
"""
import sys

import mutagen.id3 as id3


def main():
    with open(sys.argv[1], "rb") as f:
        image = f.read()
    for path in sys.argv[2:]:
        tag = id3.ID3(path)
        for key in [k for k, frame in tag.items() if frame.FrameID == "APIC" and frame.type == 3]:
            del tag[key]
        tag.add(id3.APIC(encoding=0, mime="image/jpeg", type=3, desc="", data=image))
        tag.save(path, v2_version=tag.version[1])


if __name__ == "__main__":
    main()
