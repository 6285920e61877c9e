#!/usr/bin/python3
"""Writes apps/velmora/data/DebyeTemperature_K.txt, the Debye temperatures that
velmora offers for the thermal vibration of each element.

Source: C. Kittel, Introduction to Solid State Physics, 8th edition (Wiley,
2005), chapter 5, Table 1 "Debye temperature and thermal conductivity": the
low-temperature limit of the Debye temperature in K (the book takes them from
the American Institute of Physics Handbook). Elements without an entry there
are not listed; C is diamond and Sn grey tin, as in the book.

Output: comment lines starting with "#", then one line per element
    <Z> <symbol> <Debye temperature in K>
in order of Z, with LF line ends. Needs only the Python standard library.
"""
import os

# (Z, symbol, Debye temperature in K), Kittel chapter 5, Table 1.
DEBYE_TEMPERATURES_K = [
    (3, "Li", 344), (4, "Be", 1440), (6, "C", 2230), (10, "Ne", 75),
    (11, "Na", 158), (12, "Mg", 400), (13, "Al", 428), (14, "Si", 645),
    (18, "Ar", 92), (19, "K", 91), (20, "Ca", 230), (21, "Sc", 360),
    (22, "Ti", 420), (23, "V", 380), (24, "Cr", 630), (25, "Mn", 410),
    (26, "Fe", 470), (27, "Co", 445), (28, "Ni", 450), (29, "Cu", 343),
    (30, "Zn", 327), (31, "Ga", 320), (32, "Ge", 374), (33, "As", 282),
    (34, "Se", 90), (36, "Kr", 72), (37, "Rb", 56), (38, "Sr", 147),
    (39, "Y", 280), (40, "Zr", 291), (41, "Nb", 275), (42, "Mo", 450),
    (44, "Ru", 600), (45, "Rh", 480), (46, "Pd", 274), (47, "Ag", 225),
    (48, "Cd", 209), (49, "In", 108), (50, "Sn", 200), (51, "Sb", 211),
    (52, "Te", 153), (54, "Xe", 64), (55, "Cs", 38), (56, "Ba", 110),
    (57, "La", 142), (64, "Gd", 200), (66, "Dy", 210), (70, "Yb", 120),
    (71, "Lu", 210), (72, "Hf", 252), (73, "Ta", 240), (74, "W", 400),
    (75, "Re", 430), (76, "Os", 500), (77, "Ir", 420), (78, "Pt", 240),
    (79, "Au", 165), (80, "Hg", 71.9), (81, "Tl", 78.5), (82, "Pb", 105),
    (83, "Bi", 119), (90, "Th", 163), (92, "U", 207),
]

HEADER = """# Debye temperatures in K (low-temperature limit).
# C. Kittel, Introduction to Solid State Physics, 8th ed. (Wiley, 2005),
# chapter 5, Table 1; C is diamond, Sn grey tin.
# Z symbol theta_D[K]
"""


def main():
    top = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    out = os.path.join(top, "apps", "velmora", "data", "DebyeTemperature_K.txt")
    zs = [z for z, _, _ in DEBYE_TEMPERATURES_K]
    assert zs == sorted(set(zs)), "entries must be in increasing Z"
    with open(out, "w", newline="\n") as f:
        f.write(HEADER)
        for z, symbol, theta in DEBYE_TEMPERATURES_K:
            f.write("%d %s %s\n" % (z, symbol, theta))
    print("wrote", out, "(%d elements)" % len(DEBYE_TEMPERATURES_K))


if __name__ == "__main__":
    main()
