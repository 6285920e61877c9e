#!/usr/bin/python3
"""Writes apps/velmora/data/velmora_AtomicScatteringTable.csv, velmora's table of
atomic scattering factors f0(s) = c + sum_i a_i exp(-b_i s^2), s = sin(theta/2)
/ lambda in 1/Angstrom.

Source: the four-Gaussian coefficients of International Tables for
Crystallography, Vol. C (1992), Table 6.1.1.4, for neutral atoms, ions and the
valence-electron entries of C and Si, as CCP4 ships them in its file
atomsf.lib (Debian package libccp4-data, /usr/share/ccp4/atomsf.lib).
Debian's python3-gemmi carries the same table for neutral atoms only; when it
is installed, every neutral entry is checked against it. Element names come
from Debian's python3-periodictable.

Output: a header line, then one line per entry
    Z,ion name,element name,a1,b1,a2,b2,a3,b3,a4,b4,c
with the ion name written as International Tables writes it ("Fe2+", "Cl1-",
"Cval"), neutral atoms first among the entries of an element. Lines end in
CR LF: the reader cuts lines at CR and skips the LF as white space.

Run once with /usr/bin/python3 after
`apt-get install libccp4-data python3-periodictable` (python3-gemmi optional).
"""
import os
import re
import sys

import periodictable

SOURCE = "/usr/share/ccp4/atomsf.lib"
# atomsf.lib names the valence-electron entries Cv and Siv.
VALENCE_ENTRIES = {"Cv": "Cval", "Siv": "Sival"}


def read_atomsf(path):
    """Entries (id, Z, electrons, a[4], b[4], c) of the first block of the
    file; the block of two-Gaussian entries after it (ids followed by a
    second word) is not read, nor deuterium (the same coefficients as H)."""
    with open(path) as f:
        lines = [l.rstrip("\n") for l in f if not l.startswith("AD")]
    entries = []
    i = 0
    while i + 4 < len(lines):
        words = lines[i].split()
        if len(words) != 1:
            break
        ident = words[0]
        z, electrons, c = lines[i + 1].split()
        a = lines[i + 2].split()
        b = lines[i + 3].split()
        i += 5
        if ident == "D":
            continue
        entries.append((ident, int(z), int(electrons), a, b, c))
    return entries


def ion_name(ident):
    """International Tables' spelling: Fe+2 -> Fe2+, Cl-1 -> Cl1-."""
    if ident in VALENCE_ENTRIES:
        return VALENCE_ENTRIES[ident], 0
    m = re.fullmatch(r"([A-Z][a-z]?)([+-])(\d)", ident)
    if not m:
        if not re.fullmatch(r"[A-Z][a-z]?", ident):
            sys.exit("unexpected entry name " + ident)
        return ident, 0
    charge = int(m.group(3)) * (1 if m.group(2) == "+" else -1)
    return m.group(1) + m.group(3) + m.group(2), charge


def check_against_gemmi(entries):
    try:
        import gemmi
    except ImportError:
        print("python3-gemmi not installed: neutral entries not cross-checked")
        return
    checked = 0
    for ident, z, _, a, b, c in entries:
        name, charge = ion_name(ident)
        if charge != 0 or name != ident:
            continue
        coef = gemmi.Element(ident).it92
        ours = [float(x) for x in a] + [float(x) for x in b] + [float(c)]
        theirs = list(coef.a) + list(coef.b) + [coef.c]
        if any(abs(x - y) > 1e-4 * max(1.0, abs(y)) for x, y in zip(ours, theirs)):
            # Two transcriptions of the printed table; atomsf.lib is kept and
            # the difference named in the data's README.
            print("note: %s differs from gemmi: %r vs %r" % (ident, ours, theirs))
        checked += 1
    print("checked %d neutral entries against gemmi" % checked)


def main():
    top = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    out = os.path.join(top, "apps", "velmora", "data", "velmora_AtomicScatteringTable.csv")
    entries = read_atomsf(SOURCE)
    check_against_gemmi(entries)
    rows = ["Z,Ion,Name,a1,b1,a2,b2,a3,b3,a4,b4,c"]
    for ident, z, electrons, a, b, c in entries:
        name, charge = ion_name(ident)
        if z - charge != electrons:
            sys.exit("%s: Z=%d charge=%d but %d electrons" % (ident, z, charge, electrons))
        fields = [str(z), name, periodictable.elements[z].name]
        for ai, bi in zip(a, b):
            fields += [ai, bi]
        fields.append(c)
        rows.append(",".join(fields))
    with open(out, "w", newline="") as f:
        f.write("\r\n".join(rows) + "\r\n")
    print("wrote", out, "(%d entries)" % (len(rows) - 1))


if __name__ == "__main__":
    main()
