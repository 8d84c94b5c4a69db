#!/usr/bin/env python3
"""Runs scripts/check-layers.py on small planted trees: a clean one passes,
a cycle or an upward include fails and names the folders."""

import os
import subprocess
import sys
import tempfile
import unittest

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "check-layers.py")


class CheckLayersTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.root = self.tmp.name

    def tearDown(self):
        self.tmp.cleanup()

    def write(self, path, *includes):
        full = os.path.join(self.root, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "w") as f:
            for inc in includes:
                f.write(f"#include {inc}\n")
            f.write("int x;\n")

    def run_script(self):
        return subprocess.run([sys.executable, SCRIPT, "--root", self.root],
                              capture_output=True, text=True, timeout=60)

    def plant_clean_tree(self):
        self.write("util/a.h")
        self.write("project/p.cpp", '"project/p.h"', '"util/a.h"', "<QString>")
        self.write("rom/r.cpp", '"project/p.h"', '"util/a.h"')
        self.write("app/shot/s.cpp", '"rom/r.h"', '"link/l.h"')
        # Folders outside the product (tests, tools) are neither read nor checked.
        self.write("tests/t.cpp", '"app/x.h"')
        self.write("util/b.cpp", '"tests/helper.h"', '// #include "rom/r.h"')

    def test_clean_tree_passes(self):
        self.plant_clean_tree()
        result = self.run_script()
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("5 includes between folders", result.stdout)

    def test_cycle_fails_naming_both_folders(self):
        self.plant_clean_tree()
        self.write("project/tstartup.cpp", '"rom/glyphlibrary.h"')
        result = self.run_script()
        self.assertEqual(result.returncode, 1)
        self.assertIn("cycle between folders: project <-> rom", result.stderr)
        self.assertIn('project/tstartup.cpp:1 includes "rom/glyphlibrary.h"', result.stderr)

    def test_three_folder_cycle_is_one_group(self):
        self.write("util/u.cpp", '"link/l.h"')
        self.write("link/l.cpp", '"serial/s.h"')
        self.write("serial/s.cpp", '"util/u.h"')
        result = self.run_script()
        self.assertEqual(result.returncode, 1)
        self.assertIn("cycle between folders: link <-> serial <-> util", result.stderr)

    def test_upward_include_without_cycle_fails(self):
        self.plant_clean_tree()
        self.write("link/l.cpp", '"fieldbus/tpcuart.h"')
        result = self.run_script()
        self.assertEqual(result.returncode, 1)
        self.assertNotIn("cycle", result.stderr)
        self.assertIn("link may not include fieldbus (link may use: serial, util)", result.stderr)
        self.assertIn('link/l.cpp:1 includes "fieldbus/tpcuart.h"', result.stderr)


if __name__ == "__main__":
    unittest.main()
