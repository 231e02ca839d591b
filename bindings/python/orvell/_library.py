"""Finding liborvell, declaring the C signature of each of its 40 exports, and
turning their negative results into exceptions that carry the library's
reason for them.

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
    Any, Callable, Dict, List, NamedTuple, NoReturn, Optional, Sequence, Tuple, Type, Union,
    cast)

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
BLOCK_READER: Sequence[Type[Any]] = (_path, _buffer, _int32)
PROPERTY_WRITER: Sequence[Type[Any]] = (_path, _text)
PICTURE_GETTER: Sequence[Type[Any]] = (_path, _int32, _buffer, _int32)
# The picture's bytes go as a char pointer: ctypes passes a bytes object's
# own buffer, NUL bytes and all, and its size says where it ends.
PICTURE_SETTER: Sequence[Type[Any]] = (_path, _int32, _text, _text, _text, _int32)
PICTURE_REMOVER: Sequence[Type[Any]] = (_path, _int32)
REASON_GETTER: Sequence[Type[Any]] = (_buffer, _int32)


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
    for name, argtypes, family in (
            ("OV_ReadTags", TEXT_GETTER, errors.READ_TAGS),
            ("OV_WriteTags", BLOCK_WRITER, errors.WRITE_TAGS),
            ("OV_ReadProperties", BLOCK_READER, errors.READ_PROPERTIES),
            ("OV_WriteProperties", PROPERTY_WRITER, errors.WRITE_PROPERTIES),
            ("OV_ReadPictures", BLOCK_READER, errors.READ_PICTURES),
            ("OV_GetPicture", PICTURE_GETTER, errors.GET_PICTURE),
            ("OV_SetPicture", PICTURE_SETTER, errors.SET_PICTURE),
            ("OV_RemovePictures", PICTURE_REMOVER, errors.REMOVE_PICTURES),
            ("OV_LastError", REASON_GETTER, errors.LAST_ERROR)):
        found[name] = Export(name, argtypes, family)
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
_last_error = cast(Callable[..., int], LIBRARY.OV_LastError)


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


_REASON_SIZE = 1024


def last_error() -> str:
    """Why the last call of this thread into the library failed
    (OV_LastError), "" when it did not. It must be asked before any other
    call on the thread, which would replace it."""
    size = _REASON_SIZE
    while True:
        buffer = ctypes.create_string_buffer(size)
        length = _last_error(buffer, size)
        # A reason cut at size - 1 bytes gives that count too.
        if length < size - 1 or size >= 1 << 20:
            return buffer.raw[:max(length, 0)].decode("utf-8", "replace")
        size *= 4


def fail(name: str, code: int, path: PathArg, detail: Optional[str] = None) -> NoReturn:
    """Raises the exception for a negative result of export name, with the
    library's reason for it: detail, or else what OV_LastError says now,
    so that it must be called right after the failed call."""
    if detail is None:
        detail = last_error()
    raise errors.error_for(name, EXPORTS[name].family, code, os.fspath(path), detail)


def call(name: str, path: PathArg, *arguments: object) -> int:
    """Calls export name on path; raises for a negative result."""
    result = function(name)(encode_path(path), *arguments)
    if result < 0:
        fail(name, result, path)
    return result


def read_sized(name: str, path: PathArg, *arguments: object) -> bytes:
    """What export name hands out for path (a read of Orvell 1.1: OV_ReadProperties,
    OV_ReadPictures, OV_GetPicture with its index among arguments): asked
    first for the room it needs, with a NULL buffer and a size of 0, then
    read into a buffer of that size. A file that grew in between is asked
    again. Returns the bytes without the NUL a block ends with."""
    raw_path = encode_path(path)
    export = function(name)
    result = _OUTGROWN
    for _ in range(_SIZE_ATTEMPTS):
        size = export(raw_path, *arguments, None, 0)
        if size < 0:
            fail(name, size, path)
        if size == 0:
            return b""  # OV_GetPicture's picture of no bytes
        buffer = ctypes.create_string_buffer(size)
        result = export(raw_path, *arguments, buffer, size)
        if result >= 0:
            return buffer.raw[:result]
        if result != _OUTGROWN:
            break
    fail(name, result, path)


_SIZE_ATTEMPTS = 3
_OUTGROWN = -5
