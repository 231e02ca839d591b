"""All fields of a file in one visit: read() over OV_ReadTags and write() over
OV_WriteTags, with the codecs of their two blocks.

The read block is 17 fields back to back, each "<length>:<bytes>"; the write
block is 13 records, each "<N>:<action><N - 1 bytes>", ended by a NUL, where
the action is "0" keep, "1" set or "2" clear. Fields are known by position
only, in the order of the Tags dataclass below.
"""
import ctypes
import dataclasses
import enum
import os
import threading
from typing import Any, Dict, List, Sequence, Union

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


class Action(enum.Enum):
    """What write() does with a field besides setting it: KEEP leaves it as
    it is (the default of every field), CLEAR empties it."""

    KEEP = "keep"
    CLEAR = "clear"

    def __repr__(self) -> str:
        return f"orvell.{self.name}"


KEEP = Action.KEEP
CLEAR = Action.CLEAR

Text = Union[str, Action]
"""A text field's value for write(): a str, KEEP or CLEAR."""
Number = Union[int, Action]
"""A number field's value for write(): an int from 0 to 2147483647, KEEP or CLEAR."""

# One buffer per thread for the read block, large enough for nearly every
# tag, so that a file is opened and parsed once; a block that does not fit
# is read again into a larger buffer made for that call alone.
_BUFFER_SIZE = 1 << 20
_buffers = threading.local()
# read() calls OV_ReadTags without ctypes' argument conversion, which costs
# more than the rest of its Python work; it passes the exact types itself.
_read_tags = library.unconverted_function("OV_ReadTags")
_write_tags = library.function("OV_WriteTags")
_fsencode = os.fsencode


def read(path: PathArg) -> Tags:
    """Reads every field of the file at path with one OV_ReadTags call.

    The file is opened once and never changed. Returns a Tags; a field the
    file does not hold reads as "" or 0.

    Raises MissingFile (a FileNotFoundError), UnreadableFile (a
    PermissionError) or UnsupportedFormat when the file does not open,
    NoTag when it has no tag, and another OrvellError for any other
    negative result.
    """
    raw_path = _fsencode(path)
    if b"\0" in raw_path:
        library.encode_path(path)  # raises the ValueError that says why
    # The thread's buffer is taken while in use, so that a read started
    # before this one ends (from a signal handler) uses a buffer of its own.
    buffer = _buffers.__dict__.pop("buffer", None)
    if buffer is None:
        buffer = ctypes.create_string_buffer(_BUFFER_SIZE)
    result = _read_tags(raw_path, buffer, _BUFFER_SIZE)
    if result >= 0:
        block: bytes = buffer[:result]  # a slice of a c_char array is bytes
        _buffers.buffer = buffer
        return decode_read_block(block)
    _buffers.buffer = buffer
    size = _BUFFER_SIZE
    while result == -5 and size < values.INT32_MAX:
        size = min(size * 4, values.INT32_MAX)
        larger = ctypes.create_string_buffer(size)
        result = _read_tags(raw_path, larger, size)
        if result >= 0:
            return decode_read_block(ctypes.string_at(larger, result))
    library.fail("OV_ReadTags", result, path)


_TEXT_NAMES = FIELDS[:8]
_NUMBER_NAMES = FIELDS[8:]
_DIGIT = {ord(digit): int(digit) for digit in "0123456789"}
_COLON = ord(":")
_ONE = ord("1")
_new_tags = object.__new__
_set = object.__setattr__


