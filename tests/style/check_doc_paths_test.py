#!/usr/bin/env python3
"""The checks of scripts/check-doc-paths, on small trees made for each case."""

import os
import subprocess
import sys
import tempfile
import textwrap
import unittest

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "check-doc-paths")

# A tree in which every named path exists, and every kind of text that is
# not a path of the tree (left alone by the check).
CLEAN_TREE = {
    "README.md": """\
        The library [core](core/) and its [guide](docs/guide.md#layers).
        Build output: build/core/lw_core.a, build-example/apps/tool/tool.
        See https://example.org/core/Nowhere.h and `tests/<library>/`.
        Every `tests/*/CMakeLists.txt` adds one binary.
        """,
    "docs/guide.md": """\
        `core/LwThing.h` holds the thing; `core/LwThing` names the class by
        its files, `apps/tool/` the program. Back to the [start](../README.md).
        """,
    "core/LwThing.h": """\
        #pragma once
        // The thing of core/LwThing.cpp, used by apps/tool/main.cpp.
        #include "core/NotChecked.h"
        const char* kText = "core/InAString.h // apps/NotAComment.h";
        const char* kRaw = R"x(core/InARawString.h)x";
        int kSeparated = 1'000;  // a digit separator: tests/tool/
        """,
    "core/LwThing.cpp": "/* The thing, see\n   docs/guide.md. */\n",
    "apps/tool/main.cpp": "int main() {}\n",
    "tests/tool/CMakeLists.txt": "\n",
    "build/README.md": "core/OnlyInTheBuildTree.h\n",
}


def make_tree(root, files):
    for name, text in files.items():
        path = os.path.join(root, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w", encoding="utf-8") as f:
            f.write(textwrap.dedent(text))


def run_check(files):
    with tempfile.TemporaryDirectory() as root:
        make_tree(root, files)
        result = subprocess.run(
            [sys.executable, SCRIPT, "--root", root], capture_output=True, text=True, check=False
        )
    return result.returncode, result.stdout.splitlines()


class CheckDocPathsTest(unittest.TestCase):
    def test_a_tree_whose_named_paths_exist_passes(self):
        self.assertEqual(run_check(CLEAN_TREE), (0, []))

    def test_every_kind_of_dead_path_is_listed_with_its_place(self):
        cases = [
            ("docs/guide.md", "A moved file: `core/LwMoved.h`.\n", "docs/guide.md:1: core/LwMoved.h"),
            ("README.md", "A stem: core/LwGone, ok.\n", "README.md:1: core/LwGone"),
            ("README.md", "A [link](docs/missing.md#part).\n", "README.md:1: docs/missing.md"),
            ("docs/guide.md", "\nA [link](../core/LwMoved.h).\n", "docs/guide.md:2: ../core/LwMoved.h"),
            ("tests/tool/README.md", "apps/tool/gone/\n", "tests/tool/README.md:1: apps/tool/gone/"),
            ("core/LwOther.h", "#pragma once\n// See apps/tool/Old.cpp.\n", "core/LwOther.h:2: apps/tool/Old.cpp"),
            ("core/LwOther.cpp", "int x;\n/* one\n   tests/x/Y.cpp */\n", "core/LwOther.cpp:3: tests/x/Y.cpp"),
            ("README.md", "Each `tests/*/Missing.txt`.\n", "README.md:1: tests/*/Missing.txt"),
        ]
        for file, text, expected in cases:
            with self.subTest(expected):
                tree = dict(CLEAN_TREE)
                tree[file] = text
                self.assertEqual(run_check(tree), (1, [expected + " does not exist"]))

    def test_a_folder_that_exists_only_in_the_build_tree_is_not_a_source_folder(self):
        tree = dict(CLEAN_TREE)
        tree["README.md"] = "The binary build/apps/tool/tool, the folder build/.\n"
        self.assertEqual(run_check(tree), (0, []))


if __name__ == "__main__":
    unittest.main()
