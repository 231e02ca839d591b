"""One field per call: the single-field exports under Python names.

Every function opens the file, does its one job and closes it again; to
read or change several fields of a file, read() and write() make one visit
instead. Getters return str or int; setters save the file and return True,
as write() does. Failures raise OrvellError subclasses: MissingFile,
UnreadableFile or UnsupportedFormat (all FileNotOpened, an OSError), NoTag,
NoAudioProperties, SaveFailed.
"""
from __future__ import annotations

import ctypes
from typing import cast

from . import _library as library
from . import _values as values
from ._bulk import read
from ._errors import NoTag, OrvellError
from ._library import PathArg

_INITIAL_TEXT_SIZE = 256


def _get_text(name: str, path: PathArg) -> str:
    # The getters cut a text that does not fit at size - 1 bytes, and an
    # exactly fitting text gives the same count, so a full buffer is read
    # again with a larger one.
    raw_path = library.encode_path(path)
    getter = library.function(name)
    size = _INITIAL_TEXT_SIZE
    while True:
        buffer = ctypes.create_string_buffer(size)
        result = getter(raw_path, buffer, size)
        if result < 0:
            library.fail(name, result, path)
        if result < size - 1 or size == values.INT32_MAX:
            return values.decode_text(buffer.raw[:result])
        size = min(size * 4, values.INT32_MAX)


def _set_text(name: str, path: PathArg, text: str, *flag: int) -> bool:
    return library.call(name, path, values.text_bytes(text, "text"), *flag) == 1


def _set_number(name: str, path: PathArg, value: int, what: str) -> bool:
    return library.call(name, path, values.number(value, what)) == 1


def _get_pair_half(name: str, path: PathArg, field: str) -> int:
    # A pair getter hands back a stored negative number as it is, so a
    # result that is also one of its error codes (-2 for a file that did
    # not open, -9) is ambiguous. One bulk read settles it: it fails when
    # the file does not open, and otherwise reports the same stored pair.
    result = library.function(name)(library.encode_path(path))
    if result not in library.EXPORTS[name].family.codes:
        return result
    # The library's reason for a failure, asked before the read replaces it.
    detail = library.last_error()
    try:
        return cast(int, getattr(read(path), field))
    except NoTag:
        return result  # the file opened, so the result was the stored number
    except OrvellError:
        library.fail(name, result, path, detail)


# Core tag fields, through the file's generic tag.

def get_title(path: PathArg) -> str:
    """The title of the file at path."""
    return _get_text("OV_GetTitle", path)


def get_artist(path: PathArg) -> str:
    """The artist of the file at path."""
    return _get_text("OV_GetArtist", path)


def get_album(path: PathArg) -> str:
    """The album of the file at path."""
    return _get_text("OV_GetAlbum", path)


def get_genre(path: PathArg) -> str:
    """The genre of the file at path."""
    return _get_text("OV_GetGenre", path)


def get_comment(path: PathArg) -> str:
    """The comment of the file at path."""
    return _get_text("OV_GetComment", path)


def set_title(path: PathArg, text: str) -> bool:
    """Sets the title and saves; an empty text empties it. Returns True."""
    return _set_text("OV_SetTitle", path, text)


def set_artist(path: PathArg, text: str) -> bool:
    """Sets the artist and saves; an empty text empties it. Returns True."""
    return _set_text("OV_SetArtist", path, text)


def set_album(path: PathArg, text: str) -> bool:
    """Sets the album and saves; an empty text empties it. Returns True."""
    return _set_text("OV_SetAlbum", path, text)


def set_genre(path: PathArg, text: str) -> bool:
    """Sets the genre and saves; an empty text empties it. Returns True."""
    return _set_text("OV_SetGenre", path, text)


def set_comment(path: PathArg, text: str) -> bool:
    """Sets the comment and saves; an empty text empties it. Returns True."""
    return _set_text("OV_SetComment", path, text)


