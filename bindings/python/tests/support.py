"""Shared by the binding's tests: scratch copies of the audio fixtures."""
from __future__ import annotations

import os
import shutil
import subprocess
import tempfile
import unittest
from pathlib import Path
from typing import Callable, Optional

REPOSITORY = Path(__file__).resolve().parents[3]
FIXTURES = Path(os.environ.get("ORVELL_TEST_DATA_DIR", REPOSITORY / "tests" / "data"))
SAMPLE = REPOSITORY / "examples" / "sample.flac"

# Every format the fixtures cover, and the five the independent reader
# checks.
ALL_FORMATS = ("flac", "mp3", "m4a", "ogg", "opus", "wav", "aiff", "wv")
CHECKED_FORMATS = ("flac", "mp3", "m4a", "ogg", "opus")


class FixtureCase(unittest.TestCase):
    """A test case with a temporary directory for copies of the fixtures."""

    def setUp(self) -> None:
        scratch = tempfile.TemporaryDirectory(prefix="orvell-py-")
        self.addCleanup(scratch.cleanup)
        self.scratch = Path(scratch.name)

    def copy(self, name: str, as_name: str = "") -> Path:
        """A copy of fixture name (e.g. "silence.flac") in the scratch folder."""
        source = SAMPLE if name == "sample.flac" else FIXTURES / name
        target = self.scratch / (as_name or name)
        shutil.copyfile(source, target)
        return target

    def fresh(self, extension: str) -> Path:
        """A copy of the silent fixture of that format."""
        return self.copy(f"silence.{extension}")

    def unwritable(self, extension: str, prepare: Optional[Callable[[Path], object]] = None) -> Path:
        """A fixture copy that opens but cannot be saved, or a skip; prepare,
        when given, changes the copy first."""
        path = self.fresh(extension)
        if prepare is not None:
            prepare(path)
        if os.geteuid() != 0:
            path.chmod(0o444)
            return path
        # Root writes through permission bits; the immutable flag stops it.
        try:
            done = subprocess.run(["chattr", "+i", str(path)], capture_output=True)
        except FileNotFoundError:
            done = None
        if done is None or done.returncode != 0:
            self.skipTest("cannot make a file unwritable here (chattr +i failed)")
        self.addCleanup(subprocess.run, ["chattr", "-i", str(path)], check=True)
        return path
