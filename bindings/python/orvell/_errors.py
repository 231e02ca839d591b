"""Exceptions, and what each negative result means in each function family.

liborvell reports every failure as a negative int32 whose meaning depends on
the family of the function that returned it: -2 is a bad buffer for a text
getter, a file that did not open for a number getter, and a NULL text or a
negative number for a setter. Each family below maps its codes to an
exception class and a message. Why the call failed, in the library's own
words (OV_LastError: "no such file", "save refused: ..."), is the
exception's detail.
"""
from __future__ import annotations

import errno as errnos
import os
import stat
from typing import Dict, Mapping, NamedTuple, Optional, Tuple, Type, Union

PathLabel = Union[str, bytes, None]


class OrvellError(Exception):
    """A liborvell function returned an error code.

    Attributes:
        code: the negative result the C function returned.
        function: the name of that C function, such as "OV_GetTitle".
        path: the path the call was given, as the caller passed it.
        reason: what the code means for that function, in words.
        detail: why the call failed, as the library said right after it
            (OV_LastError: "no such file", "save refused: another program
            changed the file since it was read"); "" where it said nothing.
    """

    def __init__(self, function: str, code: int, reason: str, path: PathLabel = None,
                 detail: str = "") -> None:
        where = "" if path is None else f" for {path!r}"
        self.message = f"{function} returned {code}{where}: {reason}"
        if detail:
            self.message += f": {detail}"
        super().__init__(self.message)
        self.function = function
        self.code = code
        self.reason = reason
        self.path = path
        self.detail = detail

    def __str__(self) -> str:
        return self.message

    def __reduce__(self) -> Tuple[type, Tuple[object, ...]]:  # keeps the attributes across pickling
        return (type(self), (self.function, self.code, self.reason, self.path, self.detail))


class InvalidArgument(OrvellError, ValueError):
    """The library refused an argument: an empty path, for instance."""


class FileNotOpened(OrvellError, OSError):
    """The file did not open: it is missing, unreadable, or not a format
    TagLib handles. Also an OSError, raised as one of the three subclasses
    below when the path tells which; errno, strerror and filename are set
    as an OSError sets them (errno None for a file that exists and may be
    read).
    """

    def __init__(self, function: str, code: int, reason: str, path: PathLabel = None,
                 errno: Optional[int] = None, detail: str = "") -> None:
        super().__init__(function, code, reason, path, detail)
        # None where no system error applies, as OSError itself leaves them.
        self.errno = errno  # type: ignore[assignment]
        self.strerror = None if errno is None else os.strerror(errno)  # type: ignore[assignment]
        self.filename = path

    def __reduce__(self) -> Tuple[type, Tuple[object, ...]]:
        return (type(self), (self.function, self.code, self.reason, self.path, self.errno,
                             self.detail))


class MissingFile(FileNotOpened, FileNotFoundError):
    """The file did not open because it does not exist."""


class UnreadableFile(FileNotOpened, PermissionError):
    """The file did not open because this process may not read it."""


class UnsupportedFormat(FileNotOpened):
    """The file exists and may be read, but TagLib does not handle its format
    or cannot make sense of its content."""


class NoTag(OrvellError):
    """The file opened but has no tag to read or write."""


class NoAudioProperties(OrvellError):
    """The file opened but TagLib found no audio properties in it."""


class SaveFailed(OrvellError):
    """The change was made in memory but saving the file failed."""


class InvalidBlock(OrvellError, ValueError):
    """OV_WriteTags refused the write block (-5 framing, -6 action, -7 number),
    or OV_WriteProperties its property block (-5 framing, -6 a key)."""


class BlockTooLarge(OrvellError):
    """The read block does not fit the buffer: it is larger than an int32
    can size, or the file grew between the call that asked for its size
    and the read."""


class CannotHold(OrvellError):
    """The file's format cannot hold what was to be written: a property key
    (an ID3v1-only MP3, RIFF INFO), or a picture (of that kind, or any)."""


class NoSuchPicture(OrvellError, IndexError):
    """The file holds no picture at the index asked for."""


class UnexpectedFailure(OrvellError):
    """An unexpected failure inside the library, such as memory running out."""


Meaning = Tuple[Type[OrvellError], str]


class Family(NamedTuple):
    """The codes of one function family, each with its exception and reason."""

    name: str
    codes: Mapping[int, Meaning]


_PATH: Meaning = (InvalidArgument, "the path is empty")
_BUFFER: Meaning = (InvalidArgument, "the buffer is NULL or its size is not positive")
_TEXT: Meaning = (InvalidArgument, "the text is NULL")
_NEGATIVE: Meaning = (InvalidArgument, "the number is negative")
_NOT_OPENED: Meaning = (FileNotOpened, "the file did not open")
_NO_TAG: Meaning = (NoTag, "the file has no tag")
_NO_AUDIO: Meaning = (NoAudioProperties, "the file has no audio properties")
_SAVE: Meaning = (SaveFailed, "saving the file failed")
_UNEXPECTED: Meaning = (
    UnexpectedFailure,
    "unexpected failure inside the library, such as memory running out in TagLib",
)


def _family(name: str, codes: Dict[int, Meaning]) -> Family:
    codes.setdefault(-9, _UNEXPECTED)
    return Family(name, codes)


TAG_TEXT_GETTER = _family(
    "tag text getter", {-1: _PATH, -2: _BUFFER, -3: _NOT_OPENED, -4: _NO_TAG})
PROPERTY_TEXT_GETTER = _family(
    "property text getter", {-1: _PATH, -2: _BUFFER, -3: _NOT_OPENED})
TAG_NUMBER_GETTER = _family(
    "tag number getter", {-1: _PATH, -2: _NOT_OPENED, -3: _NO_TAG})
