"""Finding liborvell, declaring the C signature of each of its 33 exports, and
turning their negative results into exceptions.

The library is looked for, in this order:

1. the file named by the environment variable ORVELL_LIBRARY, when it is set
   (and then nowhere else, so that an explicit choice never falls back);
2. when this package is the one in a source checkout (bindings/python), that
   checkout's build tree, <repository>/build/src/liborvell.so.1, as
   ./scripts/demo and ./scripts/test leave it;
3. when cmake --install installed this package, the library it installed
   with it: the install wrote the module _installed beside this one, which
   names the library's file relative to this folder, so that an installed
   tree works under any prefix, and where it is moved to, without
   LD_LIBRARY_PATH or ldconfig;
4. the soname liborvell.so.1, as the dynamic loader resolves it: the
   directories of LD_LIBRARY_PATH, then those ldconfig knows, where the
   Debian package and an install followed by ldconfig put it. A wheel,
   which holds no library, finds it here or through ORVELL_LIBRARY.
"""
from __future__ import annotations

import ctypes
import importlib
import os
from pathlib import Path
from typing import (
    Any, Callable, Dict, List, NamedTuple, NoReturn, Sequence, Tuple, Type, Union, cast)

from . import _errors as errors

SONAME = "liborvell.so.1"
ENVIRONMENT_VARIABLE = "ORVELL_LIBRARY"

PathArg = Union[str, bytes, os.PathLike[str], os.PathLike[bytes]]

_path = ctypes.c_char_p
_text = ctypes.c_char_p
_buffer = ctypes.POINTER(ctypes.c_char)
_int32 = ctypes.c_int32

TEXT_GETTER: Sequence[Type[Any]] = (_path, _buffer, _int32)
NUMBER_GETTER: Sequence[Type[Any]] = (_path,)
TEXT_SETTER: Sequence[Type[Any]] = (_path, _text)
SYNC_SETTER: Sequence[Type[Any]] = (_path, _text, _int32)
NUMBER_SETTER: Sequence[Type[Any]] = (_path, _int32)
BLOCK_WRITER: Sequence[Type[Any]] = (_path, _text, _int32)


class Export(NamedTuple):
    """One C function of liborvell: its argument types and its family."""

    name: str
    argtypes: Sequence[Type[Any]]
    family: errors.Family


def _exports() -> Dict[str, Export]:
    table: List[Tuple[Sequence[str], Sequence[Type[Any]], errors.Family]] = [
        (("Title", "Artist", "Album", "Genre", "Comment"), TEXT_GETTER, errors.TAG_TEXT_GETTER),
        (("AlbumArtist", "Composer", "Conductor"), TEXT_GETTER, errors.PROPERTY_TEXT_GETTER),
        (("Year", "Track"), NUMBER_GETTER, errors.TAG_NUMBER_GETTER),
        (("Duration", "Bitrate", "SampleRate", "Channels"), NUMBER_GETTER, errors.AUDIO_GETTER),
        (("TrackTotal", "Disc", "DiscTotal"), NUMBER_GETTER, errors.PAIR_GETTER),
    ]
    setters: List[Tuple[Sequence[str], Sequence[Type[Any]], errors.Family]] = [
        (("Title", "Artist", "Album", "Genre", "Comment"), TEXT_SETTER, errors.TAG_TEXT_SETTER),
        (("AlbumArtist", "Composer", "Conductor"), TEXT_SETTER, errors.PROPERTY_TEXT_SETTER),
        (("ArtistSync",), SYNC_SETTER, errors.TAG_TEXT_SETTER),
        (("Year",), NUMBER_SETTER, errors.YEAR_SETTER),
        (("Track", "TrackTotal", "Disc", "DiscTotal"), NUMBER_SETTER, errors.PAIR_SETTER),
    ]
    found: Dict[str, Export] = {}
    for verb, groups in (("Get", table), ("Set", setters)):
        for words, argtypes, family in groups:
            for word in words:
                name = f"OV_{verb}{word}"
                found[name] = Export(name, argtypes, family)
    found["OV_ReadTags"] = Export("OV_ReadTags", TEXT_GETTER, errors.READ_TAGS)
    found["OV_WriteTags"] = Export("OV_WriteTags", BLOCK_WRITER, errors.WRITE_TAGS)
    return found


EXPORTS: Dict[str, Export] = _exports()


def _candidates() -> List[str]:
    chosen = os.environ.get(ENVIRONMENT_VARIABLE)
    if chosen:
        return [chosen]
    candidates: List[str] = []
    package = Path(__file__).resolve().parent
    bindings = package.parent.parent
    repository = bindings.parent
    in_checkout = (package.parent.name == "python" and bindings.name == "bindings"
                   and (repository / "include" / "orvell.h").is_file())
    built = repository / "build" / "src" / SONAME
    if in_checkout and built.is_file():
        candidates.append(str(built))
    try:
        installed = importlib.import_module(f"{__package__}._installed")
    except ImportError:
        pass
    else:
        # Named from this package's folder as installed; the links on the
        # way are followed, the library's own soname link is kept.
        library = Path(__file__).parent / str(installed.LIBRARY)
        candidates.append(str(Path(os.path.realpath(library.parent)) / library.name))
    candidates.append(SONAME)
    return candidates


def _load() -> Tuple[ctypes.CDLL, str]:
    failures: List[str] = []
    for candidate in _candidates():
        try:
            library = ctypes.CDLL(candidate)
        except OSError as error:
            failures.append(f"{candidate}: {error}")
            continue
        _declare(library, candidate)
        return library, candidate
    raise ImportError(
        "liborvell could not be loaded: install it with this package (cmake --install), or where "
        "the loader looks (the Debian package liborvell1), build it (./scripts/demo builds into "
        f"build/), or set {ENVIRONMENT_VARIABLE} to the library file. Tried: "
        + "; ".join(failures))


def _declare(library: ctypes.CDLL, where: str) -> None:
    for export in EXPORTS.values():
        try:
            function = getattr(library, export.name)
        except AttributeError:
            raise ImportError(f"{where} does not export {export.name}") from None
        function.argtypes = list(export.argtypes)
        function.restype = _int32


LIBRARY, LIBRARY_PATH = _load()


def function(name: str) -> Callable[..., int]:
    """The declared C function of that name."""
    return cast(Callable[..., int], getattr(LIBRARY, name))


def unconverted_function(name: str) -> Callable[..., int]:
    """The C function of that name as a separate object with its result type
    only: ctypes passes bytes, a ctypes buffer and an int as they are, and
    checks none of them, so the caller must pass exactly those."""
    unconverted = LIBRARY[name]
    unconverted.restype = _int32
    return cast(Callable[..., int], unconverted)


def encode_path(path: PathArg) -> bytes:
    """The path as the narrow string handed to the library.

    str paths are encoded as the operating system encodes file names
    (os.fsencode), so that any name os.listdir returns can be passed back.
    """
    raw = os.fsencode(path)
    if b"\0" in raw:
        raise ValueError(f"path {os.fspath(path)!r} holds a NUL character")
    return raw


def fail(name: str, code: int, path: PathArg) -> NoReturn:
    """Raises the exception for a negative result of export name."""
    raise errors.error_for(name, EXPORTS[name].family, code, os.fspath(path))


def call(name: str, path: PathArg, *arguments: object) -> int:
    """Calls export name on path; raises for a negative result."""
    result = function(name)(encode_path(path), *arguments)
    if result < 0:
        fail(name, result, path)
    return result