def get_year(path: PathArg) -> int:
    """The year of the generic tag; 0 when it holds none."""
    return library.call("OV_GetYear", path)


def get_track(path: PathArg) -> int:
    """The track number of the generic tag alone (read() may differ: it
    prefers the number stored with the track total)."""
    return library.call("OV_GetTrack", path)


def set_year(path: PathArg, year: int) -> bool:
    """Sets the year (0 to 2147483647; 0 removes it) and saves. Returns True."""
    return _set_number("OV_SetYear", path, year, "year")


# Audio properties, read only.

def get_duration(path: PathArg) -> int:
    """The length in whole seconds, to the nearest second (a half rounds up)."""
    return library.call("OV_GetDuration", path)


def get_bitrate(path: PathArg) -> int:
    """The bitrate in kilobits per second."""
    return library.call("OV_GetBitrate", path)


def get_sample_rate(path: PathArg) -> int:
    """The sample rate in hertz."""
    return library.call("OV_GetSampleRate", path)


def get_channels(path: PathArg) -> int:
    """The number of channels."""
    return library.call("OV_GetChannels", path)


# Album artist, composer and conductor, through the property map.

def get_album_artist(path: PathArg) -> str:
    """The first album artist; "" when there is none."""
    return _get_text("OV_GetAlbumArtist", path)


def get_composer(path: PathArg) -> str:
    """The first composer; "" when there is none."""
    return _get_text("OV_GetComposer", path)


def get_conductor(path: PathArg) -> str:
    """The first conductor; "" when there is none."""
    return _get_text("OV_GetConductor", path)


def set_album_artist(path: PathArg, text: str) -> bool:
    """Makes text the only album artist and saves; an empty text removes it. Returns True."""
    return _set_text("OV_SetAlbumArtist", path, text)


def set_composer(path: PathArg, text: str) -> bool:
    """Makes text the only composer and saves; an empty text removes it. Returns True."""
    return _set_text("OV_SetComposer", path, text)


def set_conductor(path: PathArg, text: str) -> bool:
    """Makes text the only conductor and saves; an empty text removes it. Returns True."""
    return _set_text("OV_SetConductor", path, text)


def set_artist_sync(path: PathArg, text: str, sync: bool = True) -> bool:
    """Sets the artist and, when sync is true, the album artist to the same
    text (an empty text then removes the album artist), with one save. Returns True."""
    return _set_text("OV_SetArtistSync", path, text, 1 if sync else 0)


# Track and disc numbers. A setter rewrites its half of the pair and keeps
# the other; a pair whose halves are both 0 is removed.

def get_track_total(path: PathArg) -> int:
    """The track total; 0 when there is none."""
    return _get_pair_half("OV_GetTrackTotal", path, "track_total")


def get_disc(path: PathArg) -> int:
    """The disc number; 0 when there is none."""
    return _get_pair_half("OV_GetDisc", path, "disc")


def get_disc_total(path: PathArg) -> int:
    """The disc total; 0 when there is none."""
    return _get_pair_half("OV_GetDiscTotal", path, "disc_total")


def set_track(path: PathArg, number: int) -> bool:
    """Sets the track number (0 to 2147483647), keeps the total, saves. Returns True."""
    return _set_number("OV_SetTrack", path, number, "track")


def set_track_total(path: PathArg, total: int) -> bool:
    """Sets the track total (0 drops it), keeps the number, saves. Returns True."""
    return _set_number("OV_SetTrackTotal", path, total, "track total")


def set_disc(path: PathArg, number: int) -> bool:
    """Sets the disc number (0 to 2147483647), keeps the total, saves. Returns True."""
    return _set_number("OV_SetDisc", path, number, "disc")


def set_disc_total(path: PathArg, total: int) -> bool:
    """Sets the disc total (0 drops it), keeps the number, saves. Returns True."""
    return _set_number("OV_SetDiscTotal", path, total, "disc total")
