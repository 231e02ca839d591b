"""Read and write the tags and audio properties of audio files with liborvell.

A pure-Python package over ctypes: no compiled extension, only the shared
library liborvell.so.1, which TagLib does the work for (MP3, FLAC, Ogg
Vorbis, Opus, M4A, WAV, AIFF, WavPack and the other formats TagLib handles).

    >>> import orvell
    >>> tags = orvell.read("song.flac")          # all 17 fields, one visit
    >>> tags.title, tags.track, tags.duration
    ('Blue in Green', 3, 2)
    >>> orvell.write("song.flac", year=2024, comment=orvell.CLEAR)
    True
    >>> orvell.get_album("song.flac")            # one field per call
    'Silent Standards'

Reading: read(path) returns a Tags with the 17 fields: the texts title,
artist, album_artist, album, genre, comment, composer and conductor (str),
the numbers year, track, track_total, disc and disc_total, and the audio
properties duration (seconds), bitrate (kbit/s), sample_rate (Hz) and
channels (int). A field the file does not hold reads as "" or 0.

Writing: write(path, title=..., year=..., ...) takes the 13 writable fields
as keywords, typed: a text field takes a str, a number field an int from 0
to 2147483647, either one CLEAR to empty it; fields left out are kept. The
file is saved once. The get_* and set_* functions do one field per call.

Every property: properties(path) returns every key of the file's tag with
all its values, {"TITLE": ["Blue in Green"], "MUSICBRAINZ_TRACKID": [...],
"REPLAYGAIN_TRACK_GAIN": ["-6.5 dB"], ...}; write_properties(path,
{"MOOD": ["calm", "late"], "COMMENT": []}) sets keys, removes those given
an empty list, keeps the others, and saves once.

Pictures: pictures(path) lists them as Picture(type, mime, description,
size), never reading their bytes; picture_data(path, index) reads one's
bytes; set_picture(path, data, type=FRONT_COVER, mime=None, description="")
puts one in the place of those of its type (mime None: told from the
bytes); remove_pictures(path, type=None) removes those of a type, or all.

Paths may be str, bytes or os.PathLike. Each call opens the file, does its
job, saves when it changed something and closes it; nothing is kept
between calls. Calls may come from any thread: the library is entered
without the GIL, and calls on different files never meet.

Errors: every failure of the library raises an OrvellError, which carries
the C function's name (.function), its negative result (.code), the path
(.path) and the library's own reason (.detail, from OV_LastError: "no such
file", "save refused: another program changed the file since it was
read"), which its message ends with. A file that does not open raises a
FileNotOpened, also an OSError: MissingFile is a FileNotFoundError,
UnreadableFile a PermissionError, and UnsupportedFormat is a file TagLib
does not handle. CannotHold is a key or picture the file's format cannot
hold, NoSuchPicture (an IndexError) an index past the file's pictures.
Bad arguments raise TypeError or ValueError before any file is touched.

The library is loaded from the file named by ORVELL_LIBRARY when that is
set; else from the build tree when this package is the one in a source
checkout; else, when cmake --install installed this package, from where it
installed the library with it; else as liborvell.so.1 from the loader's
path, where the Debian package puts it. LIBRARY_PATH tells which was loaded.
"""
from ._bulk import (
    CLEAR,
    FIELDS,
    KEEP,
    READ_ONLY_FIELDS,
    WRITABLE_FIELDS,
    Action,
    Number,
    Tags,
    Text,
    read,
    write,
)
from ._errors import (
    BlockTooLarge,
    CannotHold,
    FileNotOpened,
    InvalidArgument,
    InvalidBlock,
    MissingFile,
    NoAudioProperties,
    NoSuchPicture,
    NoTag,
    OrvellError,
    SaveFailed,
    UnexpectedFailure,
    UnreadableFile,
    UnsupportedFormat,
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
from ._pictures import (
    FRONT_COVER,
    Picture,
    picture_data,
    pictures,
    remove_pictures,
    set_picture,
)
from ._properties import Values, properties, write_properties

__version__ = "1.1.0"

__all__ = [
    "CLEAR", "KEEP", "Action", "Text", "Number", "FIELDS", "LIBRARY_PATH", "READ_ONLY_FIELDS",
    "WRITABLE_FIELDS", "PathArg", "Tags", "read", "write",
    "OrvellError", "InvalidArgument", "FileNotOpened", "MissingFile", "UnreadableFile",
    "UnsupportedFormat", "NoTag", "NoAudioProperties", "SaveFailed", "InvalidBlock",
    "BlockTooLarge", "UnexpectedFailure", "CannotHold", "NoSuchPicture",
    "get_title", "get_artist", "get_album", "get_genre", "get_comment",
    "set_title", "set_artist", "set_album", "set_genre", "set_comment",
    "get_year", "get_track", "set_year",
    "get_duration", "get_bitrate", "get_sample_rate", "get_channels",
    "get_album_artist", "get_composer", "get_conductor",
    "set_album_artist", "set_composer", "set_conductor", "set_artist_sync",
    "get_track_total", "get_disc", "get_disc_total",
    "set_track", "set_track_total", "set_disc", "set_disc_total",
    "Values", "properties", "write_properties",
    "FRONT_COVER", "Picture", "pictures", "picture_data", "set_picture", "remove_pictures",
]

# The public classes and functions present themselves as orvell's, as
# help(), reprs and tracebacks show them, wherever they are defined.
for _name in __all__:
    _value = globals()[_name]
    if isinstance(_value, type) or callable(_value) and hasattr(_value, "__code__"):
        _value.__module__ = __name__
del _name, _value
