"""The package as a user gets it: how it finds liborvell, installed with pip
into a virtual environment (the wheel the build makes, and the source) and
with cmake --install, and what a type checker and help() make of it."""
from __future__ import annotations

import inspect
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path
from typing import Dict, List, Optional, Set, Tuple

import orvell

from support import REPOSITORY, SAMPLE

PACKAGE_DIR = REPOSITORY / "bindings" / "python"
BUILT_LIBRARY = Path(os.environ.get("ORVELL_LIBRARY", REPOSITORY / "build" / "src" / "liborvell.so.1"))

# Run by an interpreter that has the package installed: where the package
# and the library it loaded came from, its metadata, and a read.
PROBE = """
import importlib.metadata, json, sys
import orvell
with open("/proc/self/maps") as maps:
    mapped = {line.split()[-1] for line in maps if "liborvell" in line}
print(json.dumps({"package": orvell.__file__, "library": sorted(mapped),
                  "version": importlib.metadata.version("orvell"),
                  "title": orvell.read(sys.argv[1]).title}))
"""


def run_import(library: str) -> subprocess.CompletedProcess:
    environment = dict(os.environ, ORVELL_LIBRARY=library, PYTHONPATH=str(PACKAGE_DIR))
    if not library:
        del environment["ORVELL_LIBRARY"]
    return subprocess.run(
        [sys.executable, "-c", "import orvell; print(orvell.LIBRARY_PATH)"],
        env=environment, capture_output=True, text=True, timeout=60)


def run(command: List[str], **options: object) -> str:
    done = subprocess.run(command, capture_output=True, text=True, timeout=240, **options)
    if done.returncode != 0:
        raise AssertionError(f"{command} failed ({done.returncode}):\n{done.stdout}{done.stderr}")
    return done.stdout


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

    def test_the_package_version_is_the_project_version(self) -> None:
        self.assertEqual(orvell.__version__, os.environ["ORVELL_VERSION"])


def offline() -> Dict[str, str]:
    """The environment for pip without the package index: no pip settings
    from this machine's files or environment."""
    clean = {key: value for key, value in os.environ.items() if not key.startswith("PIP_")}
    return dict(clean, PIP_CONFIG_FILE=os.devnull, PIP_NO_INDEX="1",
                PIP_DISABLE_PIP_VERSION_CHECK="1")


