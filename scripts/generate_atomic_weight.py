#!/usr/bin/python3
"""Writes physics/data/AtomicWeight.txt, the atomic-weight table of the suite.

One line per element, Z = 1 to 103 in order:
    <Z> <symbol> <name> <weight in atomic mass units>
The readers take field 1 (Z) and field 4 (weight). Weights are the standard
atomic weights as Debian's python3-periodictable carries them; for elements
without a standard weight (Tc, Pm, Po and the heavier ones) it gives the mass
number of the longest-lived isotope, which is what the Debye model needs.

Run once with /usr/bin/python3 after `apt-get install python3-periodictable`.
"""
import os
import sys

import periodictable

LAST_Z = 103


def main():
    top = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    out = os.path.join(top, "physics", "data", "AtomicWeight.txt")
    lines = []
    for z in range(1, LAST_Z + 1):
        e = periodictable.elements[z]
        if e.mass is None or e.mass <= 0:
            sys.exit("no atomic weight for Z=%d" % z)
        lines.append("%d %s %s %r\n" % (z, e.symbol, e.name, float(e.mass)))
    with open(out, "w", newline="\n") as f:
        f.writelines(lines)
    print("wrote", out, "(%d elements)" % len(lines))


if __name__ == "__main__":
    main()