AUDIO_GETTER = _family(
    "audio property getter", {-1: _PATH, -2: _NOT_OPENED, -3: _NO_AUDIO})
# A pair getter returns a stored negative number as it is, so its -2 and -9
# may be data as well as errors; the caller of this family tells them apart.
PAIR_GETTER = _family("pair getter", {-1: _PATH, -2: _NOT_OPENED})
TAG_TEXT_SETTER = _family(
    "tag text setter", {-1: _PATH, -2: _TEXT, -3: _NOT_OPENED, -4: _NO_TAG, -5: _SAVE})
PROPERTY_TEXT_SETTER = _family(
    "property text setter", {-1: _PATH, -2: _TEXT, -3: _NOT_OPENED, -5: _SAVE})
YEAR_SETTER = _family(
    "year setter", {-1: _PATH, -2: _NEGATIVE, -3: _NOT_OPENED, -4: _NO_TAG, -5: _SAVE})
PAIR_SETTER = _family(
    "pair setter", {-1: _PATH, -2: _NEGATIVE, -3: _NOT_OPENED, -5: _SAVE})
READ_TAGS = _family("bulk read", {
    -1: _PATH, -2: _BUFFER, -3: _NOT_OPENED, -4: _NO_TAG,
    -5: (BlockTooLarge, "the read block does not fit the buffer"),
})
WRITE_TAGS = _family("bulk write", {
    -1: _PATH,
    -2: (InvalidArgument, "the block is NULL or its size is not positive"),
    -3: _NOT_OPENED,
    -4: _NO_TAG,
    -5: (InvalidBlock, "the write block is malformed"),
    -6: (InvalidBlock, "the write block holds an action other than keep, set or clear"),
    -7: (InvalidBlock, "the write block holds a number a numeric field cannot take"),
    -8: _SAVE,
})

# The calls of Orvell 1.1. Their reads may be asked for the room they need
# (a NULL buffer and a size of 0), and report a buffer the block outgrew.
_READ_BUFFER: Meaning = (
    InvalidArgument, "the buffer is NULL with a size other than 0, or its size is negative")
_OUTGROWN: Meaning = (BlockTooLarge, "the block does not fit the buffer")
_CANNOT_HOLD_PICTURE: Meaning = (CannotHold, "the file's format cannot hold this picture")
READ_PROPERTIES = _family("property read", {
    -1: _PATH, -2: _READ_BUFFER, -3: _NOT_OPENED, -4: _NO_TAG, -5: _OUTGROWN})
READ_PICTURES = _family("picture read", {
    -1: _PATH, -2: _READ_BUFFER, -3: _NOT_OPENED, -4: _NO_TAG, -5: _OUTGROWN})
GET_PICTURE = _family("picture getter", {
    -1: _PATH,
    -2: (InvalidArgument, "the index is negative, or the buffer is NULL with a size other than 0"),
    -3: _NOT_OPENED, -4: _NO_TAG, -5: _OUTGROWN,
    -6: (NoSuchPicture, "the file holds no picture at that index"),
})
WRITE_PROPERTIES = _family("property write", {
    -1: _PATH,
    -2: (InvalidArgument, "the block is NULL"),
    -3: _NOT_OPENED,
    -4: _NO_TAG,
    -5: (InvalidBlock, "the property block is malformed"),
    -6: (InvalidBlock, "the property block holds a key that is not one"),
    -7: (CannotHold, "the file's format cannot hold one of the keys"),
    -8: _SAVE,
})
SET_PICTURE = _family("picture setter", {
    -1: _PATH,
    -2: (InvalidArgument, "the library refused the picture's type, bytes or MIME type"),
    -3: _NOT_OPENED, -4: _NO_TAG, -5: _SAVE, -6: _CANNOT_HOLD_PICTURE,
})
REMOVE_PICTURES = _family("picture remover", {
    -1: _PATH, -2: (InvalidArgument, "the type is outside -1 to 20"), -3: _NOT_OPENED,
    -4: _NO_TAG, -5: _SAVE,
})
LAST_ERROR = _family("last error", {-2: _BUFFER})


def error_for(function: str, family: Family, code: int, path: PathLabel = None,
              detail: str = "") -> OrvellError:
    """The exception for a negative result of function, a member of family;
    detail is the library's reason for it (OV_LastError).

    A file that did not open is looked at again, once the call has failed,
    to tell a missing or unreadable file from one TagLib does not handle;
    what that look finds is the detail where the library gave none.
    """
    cls, reason = family.codes.get(
        code, (OrvellError, f"a result the {family.name} family does not document"))
    if cls is FileNotOpened and path is not None:
        return _not_opened(function, code, reason, path, detail)
    return cls(function, code, reason, path, detail=detail)


def _not_opened(function: str, code: int, reason: str, path: Union[str, bytes],
                detail: str) -> FileNotOpened:
    try:
        mode = os.stat(path).st_mode
    except OSError as error:
        cls = _STAT_FAILURES.get(error.errno, FileNotOpened)
        return cls(function, code, reason, path, error.errno,
                   detail or (error.strerror or "").lower())
    if stat.S_ISDIR(mode):
        return FileNotOpened(function, code, reason, path, errnos.EISDIR,
                             detail or "it is a directory")
    if not os.access(path, os.R_OK):
        return UnreadableFile(function, code, reason, path, errnos.EACCES,
                              detail or "this process may not read it")
    return UnsupportedFormat(
        function, code, reason, path,
        detail=detail or "it is not an audio format TagLib handles, or it is damaged")


_STAT_FAILURES: Dict[int, Type[FileNotOpened]] = {
    errnos.ENOENT: MissingFile,
    errnos.EACCES: UnreadableFile,
    errnos.EPERM: UnreadableFile,
}

