"""The peer of the batch write figure: mutagen sets the artist of every MP3 file of a folder in
its ID3v2.3 tag and in the ID3v1 trailer, in this one process, then `sync` flushes the disk.

  mutagen_artist.py FOLDER ARTIST   prints the milliseconds from the first file to the end of sync
"""
import os
import subprocess
import sys
import time

import mutagen.id3 as id3


def main():
    folder, artist = sys.argv[1], sys.argv[2]
    names = sorted(n for n in os.listdir(folder) if n.lower().endswith(".mp3"))
    start = time.perf_counter()
    for name in names:
        path = os.path.join(folder, name)
        tag = id3.ID3(path)
        tag.add(id3.TPE1(encoding=0, text=artist))
        tag.save(path, v1=2, v2_version=3)
    subprocess.run(["sync"], check=True)
    print("%.3f" % ((time.perf_counter() - start) * 1000))


if __name__ == "__main__":
    main()