class InstallTest(unittest.TestCase):
    """Installs into temporary folders only; the library comes from the
    build, found by its soname through LD_LIBRARY_PATH as ldconfig would
    find an installed one, unless the install put one beside the package."""

    def setUp(self) -> None:
        scratch = tempfile.TemporaryDirectory(prefix="orvell-install-")
        self.addCleanup(scratch.cleanup)
        self.scratch = Path(scratch.name)

    def probe(self, python: str, environment: Optional[Dict[str, str]] = None,
              loader: bool = True) -> dict:
        """What PROBE reports from a folder outside the repository, with no
        ORVELL_LIBRARY and no PYTHONPATH but those given; with the build's
        library on the loader's path, or nothing there."""
        clean = {key: value for key, value in os.environ.items()
                 if key not in ("ORVELL_LIBRARY", "PYTHONPATH", "LD_LIBRARY_PATH")}
        clean.update(environment or {})
        if loader:
            clean["LD_LIBRARY_PATH"] = str(BUILT_LIBRARY.parent)
        sample = shutil.copy(SAMPLE, self.scratch / "sample.flac")
        return json.loads(run([python, "-c", PROBE, str(sample)], env=clean, cwd=self.scratch))

    def assert_installed(self, seen: dict, site: Path, library: Path = BUILT_LIBRARY) -> None:
        self.assertEqual(Path(seen["package"]), site / "orvell" / "__init__.py")
        self.assertEqual(seen["library"], [str(library.resolve())])
        self.assertEqual(seen["version"], orvell.__version__)
        self.assertEqual(seen["title"], "Blue in Green")
        self.assertTrue((site / "orvell" / "py.typed").is_file())

    def venv(self, name: str) -> Tuple[str, Path]:
        """A virtual environment without the system's packages: its
        interpreter and its package folder."""
        run([sys.executable, "-m", "venv", str(self.scratch / name)])
        python = str(self.scratch / name / "bin" / "python")
        site = run([python, "-c", "import sysconfig; print(sysconfig.get_path('purelib'))"])
        return python, Path(site.strip())

    def test_pip_installs_the_wheel_into_a_venv_without_the_index(self) -> None:
        wheel = Path(os.environ["ORVELL_WHEEL"])
        self.assertEqual(wheel.name, f"orvell-{orvell.__version__}-py3-none-any.whl")
        python, site = self.venv("venv")
        run([python, "-m", "pip", "install", "--quiet", str(wheel)], env=offline())
        # No library comes with it: ORVELL_LIBRARY names one, or the loader
        # finds one.
        self.assertFalse((site / "orvell" / "_installed.py").exists())
        seen = self.probe(python, {"ORVELL_LIBRARY": str(BUILT_LIBRARY)}, loader=False)
        self.assert_installed(seen, site)
        self.assert_installed(self.probe(python), site)

    def test_pip_builds_and_installs_the_source_without_the_index(self) -> None:
        # From a copy, so that nothing is written beside the source.
        source = self.scratch / "source"
        shutil.copytree(PACKAGE_DIR, source, ignore=shutil.ignore_patterns("tests", "__pycache__"))
        python, site = self.venv("venv")
        run([python, "-m", "pip", "install", "--quiet", str(source)], env=offline())
        self.assert_installed(self.probe(python), site)

    def test_cmake_install_puts_the_package_where_the_prefixs_python_looks(self) -> None:
        # Installed under DESTDIR for each prefix, the folder it lands in
        # must be one the interpreter searches once DESTDIR is taken away.
        if os.environ.get("ORVELL_INSTALL_PYTHON", "ON").upper() in ("OFF", "0", "FALSE", "NO"):
            self.skipTest("configured with -DORVELL_INSTALL_PYTHON=OFF")
        # Installed alone, the package finds the library through the loader;
        # installed with it, it loads the library beside it, with nothing on
        # the loader's path, under DESTDIR as well: the package names it
        # relative to itself.
        home = self.scratch / "home"
        home.mkdir()
        root = str(self.scratch / "root")
        environment = dict(os.environ, HOME=str(home))
        for prefix, destdir, alone in (("/usr", root, True), ("/usr/local", root, True),
                                       (f"{home}/.local", "", True), ("/usr/local", root, False),
                                       (f"{home}/.local", "", False)):
            with self.subTest(prefix=prefix, alone=alone):
                run([os.environ["ORVELL_CMAKE"], "--install", os.environ["ORVELL_BUILD_DIR"],
                     "--prefix", prefix] + (["--component", "python"] if alone else []),
                    env=dict(environment, DESTDIR=destdir))
                installed = list(Path(destdir + prefix).glob("**/orvell/__init__.py"))
                self.assertEqual(len(installed), 1, installed)
                site = installed[0].parent.parent
                searched = run([sys.executable, "-c", "import sys; print(*sys.path, sep='\\n')"],
                               env=environment, cwd=self.scratch).splitlines()
                self.assertIn(str(site)[len(destdir):], searched)
                if alone:
                    seen = self.probe(sys.executable, {"PYTHONPATH": str(site)})
                    self.assert_installed(seen, site)
                    continue
                library = list(Path(destdir + prefix).glob("**/liborvell.so.1"))
                self.assertEqual(len(library), 1, library)
                # The user's prefix needs no PYTHONPATH either.
                path = {} if destdir == "" else {"PYTHONPATH": str(site)}
                seen = self.probe(sys.executable, dict(path, HOME=str(home)), loader=False)
                self.assert_installed(seen, site, library[0])


class SurfaceTest(unittest.TestCase):
    def test_mypy_reports_exactly_the_mistakes_marked_in_the_typed_client(self) -> None:
        # typed_client.py marks each line a type checker must refuse with
        # "# error: CODE"; the package itself must check clean under --strict.
        client = Path(__file__).with_name("typed_client.py")
        expected: Set[Tuple[str, int, str]] = set()
        for number, line in enumerate(client.read_text().splitlines(), 1):
            marked = re.search(r"# error: ([a-z-]+)$", line)
            if marked:
                expected.add((client.name, number, marked.group(1)))
        self.assertGreaterEqual(len(expected), 8)
        with tempfile.TemporaryDirectory(prefix="orvell-mypy-") as cache:
            done = subprocess.run(
                [sys.executable, "-m", "mypy", "--strict", "--show-error-codes",
                 "--no-error-summary", "--no-color-output", "--cache-dir", cache,
                 str(PACKAGE_DIR / "orvell"), str(client)],
                capture_output=True, text=True, timeout=240, cwd=client.parent)
        self.assertNotIn("No module named mypy", done.stderr)
        reported = set()
        for line in done.stdout.splitlines():
            error = re.match(r"(.+?):(\d+): error: .*\[([a-z-]+)\]$", line)
            if error:
                reported.add((Path(error.group(1)).name, int(error.group(2)), error.group(3)))
            else:
                self.assertIn(": note: ", line)
        self.assertEqual(reported, expected, done.stdout + done.stderr)

    def test_help_documents_every_public_name(self) -> None:
        manual = inspect.getdoc(orvell) or ""
        for word in ("read(", "write(", "CLEAR", "FileNotFoundError", "PermissionError",
                     "ORVELL_LIBRARY", "liborvell.so.1"):
            self.assertIn(word, manual)
        for name in orvell.__all__:
            value = getattr(orvell, name)
            if inspect.isfunction(value) or inspect.isclass(value):
                with self.subTest(name):
                    own = value.__dict__.get("__doc__") if inspect.isclass(value) else value.__doc__
                    self.assertTrue((own or "").strip())
                    self.assertEqual(value.__module__, "orvell")


if __name__ == "__main__":
    unittest.main()
