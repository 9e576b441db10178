"""Reads the text frames of files with mutagen for the tag repair's peer suite.

  read PATH...   one JSON object a line: for each frame whose ID starts with "T" or is COMM, its
                 HashKey and its texts
"""
import json
import sys

import mutagen.id3 as id3


def read(path):
    tag = id3.ID3(path)
    texts = {}
    for key, frame in tag.items():
        if key.startswith("T") or key.startswith("COMM"):
            texts[key] = [str(t) for t in frame.text]
    return texts


if __name__ == "__main__":
    if len(sys.argv) < 3 or sys.argv[1] != "read":
        sys.exit(__doc__)
    for p in sys.argv[2:]:
        print(json.dumps(read(p), ensure_ascii=False))
