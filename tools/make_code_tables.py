#!/usr/bin/python3
"""Writes the GBK/Big5 code tables as constant C++ data (src/conversion/CodeTablesData.cpp).

    tools/make_code_tables.py                 rewrite src/conversion/CodeTablesData.cpp
    tools/make_code_tables.py --output FILE   write FILE instead
    tools/make_code_tables.py --check FILE    exit 1 unless FILE equals what would be written

Needs Python 3 (its cp950 and gbk codecs) and Debian's `opencc` package (`opencc_dict` and the
character dictionaries in /usr/share/opencc). The output depends on nothing else, so running the
script again reproduces the committed file byte for byte.

The mapping. Every code of the Big5 grid (lead 0xA1..0xF9, trail 0x40..0x7E or 0xA1..0xFE) from
0xA140 to 0xF9DC, except 0xA3C0..0xA3FE and 0xC6A1..0xC8FE, gets one GBK partner:
  1. 0xF9D6..0xF9DC (the seven characters added after the standard set) get 0x3F3F, "??".
  2. Otherwise the character that cp950 decodes is simplified with OpenCC's traditional-to-
     simplified character dictionary (its first candidate; a character it lacks stays as it is)
     and encoded in GBK.
  3. When the simplified form has no GBK code (it lies in an extension plane), the traditional
     character is encoded in GBK instead.
  4. A symbol that GBK cannot encode at all maps to the GBK symbol a reader takes it for
     (SYMBOL_SUBSTITUTES below, each with its reason).

The order within a run of equal GBK keys (several Big5 codes with one GBK partner):
  1. a symbol run listed in PREFERRED_SYMBOL_PARTNER starts with the partner named there;
  2. otherwise the Big5 code whose character OpenCC's simplified-to-traditional mapping gives for
     the GBK character comes first (its first candidate; a character the dictionary lacks is its
     own traditional form);
  3. then ideographs before symbols (codes from 0xA440 on before the symbol rows);
  4. then ascending Big5 code.
A conversion from GBK yields the first entry of a run.
"""

import argparse
import collections
import os
import subprocess
import sys
import tempfile

OPENCC_DIR = "/usr/share/opencc"
HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_OUTPUT = os.path.join(HERE, "..", "src", "conversion", "CodeTablesData.cpp")

TABLE_SIZE = 13468
UNMAPPED = 0x3F3F  # "??"
FIRST_UNMAPPED, LAST_UNMAPPED = 0xF9D6, 0xF9DC
FIRST_IDEOGRAPH = 0xA440

# Big5 symbols without a GBK code: Big5 code -> (GBK code, why a reader takes it for that).
SYMBOL_SUBSTITUTES = {
    # U+2027 HYPHENATION POINT, Big5's centred dot among the punctuation; GBK's centred dot is
    # 0xA1A4 (U+00B7 MIDDLE DOT), the mark a reader sees.
    0xA145: (0xA1A4, "hyphenation point read as the middle dot"),
    # U+2574 BOX DRAWINGS LIGHT LEFT, a short horizontal rule; GBK has no half rules, its light
    # horizontal rule is 0xA9A4 (U+2500).
    0xA15A: (0xA9A4, "half rule read as the light horizontal rule"),
    # U+00AF MACRON, the overline of Big5's symbol row; GBK's macron is 0xA1A5 (U+02C9), which
    # sits in GBK's punctuation row for exactly this mark.
    0xA1C2: (0xA1A5, "macron read as GBK's macron"),
    # U+02CD MODIFIER LETTER LOW MACRON, a low line; GBK's low line is 0xA3DF (U+FF3F).
    0xA1C5: (0xA3DF, "low macron read as the fullwidth low line"),
}

# Runs of symbols whose first partner the rules above would not choose well.
PREFERRED_SYMBOL_PARTNER = {
    # GBK 0xA1A5 stands among GBK's punctuation as the macron: Big5's macron 0xA1C2, not the
    # Bopomofo first tone mark 0xA3BC.
    0xA1A5: 0xA1C2,
}


