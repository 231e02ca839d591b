"""Read and write the tags and audio properties of audio files with liborvell.

A pure-Python binding through ctypes: no compiled extension, only the shared
library, found as described in orvell._library (ORVELL_LIBRARY, the build
tree, then the system's library path).

    >>> import orvell
    >>> tags = orvell.read("song.flac")          # all 17 fields, one visit
    >>> tags.title, tags.track, tags.duration
    ('Blue in Green', 3, 2)
    >>> orvell.write("song.flac", year=2024, comment=orvell.CLEAR)
    True
    >>> orvell.get_album("song.flac")            # one field per call
    'Silent Standards'

Paths may be str, bytes or os.PathLike. Texts are str, numbers int. Each
call opens the file, does its job, saves when it changed something, and
closes it; nothing is kept between calls, and calls may come from any
thread (the library is entered without the GIL). Failures raise
OrvellError subclasses that carry the C function's name and its code.
"""
from ._bulk import CLEAR, FIELDS, READ_ONLY_FIELDS, WRITABLE_FIELDS, Tags, read, write
from ._errors import (
    BlockTooLarge,
    FileNotOpened,
    InvalidArgument,
    InvalidBlock,
    NoAudioProperties,
    NoTag,
    OrvellError,
    SaveFailed,
    UnexpectedFailure,
)
from ._fields import (
    get_album,
    get_album_artist,
    get_artist,
    get_bitrate,
    get_channels,
    get_comment,
    get_composer,
    get_conductor,
    get_disc,
    get_disc_total,
    get_duration,
    get_genre,
    get_sample_rate,
    get_title,
    get_track,
    get_track_total,
    get_year,
    set_album,
    set_album_artist,
    set_artist,
    set_artist_sync,
    set_comment,
    set_composer,
    set_conductor,
    set_disc,
    set_disc_total,
    set_genre,
    set_title,
    set_track,
    set_track_total,
    set_year,
)
from ._library import LIBRARY_PATH, PathArg

__version__ = "1.0.0"

__all__ = [
    "CLEAR", "FIELDS", "LIBRARY_PATH", "READ_ONLY_FIELDS", "WRITABLE_FIELDS", "PathArg",
    "Tags", "read", "write",
    "OrvellError", "InvalidArgument", "FileNotOpened", "NoTag", "NoAudioProperties",
    "SaveFailed", "InvalidBlock", "BlockTooLarge", "UnexpectedFailure",
    "get_title", "get_artist", "get_album", "get_genre", "get_comment",
    "set_title", "set_artist", "set_album", "set_genre", "set_comment",
    "get_year", "get_track", "set_year",
    "get_duration", "get_bitrate", "get_sample_rate", "get_channels",
    "get_album_artist", "get_composer", "get_conductor",
    "set_album_artist", "set_composer", "set_conductor", "set_artist_sync",
    "get_track_total", "get_disc", "get_disc_total",
    "set_track", "set_track_total", "set_disc", "set_disc_total",
]