def decode_read_block(block: bytes) -> Tags:
    """The Tags that a read block of OV_ReadTags holds.

    Each field is found by its length prefix. The loops below are the
    package's hottest Python code and are written for the fewest Python
    operations per field: a length of one or two digits (nearly all) is
    read from the block's bytes without int(), and a number field of one
    digit likewise. A block of ASCII bytes only, as most are, is decoded to
    str once and its texts cut from that; any other has each text decoded
    from UTF-8 on its own, an invalid byte replaced.
    """
    fields: Dict[str, Any] = {}
    position = 0
    digit = _DIGIT
    ascii_only = block.isascii()
    source: Any = block.decode("ascii") if ascii_only else block
    try:
        for name in _TEXT_NAMES:
            if block[position + 1] == _COLON:
                start = position + 2
                position = start + digit[block[position]]
            elif block[position + 2] == _COLON:
                start = position + 3
                position = start + digit[block[position]] * 10 + digit[block[position + 1]]
            else:
                start = block.index(_COLON, position) + 1
                position = start + int(block[position:start - 1])
            fields[name] = source[start:position]
        for name in _NUMBER_NAMES:
            if block[position + 1] == _COLON:
                start = position + 2
                if block[position] == _ONE:  # "1:", a number of one digit
                    fields[name] = digit[block[start]]
                    position = start + 1
                    continue
                position = start + digit[block[position]]
            else:
                start = block.index(_COLON, position) + 1
                position = start + int(block[position:start - 1])
            fields[name] = int(block[start:position])
    except (IndexError, KeyError, ValueError):
        raise _malformed(block, f"field {len(fields)} ({FIELDS[len(fields)]}) does not decode") \
            from None
    if position != len(block):
        raise _malformed(block, "its fields do not end where the block ends")
    if not ascii_only:
        for name in _TEXT_NAMES:
            fields[name] = fields[name].decode("utf-8", "replace")
    tags = _new_tags(Tags)
    _set(tags, "__dict__", fields)
    return tags


def _malformed(block: bytes, reason: str) -> OrvellError:
    return OrvellError("OV_ReadTags", len(block), f"the read block does not decode: {reason}")


def write(path: PathArg, *, title: Text = KEEP, artist: Text = KEEP,
          album_artist: Text = KEEP, album: Text = KEEP, genre: Text = KEEP,
          comment: Text = KEEP, composer: Text = KEEP, conductor: Text = KEEP,
          year: Number = KEEP, track: Number = KEEP, track_total: Number = KEEP,
          disc: Number = KEEP, disc_total: Number = KEEP) -> bool:
    """Changes fields of the file at path with one OV_WriteTags call.

    Every field is a keyword. A text field (title to conductor) takes a
    str, the empty text included; a number field (year to disc_total) an
    int from 0 to 2147483647. CLEAR empties a field; a field left out, or
    given KEEP, is kept as it is.

    All values are checked before the file is touched: a wrong type raises
    TypeError, a bad value ValueError. Clearing the track drops the track
    total with it; clearing the disc leaves the disc total as it was.

    Returns True when the file was saved, False when every field was kept
    (the file is then not opened). Raises MissingFile, UnreadableFile or
    UnsupportedFormat when the file does not open, NoTag, SaveFailed, or
    another OrvellError for a negative result.
    """
    block = encode_write_block((title, artist, album_artist, album, genre, comment, composer,
                                conductor, year, track, track_total, disc, disc_total))
    raw_path = library.encode_path(path)
    result = _write_tags(raw_path, block, len(block))
    if result < 0:
        library.fail("OV_WriteTags", result, path)
    return result == 1


def encode_write_block(changes: Sequence[object]) -> bytes:
    """The write block, NUL included, for the 13 writable fields' values in
    field order, each KEEP, CLEAR or a value."""
    if len(changes) != len(WRITABLE_FIELDS):
        raise ValueError(f"a write block has {len(WRITABLE_FIELDS)} records, not {len(changes)}")
    records: List[bytes] = []
    for name, value in zip(WRITABLE_FIELDS, changes):
        if value is KEEP:
            records.append(b"1:0")
        elif value is CLEAR:
            records.append(b"1:2")
        elif value is None:
            raise TypeError(f"{name} is None: pass orvell.CLEAR to empty it, or leave it out")
        else:
            if name in TEXT_FIELDS:
                data = values.text_bytes(value, name)
            else:
                data = b"%d" % values.number(value, name)
            records.append(b"%d:1%s" % (len(data) + 1, data))
    block = b"".join(records) + b"\0"
    if len(block) > values.INT32_MAX:
        raise ValueError("the values together are too long for one write block")
    return block