def dump_dictionary(name):
    """Returns OpenCC's character dictionary `name` as {character: [candidates]}."""
    with tempfile.TemporaryDirectory() as tmp:
        out = os.path.join(tmp, name + ".txt")
        subprocess.run(
            ["opencc_dict", "-i", os.path.join(OPENCC_DIR, name + ".ocd2"), "-o", out,
             "-f", "ocd2", "-t", "text"],
            check=True, stdout=subprocess.DEVNULL)
        entries = {}
        with open(out, encoding="utf-8") as f:
            for line in f:
                key, values = line.rstrip("\n").split("\t")
                candidates = values.split(" ")
                assert len(key) == 1 and all(len(c) == 1 for c in candidates), line
                entries[key] = candidates
        return entries


def big5_grid():
    trails = list(range(0x40, 0x7F)) + list(range(0xA1, 0xFF))
    for lead in range(0xA1, 0xFA):
        for trail in trails:
            code = lead * 256 + trail
            if code > LAST_UNMAPPED:
                return
            if 0xA3C0 <= code <= 0xA3FE or 0xC6A1 <= code <= 0xC8FE:
                continue
            yield code


def code_bytes(code):
    return bytes([code >> 8, code & 0xFF])


def gbk_code(char):
    """The GBK code of a character, or None."""
    try:
        encoded = char.encode("gbk")
    except UnicodeEncodeError:
        return None
    assert len(encoded) == 2, char
    return encoded[0] * 256 + encoded[1]


def big5_to_gbk_pairs(simplify):
    pairs = []
    for big5 in big5_grid():
        if FIRST_UNMAPPED <= big5 <= LAST_UNMAPPED:
            pairs.append((big5, UNMAPPED))
            continue
        char = code_bytes(big5).decode("cp950")
        gbk = gbk_code(simplify.get(char, [char])[0])
        if gbk is None:
            gbk = gbk_code(char)
        if gbk is None:
            gbk = SYMBOL_SUBSTITUTES[big5][0]
        pairs.append((big5, gbk))
    assert len(pairs) == TABLE_SIZE
    return pairs


def gbk_to_big5_pairs(pairs, traditional):
    runs = collections.defaultdict(list)
    for big5, gbk in pairs:
        runs[gbk].append(big5)
    table = []
    for gbk in sorted(runs):
        expected = None
        if gbk != UNMAPPED:
            char = code_bytes(gbk).decode("gbk")
            expected = traditional.get(char, [char])[0]
        preferred = PREFERRED_SYMBOL_PARTNER.get(gbk)

        def rank(big5):
            if preferred is not None:
                first = big5 != preferred
            else:
                first = expected is None or code_bytes(big5).decode("cp950") != expected
            return (first, big5 < FIRST_IDEOGRAPH, big5)

        table.extend((gbk, big5) for big5 in sorted(runs[gbk], key=rank))
    return table


def render(big5_gbk, gbk_big5):
    lines = [
        "// Generated by tools/make_code_tables.py from Python's cp950 and gbk codecs and OpenCC's",
        "// character dictionaries. Do not edit; run the script again instead.",
        "// clang-format off",
        '#include "CodeTables.h"',
        "",
    ]

    def table(name, pairs):
        lines.append("const TCodeTable %s = {{" % name)
        for i in range(0, len(pairs), 6):
            row = ", ".join("{0x%04X, 0x%04X}" % p for p in pairs[i:i + 6])
            lines.append("    " + row + ",")
        lines.append("}};")
        lines.append("")

    table("Big5GbkTable", big5_gbk)
    table("GbkBig5Table", gbk_big5)
    lines.append("// clang-format on")
    return "\n".join(lines) + "\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    group = parser.add_mutually_exclusive_group()
    group.add_argument("--output", default=DEFAULT_OUTPUT)
    group.add_argument("--check")
    args = parser.parse_args()

    big5_gbk = big5_to_gbk_pairs(dump_dictionary("TSCharacters"))
    gbk_big5 = gbk_to_big5_pairs(big5_gbk, dump_dictionary("STCharacters"))
    text = render(big5_gbk, gbk_big5)

    if args.check:
        with open(args.check, encoding="utf-8", newline="") as f:
            if f.read() != text:
                print("%s differs from what %s writes" % (args.check, sys.argv[0]),
                      file=sys.stderr)
                return 1
        return 0
    with open(args.output, "w", encoding="utf-8", newline="\n") as f:
        f.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
