#!/usr/bin/python3
"""Writes the language file Melotag.lng from its readable source tools/Melotag.lng.tsv.

    tools/make_language_file.py                 rewrite src/app/resources/Melotag.lng
    tools/make_language_file.py --output FILE   write FILE instead
    tools/make_language_file.py --check FILE    exit 1 unless FILE equals what would be written

The source is UTF-8: one text per line, "English<TAB>Traditional Chinese<TAB>Simplified Chinese",
with "#" comment lines and blank lines. "\\t" and "\\n" stand for a tab and a line break.

The language file is what the program's CSV reader reads: a header line naming the fields DDKey,
CodePage, SeqNo and DisplayValue, then one record per text and code page (SeqNo 0): first every
text for code page 950, then every text for 936. Every field is followed by a comma and every line
by CR LF. Key and value are written in the bytes of their code page, Big5 (cp950) for 950 and GBK
for 936, as the program looks them up: the English key stays ASCII, a Chinese key (a text the
program itself writes in Chinese) is encoded like its value. A field is quoted; a quote in it is
doubled, "%" is written "%%", CR and LF as "%c" and "%n".
"""

import argparse
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.join(HERE, "Melotag.lng.tsv")
DEFAULT_OUTPUT = os.path.join(HERE, "..", "src", "app", "resources", "Melotag.lng")

CODE_PAGES = (("950", "cp950", 1), ("936", "gbk", 2))  # (code page, codec, column)


def unescape(text):
    return text.replace("\\t", "\t").replace("\\n", "\n")


def read_rows(path):
    rows = []
    seen = set()
    with open(path, encoding="utf-8") as source:
        for number, line in enumerate(source, 1):
            line = line.rstrip("\n")
            if not line.strip() or line.startswith("#"):
                continue
            fields = line.split("\t")
            if len(fields) != 3 or not all(f.strip() for f in fields):
                sys.exit(f"{path}:{number}: want three non-empty fields, got {fields!r}")
            if fields[0] in seen:
                sys.exit(f"{path}:{number}: {fields[0]!r} is listed twice")
            seen.add(fields[0])
            rows.append([unescape(f) for f in fields])
    return rows


def field(data):
    data = data.replace(b"%", b"%%").replace(b"\r", b"%c").replace(b"\n", b"%n")
    return b'"' + data.replace(b'"', b'""') + b'",'


def language_file(rows):
    out = [b"DDKey,CodePage,SeqNo,DisplayValue,\r\n"]
    for code_page, codec, column in CODE_PAGES:
        for row in rows:
            try:
                key = row[0].encode(codec)
                value = row[column].encode(codec)
            except UnicodeEncodeError as error:
                sys.exit(f"{row[0]!r}: no {codec} bytes for {error.object[error.start:error.end]!r}")
            out.append(field(key) + field(code_page.encode()) + field(b"0") + field(value) + b"\r\n")
    return b"".join(out)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--output", default=DEFAULT_OUTPUT)
    parser.add_argument("--check", metavar="FILE")
    args = parser.parse_args()
    data = language_file(read_rows(SOURCE))
    if args.check:
        with open(args.check, "rb") as committed:
            if committed.read() != data:
                sys.exit(f"{args.check} is not what tools/make_language_file.py writes; run it")
        return
    with open(args.output, "wb") as output:
        output.write(data)


if __name__ == "__main__":
    main()
