#!/usr/bin/python3
"""Writes tests/imageops/data/real_spherical_harmonics.txt, reference values
of the orthonormal real spherical harmonics at a few directions.

    Y(l, 0)  = sqrt((2l+1)/(4 pi)) P_l(cos theta)
    Y(l, m)  = sqrt((2l+1)/(2 pi) (l-m)!/(l+m)!) P_l^m(cos theta) cos(m phi)
    Y(l, -m) = sqrt((2l+1)/(2 pi) (l-m)!/(l+m)!) P_l^m(cos theta) sin(m phi)

with P_l^m without the (-1)^m phase (mpmath's legenp carries it, so it is
multiplied out). One line per value:
    <theta> <phi> <l> <m> <value>
theta and phi are decimal texts that the test reads with the same parser as
it uses for its own arguments; values have 25 significant digits.

Run with /usr/bin/python3 after `apt-get install python3-mpmath`.
"""
import os

import mpmath as mp

mp.mp.dps = 40
L = 16
DIRECTIONS = [("0.3", "0"), ("1.1", "2.5"), ("1.5707963267948966192313216916397514", "-0.7"),
              ("2.9", "4"), ("0.01", "1"), ("1.7", "6.1"), ("3.1", "-2.2")]


def real_harmonic(l, m, theta, phi):
    k = abs(m)
    p = mp.legenp(l, k, mp.cos(theta)) * (-1) ** k
    if m == 0:
        return mp.sqrt((2 * l + 1) / (4 * mp.pi)) * p
    n = mp.sqrt((2 * l + 1) / (2 * mp.pi) * mp.factorial(l - k) / mp.factorial(l + k))
    return n * p * (mp.cos(k * phi) if m > 0 else mp.sin(k * phi))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    path = os.path.join(here, "..", "tests", "imageops", "data", "real_spherical_harmonics.txt")
    with open(path, "w") as out:
        for theta, phi in DIRECTIONS:
            for l in range(L):
                for m in range(-l, l + 1):
                    v = real_harmonic(l, m, mp.mpf(theta), mp.mpf(phi))
                    out.write("%s %s %d %d %s\n" % (theta, phi, l, m, mp.nstr(v, 25, min_fixed=0, max_fixed=0)))


if __name__ == "__main__":
    main()
