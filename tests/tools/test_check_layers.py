"""The layering check finds folders that include each other and passes a layered tree."""

import os
import tempfile
import unittest

import check_layers


def make_tree(root, files):
    for path, text in files.items():
        os.makedirs(os.path.join(root, os.path.dirname(path)), exist_ok=True)
        with open(os.path.join(root, path), "w", encoding="utf-8") as out:
            out.write(text)


class CheckLayersTest(unittest.TestCase):
    def test_a_layered_tree_passes(self):
        with tempfile.TemporaryDirectory() as root:
            make_tree(root, {
                "text/a.h": "#pragma once\n",
                "engine/b.cpp": '#include "engine/b.h"\n#include "text/a.h"\n',
                "settings/c.h": '#include "engine/b.h"\n#include <string>\n',
            })
            self.assertEqual(check_layers.cycles(check_layers.folder_arrows(root)), [])

    def test_an_include_back_up_is_a_cycle(self):
        with tempfile.TemporaryDirectory() as root:
            make_tree(root, {
                "engine/b.h": '#include "settings/locations.h"\n',
                "settings/c.h": '#include "engine/b.h"\n',
                "run/d.cpp": '#include "settings/c.h"\n',
            })
            arrows = check_layers.folder_arrows(root)
            self.assertEqual(check_layers.cycles(arrows), [["engine", "settings"]])
            self.assertEqual(arrows["engine"]["settings"],
                             [("engine/b.h", '#include "settings/locations.h"')])

    def test_no_source_file_is_over_600_lines(self):
        root = os.path.join(os.path.dirname(__file__), "..", "..")
        long = {}
        for folder in check_layers.SOURCE_FOLDERS + ["tests", "bench", "tools"]:
            for base, dirs, files in os.walk(os.path.join(root, folder)):
                for name in files:
                    if name.endswith((".cpp", ".h", ".py")):
                        with open(os.path.join(base, name), encoding="utf-8") as source:
                            lines = sum(1 for _ in source)
                        if lines > 600:
                            long[os.path.relpath(os.path.join(base, name), root)] = lines
        self.assertEqual(long, {})

    def test_the_project_is_layered(self):
        root = os.path.join(os.path.dirname(__file__), "..", "..")
        self.assertEqual(check_layers.cycles(check_layers.folder_arrows(root)), [])


if __name__ == "__main__":
    unittest.main()
