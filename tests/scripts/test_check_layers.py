#!/usr/bin/env python3
"""Runs scripts/check-layers.py on small planted trees against the rules of the
real docs/architecture.md: a clean tree passes; a cycle, an upward include, a
product include of tests/ or tools/, a test, benchmark, fuzz or tool edge the
rules forbid, and a POSIX header outside a Unix-only file each fail and name
the file. A changed table changes the verdict, so the script and the document
cannot drift apart."""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SCRIPT = os.path.join(HERE, "..", "..", "scripts", "check-layers.py")
DOC = os.path.join(HERE, "..", "..", "docs", "architecture.md")


class CheckLayersTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.root = self.tmp.name
        os.makedirs(os.path.join(self.root, "docs"))
        shutil.copy(DOC, os.path.join(self.root, "docs", "architecture.md"))

    def tearDown(self):
        self.tmp.cleanup()

    def write(self, path, *includes):
        full = os.path.join(self.root, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "w") as f:
            for inc in includes:
                f.write(f"#include {inc}\n")
            f.write("int x;\n")

    def edit_doc(self, old, new):
        path = os.path.join(self.root, "docs", "architecture.md")
        with open(path) as f:
            text = f.read()
        self.assertIn(old, text)
        with open(path, "w") as f:
            f.write(text.replace(old, new, 1))

    def run_script(self):
        return subprocess.run([sys.executable, SCRIPT, "--root", self.root],
                              capture_output=True, text=True, timeout=60)

    def assert_fails_with(self, *lines):
        result = self.run_script()
        self.assertEqual(result.returncode, 1, result.stdout + result.stderr)
        for line in lines:
            self.assertIn(line, result.stderr)
        return result

    def plant_clean_tree(self):
        self.write("util/a.h")
        self.write("util/a_unix.cpp", '"util/a.h"', "<unistd.h>", "<sys/stat.h>")
        self.write("project/p.cpp", '"project/p.h"', '"util/a.h"', "<QString>", "<cstdio>")
        self.write("rom/r.cpp", '"project/p.h"', '"util/a.h"')
        self.write("app/shot/s.cpp", '"rom/r.h"', '"link/l.h"')
        self.write("tools/sim/sim.h", '"util/a.h"')
        self.write("tests/support/workspace.h")
        self.write("tests/rom/t.cpp", '"app/x.h"', '"sim.h"', '"../support/workspace.h"')
        self.write("bench/b/b.cpp", '"tests/support/workspace.h"', '"sim.h"', '"rom/r.h"')
        self.write("fuzz/f.cpp", '"tests/support/workspace.h"', '"util/a.h"')
        # A file listed as Unix-only may include POSIX headers; a commented
        # include and a generated header are no edges.
        self.write("tests/util/test_fileaccess.cpp", "<sys/socket.h>", "<fcntl.h>",
                   '"dpu510tk3_version.h"')
        self.write("util/b.cpp", '// #include "rom/r.h"')

    def test_clean_tree_passes(self):
        self.plant_clean_tree()
        result = self.run_script()
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("13 includes between folders, all allowed", result.stdout)

    def test_cycle_fails_naming_both_folders(self):
        self.plant_clean_tree()
        self.write("project/tstartup.cpp", '"rom/glyphlibrary.h"')
        self.assert_fails_with("cycle between folders: project <-> rom",
                               'project/tstartup.cpp:1 includes "rom/glyphlibrary.h"')

    def test_three_folder_cycle_is_one_group(self):
        self.write("util/u.cpp", '"link/l.h"')
        self.write("link/l.cpp", '"serial/s.h"')
        self.write("serial/s.cpp", '"util/u.h"')
        self.assert_fails_with("cycle between folders: link <-> serial <-> util")

    def test_upward_include_without_cycle_fails(self):
        self.plant_clean_tree()
        self.write("link/l.cpp", '"fieldbus/tpcuart.h"')
        result = self.assert_fails_with(
            "link may not include fieldbus (link may use: rom, serial, util)",
            'link/l.cpp:1 includes "fieldbus/tpcuart.h"')
        self.assertNotIn("cycle", result.stderr)

    def test_product_code_may_not_include_tests_or_tools(self):
        self.plant_clean_tree()
        self.write("util/c.cpp", '"tests/util/helper.h"')
        self.write("tools/sim/sim.cpp", '"sim.h"')
        self.write("cli/c.cpp", '"sim.h"')  # found through an include path
        self.write("rom/d.cpp", '"../tools/sim/sim.h"')
        self.assert_fails_with("util may not include tests (util may use: nothing)",
                               'util/c.cpp:1 includes "tests/util/helper.h"',
                               "cli may not include tools", 'cli/c.cpp:1 includes "sim.h"',
                               "rom may not include tools",
                               'rom/d.cpp:1 includes "../tools/sim/sim.h"')

    def test_bench_and_fuzz_reach_tests_only_through_the_support_library(self):
        self.plant_clean_tree()
        self.write("tests/rom/testglyphs.h")
        self.write("bench/b/c.cpp", '"tests/rom/testglyphs.h"')
        self.write("bench/b/d.cpp", '"testglyphs.h"')
        self.write("fuzz/g.cpp", '"tests/link/linkfakes.h"')
        self.assert_fails_with("bench may not include tests",
                               'bench/b/c.cpp:1 includes "tests/rom/testglyphs.h"',
                               'bench/b/d.cpp:1 includes "testglyphs.h"',
                               "fuzz may not include tests",
                               'fuzz/g.cpp:1 includes "tests/link/linkfakes.h"')

    def test_tool_and_test_edges_are_checked(self):
        self.plant_clean_tree()
        self.write("tools/sim/main.cpp", '"tests/support/workspace.h"')
        self.write("tests/rom/u.cpp", '"bench/b/b.h"', '"fuzz/f.h"')
        self.assert_fails_with("tools may not include tests",
                               'tools/sim/main.cpp:1 includes "tests/support/workspace.h"',
                               "tests may not include bench", "tests may not include fuzz")

    def test_posix_header_outside_a_unix_file_fails(self):
        self.plant_clean_tree()
        self.write("util/tyinifile.cpp", '"util/a.h"', "<fcntl.h>")
        self.write("serial/tposixuartport.h", "<termios.h>")
        self.write("tests/util/test_new.cpp", "<sys/stat.h>")
        self.write("bench/b/e.cpp", "<poll.h>")
        self.write("tools/sim/f.cpp", "<dirent.h>")
        self.write("serial/fdwait_unix.h", "<poll.h>")  # the suffix allows it
        result = self.assert_fails_with(
            "POSIX header outside a *_unix file: util/tyinifile.cpp:2 includes <fcntl.h>",
            "serial/tposixuartport.h:1 includes <termios.h>",
            "tests/util/test_new.cpp:1 includes <sys/stat.h>",
            "bench/b/e.cpp:1 includes <poll.h>", "tools/sim/f.cpp:1 includes <dirent.h>")
        self.assertNotIn("fdwait_unix", result.stderr)

    def test_the_document_is_the_rule(self):
        self.plant_clean_tree()
        self.write("link/l.cpp", '"util/a.h"', '"serial/s.h"')
        self.assertEqual(self.run_script().returncode, 0)
        # Taking serial out of link's row makes the same tree fail.
        self.edit_doc("| `link/` | `DpuLink` | frames, the transfer state machine, its port on the "
                      "serial component | util, serial, rom |",
                      "| `link/` | `DpuLink` | frames, the transfer state machine, its port on the "
                      "serial component | util, rom |")
        self.assert_fails_with("link may not include serial (link may use: rom, util)")

    def test_unreadable_rules_fail(self):
        self.plant_clean_tree()
        self.edit_doc("| the product, `tests/support` |", "| the product and more |")
        self.assert_fails_with("cannot read the rules", 'cannot read "the product and more"')
        os.remove(os.path.join(self.root, "docs", "architecture.md"))
        self.assert_fails_with("cannot read the rules")

    def test_an_edge_on_its_way_out_is_tolerated_and_noted_when_gone(self):
        self.plant_clean_tree()
        # The real table may be empty by now: the test plants a row of its own.
        self.edit_doc("| file | includes | until |\n|---|---|---|\n",
                      "| file | includes | until |\n|---|---|---|\n"
                      "| `fuzz/fuzz_upload.cpp` | `tests/link/linkfakes.h` | the link fakes "
                      "are in `tests/support/` |\n")
        self.write("fuzz/fuzz_upload.cpp", '"tests/link/linkfakes.h"')
        result = self.run_script()
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertNotIn('"fuzz/fuzz_upload.cpp" no longer includes', result.stdout)
        self.write("fuzz/fuzz_upload.cpp", '"tests/support/linkfakes.h"')
        result = self.run_script()
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn('"fuzz/fuzz_upload.cpp" no longer includes "tests/link/linkfakes.h"',
                      result.stdout)
        # Only that file: another benchmark may not include the same header.
        self.write("fuzz/fuzz_other.cpp", '"tests/link/linkfakes.h"')
        self.assert_fails_with('fuzz/fuzz_other.cpp:1 includes "tests/link/linkfakes.h"')

    def test_the_real_table_lists_every_folder_of_the_tree(self):
        with open(DOC) as f:
            text = f.read()
        rows = set(re.findall(r"^\| `([a-z]+)/` \|", text, re.M))
        top = os.path.join(HERE, "..", "..")
        for folder in ("util", "serial", "project", "rom", "link", "fieldbus", "app", "cli",
                       "tools", "tests", "bench", "fuzz"):
            self.assertTrue(os.path.isdir(os.path.join(top, folder)), folder)
            self.assertIn(folder, rows)


if __name__ == "__main__":
    unittest.main()
