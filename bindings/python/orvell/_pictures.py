"""The pictures embedded in a file: pictures() lists them (OV_ReadPictures,
sizes only), picture_data() hands out one's bytes (OV_GetPicture),
set_picture() and remove_pictures() change them (OV_SetPicture,
OV_RemovePictures).

Pictures go by the ID3v2 picture types, 0 to 20, whatever the format: 3 is
the front cover, 4 the back cover, 0 any other. MP4 keeps front covers
only, without a description, and APE one picture per type.
"""
from __future__ import annotations

from typing import List, NamedTuple, Optional

from . import _library as library
from . import _values as values
from ._library import PathArg
from ._properties import block_fields, malformed

FRONT_COVER = 3
_LAST_TYPE = 20


class Picture(NamedTuple):
    """One picture of a file, as OV_ReadPictures lists it: not its bytes,
    which picture_data() reads."""

    type: int
    """The ID3v2 picture type, 0 to 20: 3 the front cover, 4 the back cover."""
    mime: str
    """Its MIME type, such as "image/jpeg"."""
    description: str
    """Its description; "" for none."""
    size: int
    """Its size in bytes."""


def pictures(path: PathArg) -> List[Picture]:
    """The pictures of the file at path, in the order the file keeps them.

    Only their type, MIME type, description and size are read, never their
    bytes (picture_data()). A file without pictures gives []. The file is
    read twice, with OV_ReadPictures asked first for the room its block
    needs; it is never changed. Raises MissingFile, UnreadableFile or
    UnsupportedFormat when the file does not open, NoTag when it has no
    tag, and another OrvellError for any other failure.
    """
    block = library.read_sized("OV_ReadPictures", path)
    fields = list(block_fields(block, "OV_ReadPictures"))
    if len(fields) % 4 != 0 or not all(fields[i].isdigit() and fields[i + 3].isdigit()
                                       for i in range(0, len(fields), 4)):
        raise malformed(block, "OV_ReadPictures", len(block))
    return [Picture(int(fields[i]), values.decode_text(fields[i + 1]),
                    values.decode_text(fields[i + 2]), int(fields[i + 3]))
            for i in range(0, len(fields), 4)]


def picture_data(path: PathArg, index: int) -> bytes:
    """The bytes of picture index (from 0, in the order of pictures()).

    Asks OV_GetPicture for the picture's size, then reads it into a buffer
    of that size. Raises NoSuchPicture (an IndexError) when the file holds
    no picture at index, ValueError for a negative index, and the errors
    of pictures() otherwise.
    """
    number = values.number(index, "index")
    return library.read_sized("OV_GetPicture", path, number)


def set_picture(path: PathArg, data: bytes, *, type: int = FRONT_COVER,
                mime: Optional[str] = None, description: str = "") -> bool:
    """Puts data in the place of every picture of that type (the front
    cover by default), adding it where the file has none, and saves.

    mime None (or "") lets the library tell the MIME type from the bytes:
    JPEG, PNG, GIF, BMP or WebP. Returns True. Everything is checked before
    the file is touched: a wrong type raises TypeError, an empty picture or
    a type outside 0 to 20 ValueError. Raises InvalidArgument when no mime
    is given and the bytes are none of those images, CannotHold when the
    file's format cannot hold such a picture (MP4 holds front covers of
    JPEG, PNG, GIF or BMP without a description), SaveFailed when the save
    fails or is refused, and the errors of pictures() otherwise.
    """
    if not isinstance(data, (bytes, bytearray, memoryview)):
        raise TypeError(f"the picture must be bytes, not {_type_name(data)}")
    picture = bytes(data)
    if not 0 < len(picture) <= values.INT32_MAX:
        raise ValueError(f"the picture must hold 1 to {values.INT32_MAX} bytes, not {len(picture)}")
    raw_mime = None if mime is None else values.text_bytes(mime, "mime")
    raw_description = values.text_bytes(description, "description")
    library.call("OV_SetPicture", path, _picture_type(type, "type"), raw_mime, raw_description,
                 picture, len(picture))
    return True


def remove_pictures(path: PathArg, type: Optional[int] = None) -> bool:
    """Removes the pictures of that type (0 to 20), or every picture with
    None, and saves. Returns True when it saved, False when the file holds
    no such picture (nothing is saved). Raises as set_picture() does."""
    chosen = -1 if type is None else _picture_type(type, "type")
    return library.call("OV_RemovePictures", path, chosen) == 1


def _picture_type(value: object, what: str) -> int:
    return values.number(value, what, _LAST_TYPE, "a picture type ")


def _type_name(value: object) -> str:
    """The name of value's class, for messages (the keyword "type" hides the builtin here)."""
    return value.__class__.__name__
