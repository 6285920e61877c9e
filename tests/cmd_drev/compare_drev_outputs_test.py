#!/usr/bin/env python3
"""scripts/compare_drev_outputs.py on small hand-made output folders: equal
folders pass, a change below the tolerance passes and is reported, one above
it, a missing file or a different structure fail."""

import os
import struct
import subprocess
import sys
import tempfile
import unittest

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts",
                      "compare_drev_outputs.py")
ALPHABET = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"


def header_form(data):
    """The suite's binary text: 8 hex digits of the byte count, then three
    bytes per four characters, lowest byte first, the last group zero-filled."""
    text = "%08x" % len(data)
    padded = data + bytes(-len(data) % 3)
    for g in range(0, len(padded), 3):
        v = padded[g] | padded[g + 1] << 8 | padded[g + 2] << 16
        text += "".join(ALPHABET[(v >> s) & 63] for s in (0, 6, 12, 18))
    return text


def scattered_wave(coefficients, x="1.8075e-10"):
    data = struct.pack("<%dd" % len(coefficients), *coefficients)
    return ("<DREV_ScatteringData><data><EPS>0.01</EPS><x>%s</x><c><Size_l>2</Size_l>"
            "<base64>%s</base64></c><a>Cu</a></data></DREV_ScatteringData>" % (x, header_form(data)))


def image(pixels):
    data = struct.pack("<%df" % len(pixels), *pixels)
    return ("<DataOfProcessImage><Image><LwFloatMatrixBinary><ColSize>%d</ColSize>"
            "<base64>%s</base64></LwFloatMatrixBinary></Image></DataOfProcessImage>"
            % (len(pixels), header_form(data)))


COEFFICIENTS = [0.0, 0.0, 0.3, -1.25, 2.0, 0.5, 0.0, 1e-3]
PIXELS = [0.0, 0.25, 0.8866, 0.5]


class CompareDrevOutputs(unittest.TestCase):
    def run_on(self, files):
        with tempfile.TemporaryDirectory() as ref, tempfile.TemporaryDirectory() as cand:
            for folder, contents in ((ref, {"w.xml_sf": scattered_wave(COEFFICIENTS),
                                            "m.xml_img": image(PIXELS)}), (cand, files)):
                for name, text in contents.items():
                    with open(os.path.join(folder, name), "w") as f:
                        f.write(text)
            done = subprocess.run([sys.executable, SCRIPT, ref, cand], capture_output=True, text=True)
            return done.returncode, done.stdout

    def test_cases(self):
        nudged = list(COEFFICIENTS)
        nudged[4] *= 1 + 1e-9  # 2e-9 against the block's largest value 2
        far = list(COEFFICIENTS)
        far[7] = 2e-3
        cases = [
            ("equal folders", {"w.xml_sf": scattered_wave(COEFFICIENTS), "m.xml_img": image(PIXELS)},
             0, "w.xml_sf                     max relative difference 0.000e+00"),
            ("change below the tolerance", {"w.xml_sf": scattered_wave(nudged), "m.xml_img": image(PIXELS)},
             0, "max relative difference 1.000e-09"),
            ("coefficient change above it", {"w.xml_sf": scattered_wave(far), "m.xml_img": image(PIXELS)},
             1, "max relative difference 5.000e-04  ABOVE"),
            ("pixel change above it",
             {"w.xml_sf": scattered_wave(COEFFICIENTS), "m.xml_img": image(PIXELS[:3] + [0.6])},
             1, "m.xml_img                    max relative difference 1.128e-01  ABOVE"),
            ("text number changed",
             {"w.xml_sf": scattered_wave(COEFFICIENTS, "1.8076e-10"), "m.xml_img": image(PIXELS)},
             1, "max relative difference 5.532e-05"),
            ("missing file", {"w.xml_sf": scattered_wave(COEFFICIENTS)}, 1, "m.xml_img                    missing"),
            ("fewer coefficients",
             {"w.xml_sf": scattered_wave(COEFFICIENTS[:6]), "m.xml_img": image(PIXELS)}, 1, "8 against 6 values"),
        ]
        for what, files, code, line in cases:
            with self.subTest(what):
                returncode, output = self.run_on(files)
                self.assertEqual(returncode, code, output)
                self.assertIn(line, output)


if __name__ == "__main__":
    unittest.main()
