"""Every property of a file with all its values: properties() over
OV_ReadProperties and write_properties() over OV_WriteProperties, with the
codec of their block.

The block is fields back to back, each "<length>:<bytes>"; an entry is its
key, the count of its values and the values, so that

    5:TITLE1:113:Blue in Green6:ARTIST1:25:Miles4:Bill

is TITLE = ["Blue in Green"], ARTIST = ["Miles", "Bill"]. In a write block
a count of 0 removes the key.
"""
from __future__ import annotations

from typing import Dict, Iterator, List, Mapping, Tuple, Union

from . import _library as library
from . import _values as values
from ._errors import OrvellError
from ._library import PathArg

Values = Union[List[str], Tuple[str, ...]]
"""The values of one key for write_properties(): a list (or tuple) of str;
an empty one removes the key."""

_MAX_KEY = 255


def properties(path: PathArg) -> Dict[str, List[str]]:
    """Every property of the file at path, with all its values.

    Keys are TagLib's property keys, in upper case and sorted: the fields'
    own ("TITLE", "ARTIST", "ALBUMARTIST", "DATE", "TRACKNUMBER"), the
    MusicBrainz and ReplayGain keys ("MUSICBRAINZ_TRACKID",
    "REPLAYGAIN_TRACK_GAIN"), and any other key the file's tag holds. Each
    maps to its values, never joined. A file without properties gives {}.

    The file is read twice, with OV_ReadProperties asked first for the room
    its block needs; it is never changed. Raises MissingFile,
    UnreadableFile or UnsupportedFormat when the file does not open, NoTag
    when it has no tag, and another OrvellError for any other failure.
    """
    block = library.read_sized("OV_ReadProperties", path)
    found: Dict[str, List[str]] = {}
    fields = block_fields(block, "OV_ReadProperties")
    for key in fields:
        count = _number(next(fields, None), block)
        found[key.decode("utf-8", "replace")] = [
            _text(next(fields, None), block) for _ in range(count)]
    return found


def write_properties(path: PathArg, changes: Mapping[str, Values]) -> bool:
    """Sets each key of changes to its values and saves the file once.

    An empty list removes the key; keys not named are kept as they are.
    Keys are printable ASCII of 1 to 255 bytes without "=", taken in upper
    case; two that differ only in case cannot both be named. Values are
    str. Setting "TRACKNUMBER" or "DISCNUMBER", or one of their total keys
    ("TRACKTOTAL", "DISCTOTAL", ...), keeps the pair and every total key
    the file has telling the same total.

    Everything is checked before the file is touched: a wrong type raises
    TypeError, a bad key or value ValueError. Returns True when the file
    was saved, False when changes names no key (the file is then not
    opened). Raises CannotHold when the file's format cannot hold one of
    the keys (nothing is saved), SaveFailed when the save fails or is
    refused, MissingFile, UnreadableFile or UnsupportedFormat when the
    file does not open, NoTag, or another OrvellError.
    """
    block = encode_property_block(changes)
    result = library.function("OV_WriteProperties")(library.encode_path(path), block)
    if result < 0:
        library.fail("OV_WriteProperties", result, path)
    return result == 1


def encode_property_block(changes: Mapping[str, Values]) -> bytes:
    """The property block, NUL included, that writes changes."""
    if not isinstance(changes, Mapping):
        raise TypeError(f"the changes must be a mapping of keys to lists of str, "
                        f"not {type(changes).__name__}")
    parts: List[bytes] = []
    seen: Dict[str, str] = {}
    for key, texts in changes.items():
        raw_key = _key_bytes(key)
        earlier = seen.setdefault(key.upper(), key)
        if earlier != key:
            raise ValueError(f"the keys {earlier!r} and {key!r} name the same property")
        if isinstance(texts, (str, bytes)) or not isinstance(texts, (list, tuple)):
            raise TypeError(f"the values of {key!r} must be a list of str, "
                            f"not {type(texts).__name__}")
        parts.append(_field(raw_key))
        parts.append(_field(b"%d" % len(texts)))
        for text in texts:
            parts.append(_field(values.text_bytes(text, f"a value of {key!r}")))
    block = b"".join(parts) + b"\0"
    if len(block) > values.INT32_MAX:
        raise ValueError("the values together are too long for one property block")
    return block


def _key_bytes(key: object) -> bytes:
    if not isinstance(key, str):
        raise TypeError(f"a property key must be a str, not {type(key).__name__}")
    if not 1 <= len(key) <= _MAX_KEY or any(not " " <= c <= "~" or c == "=" for c in key):
        raise ValueError(f"{key!r} is not a property key: 1 to {_MAX_KEY} characters of "
                         "printable ASCII, without '='")
    return key.encode("ascii")


def _field(data: bytes) -> bytes:
    return b"%d:%s" % (len(data), data)


def block_fields(block: bytes, function: str) -> Iterator[bytes]:
    """The fields of a read block of function in turn, each found by its
    length; raises when one does not decode."""
    position = 0
    while position < len(block):
        colon = block.find(b":", position)
        digits = block[position:colon]
        if colon < 0 or not digits.isdigit() or (len(digits) > 1 and digits[0] == ord("0")):
            raise malformed(block, function, position)
        start = colon + 1
        position = start + int(digits)
        if position > len(block):
            raise malformed(block, function, start)
        yield block[start:position]


def _number(field: Union[bytes, None], block: bytes) -> int:
    if field is None or not field.isdigit():
        raise malformed(block, "OV_ReadProperties", len(block))
    return int(field)


def _text(field: Union[bytes, None], block: bytes) -> str:
    if field is None:
        raise malformed(block, "OV_ReadProperties", len(block))
    return values.decode_text(field)


def malformed(block: bytes, function: str, position: int) -> OrvellError:
    """The error for a read block of function that does not decode."""
    return OrvellError(function, len(block),
                       f"the block does not decode: a field at byte {position} does not")
