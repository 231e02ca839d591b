"""How the package finds liborvell, seen from fresh interpreters."""
from __future__ import annotations

import os
import subprocess
import sys
import unittest

import orvell

from support import REPOSITORY

PACKAGE_DIR = str(REPOSITORY / "bindings" / "python")


def run_import(library: str) -> subprocess.CompletedProcess:
    environment = dict(os.environ, ORVELL_LIBRARY=library, PYTHONPATH=PACKAGE_DIR)
    if not library:
        del environment["ORVELL_LIBRARY"]
    return subprocess.run(
        [sys.executable, "-c", "import orvell; print(orvell.LIBRARY_PATH)"],
        env=environment, capture_output=True, text=True, timeout=60)


class LoadingTest(unittest.TestCase):
    def test_orvell_library_names_the_file_loaded(self) -> None:
        done = run_import(orvell.LIBRARY_PATH)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(done.stdout.strip(), orvell.LIBRARY_PATH)

    def test_without_orvell_library_the_build_tree_is_used(self) -> None:
        built = REPOSITORY / "build" / "src" / "liborvell.so.1"
        if not built.is_file():
            self.skipTest("no build tree at build/")
        done = run_import("")
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(done.stdout.strip(), str(built))

    def test_a_missing_library_fails_the_import_without_falling_back(self) -> None:
        done = run_import("/nonexistent/liborvell.so.1")
        self.assertNotEqual(done.returncode, 0)
        self.assertIn("ImportError", done.stderr)
        self.assertIn("/nonexistent/liborvell.so.1", done.stderr)
        self.assertIn("ORVELL_LIBRARY", done.stderr)

    def test_a_library_without_the_exports_fails_the_import(self) -> None:
        done = run_import("libc.so.6")
        self.assertNotEqual(done.returncode, 0)
        self.assertIn("does not export OV_", done.stderr)


if __name__ == "__main__":
    unittest.main()
