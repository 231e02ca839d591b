"""Builds the Python package orvell into a wheel with nothing but Python's
standard library, so that any Python 3.9 or newer builds it offline.

pyproject.toml names this module as the package's build backend (PEP 517),
so pip installs bindings/python without setuptools, wheel or the package
index. The CMake build runs it as a script, which writes the wheel and the
metadata folder that cmake --install installs beside the package:

    python3 orvell_build.py OUT_DIR VERSION

VERSION must be the package's own (orvell.__version__). The wheel holds the
pure-Python package and its metadata; the library liborvell is installed
apart.
"""
from __future__ import annotations

import base64
import hashlib
import io
import os
import re
import sys
import tarfile
import time
import zipfile
from pathlib import Path
from typing import Any, Dict, List, Optional, Tuple

SOURCE = Path(__file__).resolve().parent
NAME = "orvell"
TAG = "py3-none-any"

# The distribution's metadata (core metadata 2.1) after its name and version.
METADATA = """\
Summary: Read and write audio file tags through liborvell, a C library over TagLib
Requires-Python: >=3.9
Classifier: Programming Language :: Python :: 3
Classifier: Operating System :: POSIX :: Linux
Classifier: Topic :: Multimedia :: Sound/Audio
Classifier: Typing :: Typed
"""


def version() -> str:
    """orvell.__version__, read from the package's source."""
    text = (SOURCE / NAME / "__init__.py").read_text(encoding="utf-8")
    found = re.search(r'^__version__ = "([^"]+)"$', text, re.MULTILINE)
    if found is None:
        raise RuntimeError("orvell/__init__.py sets no __version__")
    return found.group(1)


def metadata() -> str:
    return f"Metadata-Version: 2.1\nName: {NAME}\nVersion: {version()}\n{METADATA}"


def package_files() -> List[Tuple[str, bytes]]:
    """The package's modules and its py.typed marker, by their names in an
    installed tree, in a fixed order."""
    files = sorted((SOURCE / NAME).glob("*.py")) + [SOURCE / NAME / "py.typed"]
    return [(f"{NAME}/{path.name}", path.read_bytes()) for path in files]


def _epoch() -> int:
    """The time given to every member: SOURCE_DATE_EPOCH when set, so that a
    build is the same byte for byte, and never before 1980, the earliest a
    zip file holds."""
    return max(int(os.environ.get("SOURCE_DATE_EPOCH") or 0), 315532800)


def _record_hash(data: bytes) -> str:
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=")
    return "sha256=" + digest.decode("ascii")


def build_wheel(wheel_directory: str, config_settings: Optional[Dict[str, Any]] = None,
                metadata_directory: Optional[str] = None) -> str:
    """Writes the wheel into wheel_directory and returns its file name."""
    dist_info = f"{NAME}-{version()}.dist-info"
    wheel_info = f"Wheel-Version: 1.0\nGenerator: orvell_build\nRoot-Is-Purelib: true\nTag: {TAG}\n"
    members = package_files() + [
        (f"{dist_info}/METADATA", metadata().encode("utf-8")),
        (f"{dist_info}/WHEEL", wheel_info.encode("utf-8")),
    ]
    record = "".join(f"{name},{_record_hash(data)},{len(data)}\n" for name, data in members)
    members.append((f"{dist_info}/RECORD", (record + f"{dist_info}/RECORD,,\n").encode("utf-8")))
    name = f"{NAME}-{version()}-{TAG}.whl"
    target = Path(wheel_directory) / name
    partial = target.with_suffix(".partial")
    with zipfile.ZipFile(partial, "w", zipfile.ZIP_DEFLATED) as wheel:
        for member, data in members:
            info = zipfile.ZipInfo(member, time.gmtime(_epoch())[:6])
            info.external_attr = 0o644 << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            wheel.writestr(info, data)
    partial.replace(target)
    return name


def build_sdist(sdist_directory: str, config_settings: Optional[Dict[str, Any]] = None) -> str:
    """Writes the source archive (this folder's package, pyproject.toml and
    this backend) into sdist_directory and returns its file name."""
    base = f"{NAME}-{version()}"
    members = package_files() + [
        ("pyproject.toml", (SOURCE / "pyproject.toml").read_bytes()),
        ("orvell_build.py", Path(__file__).read_bytes()),
        ("PKG-INFO", metadata().encode("utf-8")),
    ]
    name = f"{base}.tar.gz"
    with tarfile.open(Path(sdist_directory) / name, "w:gz", format=tarfile.PAX_FORMAT) as archive:
        for member, data in sorted(members):
            info = tarfile.TarInfo(f"{base}/{member}")
            info.size, info.mode, info.mtime = len(data), 0o644, _epoch()
            archive.addfile(info, io.BytesIO(data))
    return name


def main(arguments: List[str]) -> int:
    if len(arguments) != 2:
        print("usage: orvell_build.py OUT_DIR VERSION", file=sys.stderr)
        return 2
    out, expected = Path(arguments[0]), arguments[1]
    if version() != expected:
        print(f"orvell_build.py: the package is at version {version()}, the project at {expected}",
              file=sys.stderr)
        return 1
    out.mkdir(parents=True, exist_ok=True)
    build_wheel(str(out))
    dist_info = out / f"{NAME}-{expected}.dist-info"
    dist_info.mkdir(exist_ok=True)
    (dist_info / "METADATA").write_text(metadata(), encoding="utf-8")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
