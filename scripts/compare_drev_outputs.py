#!/usr/bin/env python3
"""Compares two folders of cmd_drev outputs numerically.

    scripts/compare_drev_outputs.py REFERENCE_DIR CANDIDATE_DIR [--tolerance 1e-6]

Every *.xml_sf and *.xml_img file of REFERENCE_DIR is compared with the file
of the same name in CANDIDATE_DIR. Both documents are walked element by
element; binary blocks (the "base64", "binary" and "base64b" elements) are
decoded into their numbers: complex coefficients (elements "c", "d") and
Lw*DoubleMatrixBinary data as 8-byte doubles, Lw*FloatMatrixBinary data as
4-byte floats. For each block the difference is max|a - b| / max|a| (relative
to the block's largest reference value); a text number counts |a - b| /
max(|a|, |b|); other text must match exactly. Prints the largest relative
difference per file; exits with 1 when one exceeds the tolerance, a file is
missing or the structures differ, else 0. Python 3 standard library only.
"""

import argparse
import base64
import math
import os
import struct
import sys
import xml.etree.ElementTree as ET

CUSTOM = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ.-"
STANDARD = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"
BINARY_TAGS = {"base64": STANDARD, "binary": CUSTOM}


class Mismatch(Exception):
    pass


def decode_header_form(text, alphabet):
    """The suite's header form: 8 hex digits of the byte count, then groups of
    four characters, each holding three bytes with the first byte lowest."""
    text = text.strip()
    count = int(text[:8], 16)
    table = {c: i for i, c in enumerate(alphabet)}
    out = bytearray()
    for g in range(8, len(text), 4):
        v = (table[text[g]] | table[text[g + 1]] << 6 | table[text[g + 2]] << 12
             | table[text[g + 3]] << 18)
        out += bytes((v & 0xFF, (v >> 8) & 0xFF, v >> 16))
    return bytes(out[:count])


def decode_block(tag, text):
    if tag == "base64b":
        return base64.b64decode(text.strip())
    return decode_header_form(text, BINARY_TAGS[tag])


def numbers(data, parents):
    """The values of a decoded block; its element type follows from the
    enclosing elements."""
    owner = next((p for p in reversed(parents) if "Matrix" in p), "")
    if "Float" in owner:
        fmt, size = "f", 4
    elif "Int" in owner or "Long" in owner:
        fmt, size = "i", 4
    else:
        fmt, size = "d", 8
    n = len(data) // size
    return struct.unpack("<%d%s" % (n, fmt), data[: n * size])


def block_difference(a, b, where):
    if len(a) != len(b):
        raise Mismatch("%s: %d against %d values" % (where, len(a), len(b)))
    scale = max((abs(x) for x in a if math.isfinite(x)), default=0.0)
    worst = 0.0
    for x, y in zip(a, b):
        if x == y or (math.isnan(x) and math.isnan(y)):
            continue
        if not (math.isfinite(x) and math.isfinite(y)):
            return math.inf
        d = abs(x - y) / scale if scale > 0 else math.inf
        worst = max(worst, d)
    return worst


def text_difference(a, b, where):
    a = (a or "").strip()
    b = (b or "").strip()
    if a == b:
        return 0.0
    try:
        x, y = float(a), float(b)
    except ValueError:
        raise Mismatch("%s: text %r against %r" % (where, a[:60], b[:60]))
    if x == y:
        return 0.0
    return abs(x - y) / max(abs(x), abs(y))


def compare_elements(ref, cand, parents):
    where = "/".join(parents + [ref.tag])
    if ref.tag != cand.tag:
        raise Mismatch("%s: element %s against %s" % (where, ref.tag, cand.tag))
    if len(ref) != len(cand):
        raise Mismatch("%s: %d against %d children" % (where, len(ref), len(cand)))
    if len(ref) == 0:
        if ref.tag in BINARY_TAGS or ref.tag == "base64b":
            a = numbers(decode_block(ref.tag, ref.text or ""), parents)
            b = numbers(decode_block(cand.tag, cand.text or ""), parents)
            return block_difference(a, b, where)
        return text_difference(ref.text, cand.text, where)
    worst = 0.0
    for r, c in zip(ref, cand):
        worst = max(worst, compare_elements(r, c, parents + [ref.tag]))
    return worst


def compare_files(ref_path, cand_path):
    return compare_elements(ET.parse(ref_path).getroot(), ET.parse(cand_path).getroot(), [])


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("reference")
    parser.add_argument("candidate")
    parser.add_argument("--tolerance", type=float, default=1e-6)
    args = parser.parse_args(argv)

    names = sorted(n for n in os.listdir(args.reference) if n.endswith((".xml_sf", ".xml_img")))
    if not names:
        print("no .xml_sf or .xml_img files in %s" % args.reference)
        return 1
    failed = False
    for name in names:
        cand_path = os.path.join(args.candidate, name)
        if not os.path.exists(cand_path):
            print("%-28s missing in %s" % (name, args.candidate))
            failed = True
            continue
        try:
            worst = compare_files(os.path.join(args.reference, name), cand_path)
        except (Mismatch, ET.ParseError, ValueError, KeyError) as e:
            print("%-28s differs: %s" % (name, e))
            failed = True
            continue
        verdict = "ok" if worst <= args.tolerance else "ABOVE %g" % args.tolerance
        print("%-28s max relative difference %.3e  %s" % (name, worst, verdict))
        failed = failed or worst > args.tolerance
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
