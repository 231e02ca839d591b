"""All fields of a file in one visit: read() over OV_ReadTags and write() over
OV_WriteTags, with the codecs of their two blocks.

The read block is 17 fields back to back, each "<length>:<bytes>"; the write
block is 13 records, each "<N>:<action><N - 1 bytes>", ended by a NUL, where
the action is "0" keep, "1" set or "2" clear. Fields are known by position
only, in the order of the Tags dataclass below.
"""
from __future__ import annotations

import ctypes
import dataclasses
import re
from typing import List, Union

from . import _library as library
from . import _values as values
from ._errors import OrvellError
from ._library import PathArg


@dataclasses.dataclass(frozen=True)
class Tags:
    """The 17 fields of one file, as OV_ReadTags reports them.

    Texts are str and numbers int. A field the file does not hold reads as
    "" or 0; so do the audio properties of a file that has none. The last
    four fields are measured from the audio and cannot be written.
    """

    title: str = ""
    artist: str = ""
    album_artist: str = ""
    album: str = ""
    genre: str = ""
    comment: str = ""
    composer: str = ""
    conductor: str = ""
    year: int = 0
    track: int = 0
    track_total: int = 0
    disc: int = 0
    disc_total: int = 0
    duration: int = 0
    """Length in whole seconds, to the nearest second (a half rounds up)."""
    bitrate: int = 0
    """Kilobits per second, as TagLib measures it."""
    sample_rate: int = 0
    """Hertz."""
    channels: int = 0


FIELDS: List[str] = [field.name for field in dataclasses.fields(Tags)]
TEXT_FIELDS = FIELDS[:8]
WRITABLE_FIELDS = FIELDS[:13]
READ_ONLY_FIELDS = FIELDS[13:]


class _Clear:
    """The type of CLEAR."""

    _instance = None

    def __new__(cls) -> "_Clear":
        if cls._instance is None:
            cls._instance = super().__new__(cls)
        return cls._instance

    def __repr__(self) -> str:
        return "orvell.CLEAR"

    def __reduce__(self) -> str:
        return "CLEAR"


CLEAR = _Clear()
"""Passed to write() as a field's value, empties that field."""

_INITIAL_READ_SIZE = 8192
_NUMBER = re.compile(rb"-?[0-9]+")


def read(path: PathArg) -> Tags:
    """Reads every field of the file at path with one OV_ReadTags call.

    The file is opened once and never changed. When the block does not fit
    the buffer, the call is repeated with a larger one.

    Raises FileNotOpened, NoTag or another OrvellError for a negative result.
    """
    raw_path = library.encode_path(path)
    read_tags = library.function("OV_ReadTags")
    size = _INITIAL_READ_SIZE
    while True:
        buffer = ctypes.create_string_buffer(size)
        result = read_tags(raw_path, buffer, size)
        if result >= 0:
            return decode_read_block(buffer.raw[:result])
        if result != -5 or size == values.INT32_MAX:
            library.fail("OV_ReadTags", result, path)
        size = min(size * 4, values.INT32_MAX)


def decode_read_block(block: bytes) -> Tags:
    """The Tags that a read block of OV_ReadTags holds."""
    decoded: List[Union[str, int]] = []
    position = 0
    for index, name in enumerate(FIELDS):
        colon = block.find(b":", position)
        digits = block[position:colon]
        if colon < 0 or not digits.isdigit():
            raise _malformed(block, f"field {index} ({name}) has no length")
        start = colon + 1
        end = start + int(digits)
        if end > len(block):
            raise _malformed(block, f"field {index} ({name}) runs past the end")
        value = block[start:end]
        if index < len(TEXT_FIELDS):
            decoded.append(values.decode_text(value))
        elif _NUMBER.fullmatch(value):
            decoded.append(int(value))
        else:
            raise _malformed(block, f"field {index} ({name}) is not a number: {value!r}")
        position = end
    if position != len(block):
        raise _malformed(block, "bytes follow the last field")
    return Tags(*decoded)


def _malformed(block: bytes, reason: str) -> OrvellError:
    return OrvellError("OV_ReadTags", len(block), f"the read block does not decode: {reason}")


def write(path: PathArg, **changes: object) -> bool:
    """Changes fields of the file at path with one OV_WriteTags call.

    Each keyword names a writable field of Tags (title to disc_total). A
    field given a value is set to it: a str for title to conductor (the
    empty text included), an int from 0 to 2147483647 for year to
    disc_total. A field given CLEAR is emptied. A field not given is kept.

    All values are checked before the file is touched: a wrong type raises
    TypeError, a bad value ValueError. Clearing the track drops the track
    total with it; clearing the disc leaves the disc total as it was.

    Returns True when the file was saved, False when nothing was asked (the
    file is then not opened). Raises FileNotOpened, NoTag, SaveFailed or
    another OrvellError for a negative result.
    """
    block = encode_write_block(changes)
    raw_path = library.encode_path(path)
    result = library.function("OV_WriteTags")(raw_path, block, len(block))
    if result < 0:
        library.fail("OV_WriteTags", result, path)
    return result == 1


def encode_write_block(changes: "dict[str, object]") -> bytes:
    """The write block, NUL included, for write()'s keyword arguments."""
    for name in changes:
        if name in READ_ONLY_FIELDS:
            raise TypeError(f"{name} is measured from the audio and cannot be written")
        if name not in WRITABLE_FIELDS:
            raise TypeError(f"write() got an unknown field {name!r}")
    records: List[bytes] = []
    for name in WRITABLE_FIELDS:
        if name not in changes:
            records.append(b"1:0")
            continue
        value = changes[name]
        if value is CLEAR:
            records.append(b"1:2")
            continue
        if value is None:
            raise TypeError(f"{name} is None: pass orvell.CLEAR to empty it, or leave it out")
        if name in TEXT_FIELDS:
            data = values.text_bytes(value, name)
        else:
            data = str(values.number(value, name)).encode("ascii")
        records.append(b"%d:1%s" % (len(data) + 1, data))
    block = b"".join(records) + b"\0"
    if len(block) > values.INT32_MAX:
        raise ValueError("the values together are too long for one write block")
    return block
