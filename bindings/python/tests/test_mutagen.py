"""What an independent reader sees: mutagen (Debian's python3-mutagen), which
shares no code with TagLib, against the binding, in both directions.

mutagen is seen through one adapter per format that gives, for each key
below, the list of texts mutagen holds. Its easy interfaces cover most keys;
ID3 has no easy comment key and MP4 no easy composer key, so those come
from the raw COMM frame (empty description) and the raw "\\xa9wrt" atom.

Files shaped as common tools leave them (an MP3 whose fields are only in
its ID3v1 tag or only in an APE tag, an ID3v2 tag holding nothing but the
encoder frame beside a full ID3v1 tag, an ID3v2.3 tag, ID3v2 and ID3v1 tags
together, a WAV file tagged only in RIFF INFO, totals under keys of their
own) are made here from the fixtures, with mutagen where it writes the
format; the WAV file ffmpeg tags in RIFF INFO is a fixture.

Where the two disagree, the tests at the end assert what each side does,
with the reason.
"""
from __future__ import annotations

import base64
import dataclasses
import struct
import unittest
from pathlib import Path
from typing import Callable, Dict, List, Set, Tuple

import mutagen
import mutagen.wave
from mutagen.easyid3 import EasyID3
from mutagen.easymp4 import EasyMP4
from mutagen.apev2 import APENoHeaderError, APEv2, APEValue, BINARY
from mutagen.flac import Picture as FlacPicture
from mutagen.id3 import (APIC, COMM, ID3, TALB, TCON, TDRC, TIT2, TMOO, TPE1, TRCK, TSSE, TXXX,
                         UFID, ID3NoHeaderError)
from mutagen.mp4 import MP4, MP4Cover, MP4FreeForm

import orvell

from support import ALL_FORMATS, CHECKED_FORMATS, FixtureCase

View = Dict[str, List[str]]

# The binding's fields and the mutagen key that holds each; the four
# numbers of the pairs become two texts, "number/total".
TEXT_KEYS = {
    "title": "title", "artist": "artist", "album": "album", "album_artist": "albumartist",
    "genre": "genre", "comment": "comment", "composer": "composer",
}
KEYS = list(TEXT_KEYS.values()) + ["date", "tracknumber", "discnumber"]

VALUES = dict(
    title="Tîtle 12:30 ✓", artist="Ärtist", album="Albüm — Vol. 2", album_artist="Album Ärtist",
    genre="Jazz", comment="Cömment: 1/2", composer="Composér", year=2024, track=3,
    track_total=12, disc=1, disc_total=2,
)
VIEW: View = {
    "title": ["Tîtle 12:30 ✓"], "artist": ["Ärtist"], "album": ["Albüm — Vol. 2"],
    "albumartist": ["Album Ärtist"], "genre": ["Jazz"], "comment": ["Cömment: 1/2"],
    "composer": ["Composér"], "date": ["2024"], "tracknumber": ["3/12"], "discnumber": ["1/2"],
}


def _is_vorbis(path: Path) -> bool:
    return path.suffix in (".flac", ".ogg", ".opus")


def _read_id3_comment(path: Path) -> List[str]:
    frames = [frame for frame in ID3(path).getall("COMM") if frame.desc == ""]
    return list(frames[0].text) if frames else []


def _write_id3_comment(path: Path, texts: List[str]) -> None:
    raw = ID3(path)
    raw.add(COMM(encoding=3, lang="eng", desc="", text=texts))
    raw.save()


def _read_mp4_composer(path: Path) -> List[str]:
    return list(MP4(path).get("\xa9wrt", []))


def _write_mp4_composer(path: Path, texts: List[str]) -> None:
    raw = MP4(path)
    raw["\xa9wrt"] = texts
    raw.save()


# The easy interface of MP3 and M4A, the one key it lacks, and how that key
# is read and written raw.
EASY = {
    ".mp3": (EasyID3, "comment", _read_id3_comment, _write_id3_comment),
    ".m4a": (EasyMP4, "composer", _read_mp4_composer, _write_mp4_composer),
}


def mutagen_read(path: Path) -> View:
    """The texts mutagen holds under each key; absent keys are left out."""
    if _is_vorbis(path):
        tags = mutagen.File(path).tags
        return {key: list(tags[key]) for key in KEYS if key in tags}
    easy_type, raw_key, read_raw, _ = EASY[path.suffix]
    try:
        easy = easy_type(path)
    except ID3NoHeaderError:  # TagLib drops an ID3v2 tag left empty
        return {}
    view = {key: list(easy[key]) for key in KEYS if key in easy and key != raw_key}
    raw = read_raw(path)
    if raw:
        view[raw_key] = raw
    return view


def mutagen_write(path: Path, view: View) -> None:
    """Stores view with mutagen, as a tagger using it would."""
    if _is_vorbis(path):
        audio = mutagen.File(path)
        for key, texts in view.items():
            audio[key] = texts
        audio.save()
        return
    easy_type, raw_key, _, write_raw = EASY[path.suffix]
    easy = easy_type(path)
    for key, texts in view.items():
        if key != raw_key:
            easy[key] = texts
    easy.save()
    if raw_key in view:
        write_raw(path, view[raw_key])


def binding_view(tags: orvell.Tags) -> View:
    """The binding's fields as the view mutagen would give of them."""
    view = {key: [getattr(tags, field)] for field, key in TEXT_KEYS.items()
            if getattr(tags, field)}
    if tags.year:
        view["date"] = [str(tags.year)]
    for key, number, total in (("tracknumber", tags.track, tags.track_total),
                               ("discnumber", tags.disc, tags.disc_total)):
        if total:
            view[key] = [f"{number}/{total}"]
        elif number:
            view[key] = [str(number)]
    return view


class AgreementTest(FixtureCase):
    def test_values_written_by_the_binding_are_read_by_mutagen(self) -> None:
        for extension in CHECKED_FORMATS:
            with self.subTest(extension):
                path = self.fresh(extension)
                orvell.write(path, **VALUES)
                self.assertEqual(mutagen_read(path), VIEW)

    def test_values_written_by_mutagen_are_read_by_the_binding(self) -> None:
        for extension in CHECKED_FORMATS:
            with self.subTest(extension):
                path = self.fresh(extension)
                mutagen_write(path, VIEW)
                tags = orvell.read(path)
                self.assertEqual({name: getattr(tags, name) for name in VALUES}, VALUES)
                self.assertEqual(binding_view(tags), VIEW)

    def test_pairs_without_a_number_or_without_a_total_agree(self) -> None:
        # (track, total, disc, total) through the binding, and the texts
        # mutagen shows for them; then the same texts back through mutagen.
        # A track total without a track number is "0/9".
        cases = [((7, 0, 0, 5), {"tracknumber": ["7"], "discnumber": ["0/5"]}),
                 ((0, 9, 2, 0), {"tracknumber": ["0/9"], "discnumber": ["2"]})]
        for extension in CHECKED_FORMATS:
            for numbers, texts in cases:
                with self.subTest(extension=extension, numbers=numbers):
                    path = self.fresh(extension)
                    mutagen_write(path, texts)
                    tags = orvell.read(path)
                    self.assertEqual((tags.track, tags.track_total, tags.disc, tags.disc_total),
                                     numbers)
                    path = self.fresh(extension)
                    track, track_total, disc, disc_total = numbers
                    orvell.write(path, track=track, track_total=track_total, disc=disc,
                                 disc_total=disc_total)
                    seen = mutagen_read(path)
                    self.assertEqual({key: seen.get(key) for key in texts}, texts)

    def test_fields_cleared_by_the_binding_are_gone_for_mutagen(self) -> None:
        for extension in CHECKED_FORMATS:
            with self.subTest(extension):
                path = self.fresh(extension)
                mutagen_write(path, VIEW)
                orvell.write(path, **{name: orvell.CLEAR for name in VALUES})
                self.assertEqual(mutagen_read(path), {})

    def test_a_full_date_from_mutagen_reads_as_its_year(self) -> None:
        # Taggers often store a whole date; the binding's year is its year.
        for extension in CHECKED_FORMATS:
            with self.subTest(extension):
                path = self.fresh(extension)
                mutagen_write(path, {"date": ["1959-08-17"]})
                self.assertEqual(orvell.read(path).year, 1959)
                self.assertEqual(mutagen_read(path)["date"], ["1959-08-17"])


    def test_totals_under_keys_of_their_own_agree_and_follow_every_write(self) -> None:
        # Many taggers store "TRACKNUMBER=5" with "TRACKTOTAL=12" or
        # "TOTALTRACKS=12" (DISCTOTAL, TOTALDISCS for the disc) as Vorbis
        # comments of their own. Those totals are read, and a write keeps
        # every total key present equal to the new total, so no reader
        # sees two totals; the pair text keeps its own "5/11".
        for extension in ("flac", "ogg", "opus"):
            for track_key, disc_key in (("tracktotal", "disctotal"),
                                        ("totaltracks", "totaldiscs")):
                with self.subTest(extension=extension, keys=(track_key, disc_key)):
                    path = self.fresh(extension)
                    mutagen_write(path, {"tracknumber": ["5"], track_key: ["12"],
                                         "discnumber": ["1"], disc_key: ["2"]})
                    tags = orvell.read(path)
                    self.assertEqual((tags.track, tags.track_total, tags.disc, tags.disc_total),
                                     (5, 12, 1, 2))
                    self.assertEqual((orvell.get_track_total(path), orvell.get_disc(path),
                                      orvell.get_disc_total(path)), (12, 1, 2))

                    orvell.set_track_total(path, 11)
                    raw = mutagen.File(path).tags
                    self.assertEqual((raw["tracknumber"], raw[track_key]), (["5/11"], ["11"]))
                    self.assertEqual((raw["discnumber"], raw[disc_key]), (["1"], ["2"]))
                    orvell.write(path, disc=3)
                    raw = mutagen.File(path).tags
                    self.assertEqual((raw["discnumber"], raw[disc_key]), (["3/2"], ["2"]))

                    orvell.write(path, track=orvell.CLEAR, disc_total=orvell.CLEAR)
                    raw = mutagen.File(path).tags
                    for gone in ("tracknumber", track_key, disc_key):
                        self.assertNotIn(gone, raw)
                    self.assertEqual(raw["discnumber"], ["3"])
                    self.assertEqual(orvell.read(path).disc_total, 0)


# Property keys as the binding names them (TagLib's), with several values,
# MusicBrainz and ReplayGain keys and one no format knows, and where each
# format keeps them for mutagen: Vorbis comments and APE items under the
# key; ID3v2 frames as Picard writes them (MOOD in TMOO, the MusicBrainz
# track ID in MusicBrainz's UFID frame, the rest in TXXX frames named by
# the key, or by Picard's name for the MusicBrainz album ID, whose case
# TagLib ignores on reading); MP4 iTunes free-form items likewise.
PROPERTIES: View = {
    "MOOD": ["calm", "late night"],
    "MY_OWN_KEY": ["Ünïcode: 1/2"],
    "MUSICBRAINZ_TRACKID": ["8f9a7c4e-6d47-4f3b-9c1a-2b5e0d3f4a11"],
    "MUSICBRAINZ_ALBUMID": ["0b1d8e2f-3a4c-4d5e-8f6a-7b8c9d0e1f22"],
    "REPLAYGAIN_TRACK_GAIN": ["-6.50 dB"],
    "REPLAYGAIN_ALBUM_PEAK": ["0.988553"],
}
PROPERTY_FORMATS = ALL_FORMATS + ("ape",)
ID3_FORMATS = (".mp3", ".wav", ".aiff")
MUSICBRAINZ_ORIGIN = "http://musicbrainz.org"
PICARD_NAMES = {"MUSICBRAINZ_ALBUMID": "MusicBrainz Album Id",
                "MUSICBRAINZ_TRACKID": "MusicBrainz Track Id"}


def _tags(path: Path) -> Tuple[mutagen.FileType, object]:
    audio = mutagen.File(path)
    if audio.tags is None:
        audio.add_tags()
    return audio, audio.tags


def mutagen_properties(path: Path) -> View:
    """The keys of PROPERTIES mutagen finds in the file, by the binding's names."""
    audio, tags = _tags(path)
    found: View = {}
    for key in PROPERTIES:
        if path.suffix in ID3_FORMATS:
            frames = [frame for frame in tags.getall("TXXX")
                      if frame.desc.upper() in (key, PICARD_NAMES.get(key, key).upper())]
            if key == "MOOD":
                frames = tags.getall("TMOO")
            texts = [text for frame in frames for text in frame.text]
            if key == "MUSICBRAINZ_TRACKID" and f"UFID:{MUSICBRAINZ_ORIGIN}" in tags:
                texts = [tags[f"UFID:{MUSICBRAINZ_ORIGIN}"].data.decode()]
        elif path.suffix == ".m4a":
            item = tags.get(f"----:com.apple.iTunes:{PICARD_NAMES.get(key, key)}", [])
            texts = [bytes(value).decode() for value in item]
        else:
            texts = list(tags[key]) if key in tags else []
        if texts:
            found[key] = texts
    return found


def mutagen_write_properties(path: Path, view: View) -> None:
    """Stores view, keys of PROPERTIES, with mutagen as a tagger would."""
    audio, tags = _tags(path)
    for key, texts in view.items():
        if path.suffix in ID3_FORMATS and key == "MOOD":
            tags.add(TMOO(encoding=3, text=texts))
        elif path.suffix in ID3_FORMATS and key == "MUSICBRAINZ_TRACKID":
            tags.add(UFID(owner=MUSICBRAINZ_ORIGIN, data=texts[0].encode()))
        elif path.suffix in ID3_FORMATS:
            tags.add(TXXX(encoding=3, desc=PICARD_NAMES.get(key, key), text=texts))
        elif path.suffix == ".m4a":
            tags[f"----:com.apple.iTunes:{PICARD_NAMES.get(key, key)}"] = [
                MP4FreeForm(text.encode()) for text in texts]
        else:
            tags[key] = texts
    audio.save()


# Pictures of several types: (type, MIME type, description, bytes). MP4
# keeps front covers without a description only.
PICTURES = [
    (3, "image/png", "front", b"\x89PNG\r\n\x1a\n\0\0\0\rIHDR" + bytes(range(200))),
    (4, "image/jpeg", "back, ünïcode", b"\xff\xd8\xff\xe0" + bytes(300)),
    (18, "image/gif", "", b"GIF89a" + bytes(range(90))),
]
MP4_PICTURES = [(3, "image/png", "", PICTURES[0][3]), (3, "image/jpeg", "", PICTURES[1][3])]
APE_NAMES = {3: "Front", 4: "Back", 18: "Illustration"}
Shown = List[Tuple[int, str, str, bytes]]


def mutagen_pictures(path: Path) -> Shown:
    """The pictures mutagen finds, sorted; APE's MIME type is told by the bytes."""
    audio, tags = _tags(path)
    if path.suffix == ".flac":
        shown = [(p.type, p.mime, p.desc, p.data) for p in audio.pictures]
    elif path.suffix in (".ogg", ".opus"):
        blocks = [FlacPicture(base64.b64decode(b)) for b in tags.get("metadata_block_picture", [])]
        shown = [(p.type, p.mime, p.desc, p.data) for p in blocks]
    elif path.suffix in ID3_FORMATS:
        shown = [(int(p.type), p.mime, p.desc, p.data) for p in tags.getall("APIC")]
    elif path.suffix == ".m4a":
        formats = {MP4Cover.FORMAT_PNG: "image/png", MP4Cover.FORMAT_JPEG: "image/jpeg"}
        shown = [(3, formats[c.imageformat], "", bytes(c)) for c in tags.get("covr", [])]
    else:
        kinds = {name: kind for kind, name in APE_NAMES.items()}
        mimes = {data: mime for _, mime, _, data in PICTURES}
        shown = []
        for key, item in tags.items():
            if key.startswith("Cover Art ("):
                desc, _, data = item.value.partition(b"\0")
                shown.append((kinds[key[11:-1]], mimes[data], desc.decode(), data))
    return sorted(shown)


def mutagen_write_pictures(path: Path, pictures: Shown) -> None:
    audio, tags = _tags(path)
    for kind, mime, desc, data in pictures:
        if path.suffix == ".flac":
            audio.add_picture(_flac_picture(kind, mime, desc, data))
        elif path.suffix in (".ogg", ".opus"):
            block = base64.b64encode(_flac_picture(kind, mime, desc, data).write()).decode()
            tags["metadata_block_picture"] = tags.get("metadata_block_picture", []) + [block]
        elif path.suffix in ID3_FORMATS:
            tags.add(APIC(encoding=3, mime=mime, type=kind, desc=desc, data=data))
        elif path.suffix == ".m4a":
            image = MP4Cover.FORMAT_PNG if mime == "image/png" else MP4Cover.FORMAT_JPEG
            tags["covr"] = tags.get("covr", []) + [MP4Cover(data, image)]
        else:
            tags[f"Cover Art ({APE_NAMES[kind]})"] = APEValue(desc.encode() + b"\0" + data, BINARY)
    audio.save()


def _flac_picture(kind: int, mime: str, desc: str, data: bytes) -> FlacPicture:
    picture = FlacPicture()
    picture.type, picture.mime, picture.desc, picture.data = kind, mime, desc, data
    return picture


def binding_pictures(path: Path) -> Shown:
    """The binding's pictures, each with the bytes picture_data() reads,
    sorted as mutagen_pictures; a size pictures() lists that is not the
    count of those bytes fails."""
    shown = []
    for index, picture in enumerate(orvell.pictures(path)):
        data = orvell.picture_data(path, index)
        if picture.size != len(data):
            raise AssertionError(f"picture {index}: size {picture.size}, {len(data)} bytes read")
        shown.append((picture.type, picture.mime, picture.description, data))
    return sorted(shown)


class PropertyAndPictureTest(FixtureCase):
    """Every property and picture, both ways, on every fixture format
    mutagen writes (all of them; WMA and FLAC in Ogg are left to the
    refusals below)."""

    def test_properties_written_by_the_binding_are_read_by_mutagen(self) -> None:
        for extension in PROPERTY_FORMATS:
            with self.subTest(extension):
                path = self.fresh(extension)
                self.assertTrue(orvell.write_properties(path, PROPERTIES))
                self.assertEqual(mutagen_properties(path), PROPERTIES)
                self.assertTrue(orvell.write_properties(path, {"MOOD": [], "my_own_key": ["y"]}))
                self.assertEqual(mutagen_properties(path),
                                 {**{k: v for k, v in PROPERTIES.items() if k != "MOOD"},
                                  "MY_OWN_KEY": ["y"]})

    def test_properties_written_by_mutagen_are_read_by_the_binding_and_kept(self) -> None:
        # Keys a write does not name, the fields and the pictures stay as
        # mutagen wrote them.
        for extension in PROPERTY_FORMATS:
            with self.subTest(extension):
                path = self.fresh(extension)
                mutagen_write_properties(path, PROPERTIES)
                found = orvell.properties(path)
                self.assertEqual({key: found.get(key) for key in PROPERTIES}, PROPERTIES)
                orvell.write(path, title="Kept")
                orvell.set_picture(path, PICTURES[0][3])
                self.assertTrue(orvell.write_properties(path, {"REPLAYGAIN_TRACK_GAIN": ["1 dB"]}))
                self.assertEqual(mutagen_properties(path),
                                 {**PROPERTIES, "REPLAYGAIN_TRACK_GAIN": ["1 dB"]})
                self.assertEqual(orvell.read(path).title, "Kept")
                self.assertEqual(len(mutagen_pictures(path)), 1)

    def test_pictures_agree_both_ways_and_removal_keeps_the_other_types(self) -> None:
        for extension in PROPERTY_FORMATS:
            pictures = MP4_PICTURES if extension == "m4a" else PICTURES
            with self.subTest(extension):
                path = self.fresh(extension)
                mutagen_write_pictures(path, [(k, m, d, data) for k, m, d, data in pictures])
                self.assertEqual(binding_pictures(path), sorted(pictures))
                removed = pictures[1][0]
                left = [p for p in mutagen_pictures(path) if p[0] != removed]
                self.assertTrue(orvell.remove_pictures(path, removed))
                self.assertEqual(mutagen_pictures(path), left)
                self.assertFalse(orvell.remove_pictures(path, removed))
                self.assertEqual(orvell.remove_pictures(path), bool(left))
                self.assertEqual(mutagen_pictures(path), [])

                path = self.fresh(extension)
                for kind, mime, desc, data in pictures:
                    orvell.set_picture(path, data, type=kind, description=desc)
                # MP4 keeps one set of front covers: the last set replaces them.
                expected = pictures[-1:] if extension == "m4a" else pictures
                self.assertEqual(mutagen_pictures(path), sorted(expected))


# The fields of the shaped files below, as a reader of each sees them.
SHAPED = dict(title="Title", artist="Artist", album="Album", genre="Jazz", comment="Comment",
              year=1999, track=5)


def _shaped_id3() -> ID3:
    tags = ID3()
    for frame in (TIT2(text=["Title"]), TPE1(text=["Artist"]), TALB(text=["Album"]),
                  TCON(text=["Jazz"]), TDRC(text=["1999"]), TRCK(text=["5"]),
                  COMM(lang="eng", desc="ID3v1 Comment", text=["Comment"])):
        tags.add(frame)
    return tags


def mp3_with_id3v1_only(case: FixtureCase) -> Path:
    """The fields in an ID3v1 tag and no ID3v2 tag."""
    path = case.fresh("mp3")
    _shaped_id3().save(path, v1=2)
    mutagen.id3.delete(path, delete_v1=False, delete_v2=True)
    # mutagen writes no ID3v1 comment; its 28 bytes start at offset 97.
    data = bytearray(path.read_bytes())
    data[-128 + 97:-128 + 97 + 28] = b"Comment".ljust(28, b"\0")
    path.write_bytes(bytes(data))
    return path


def mp3_with_encoder_frame_and_id3v1(case: FixtureCase) -> Path:
    """As ffmpeg leaves a file tagged in ID3v1: an ID3v2 tag holding only
    the encoder frame (TSSE), the fields in the ID3v1 tag."""
    id3v1 = mp3_with_id3v1_only(case).read_bytes()[-128:]
    path = case.fresh("mp3")
    mutagen.id3.delete(path)
    encoder = ID3()
    encoder.add(TSSE(text=["Lavf59.27.100"]))
    encoder.save(path, v1=0)
    path.write_bytes(path.read_bytes() + id3v1)
    return path


def mp3_with_ape_only(case: FixtureCase) -> Path:
    path = case.fresh("mp3")
    mutagen.id3.delete(path)
    ape = APEv2()
    ape.update({"Title": "Title", "Artist": "Artist", "Album": "Album", "Genre": "Jazz",
                "Comment": "Comment", "Year": "1999", "Track": "5", "Composer": "Composer"})
    ape.save(path)
    return path


def mp3_with_id3v2_3(case: FixtureCase) -> Path:
    """The fields in an ID3v2.3 tag, as many taggers write it."""
    path = case.fresh("mp3")
    mutagen.id3.delete(path)
    _shaped_id3().save(path, v2_version=3, v1=0)
    return path


def mp3_with_id3v2_and_id3v1(case: FixtureCase) -> Path:
    """The fields in an ID3v2.4 tag and again in an ID3v1 tag."""
    path = case.fresh("mp3")
    mutagen.id3.delete(path)
    _shaped_id3().save(path, v1=2)
    return path


def wav_tagged_by_ffmpeg(case: FixtureCase) -> Path:
    """ffmpeg's WAV: the fields in a RIFF INFO chunk before the samples."""
    return case.copy("tagged.wav")


INFO_KEYS = {"INAM": "title", "IART": "artist", "IPRD": "album", "IGNR": "genre",
             "ICMT": "comment", "ICRD": "date", "IPRT": "tracknumber"}


def wav_with_riff_info_only(case: FixtureCase) -> Path:
    """mutagen writes no RIFF INFO, so the chunk is made here."""
    path = case.fresh("wav")
    texts = dict(INAM="Title", IART="Artist", IPRD="Album", IGNR="Jazz", ICMT="Comment",
                 ICRD="1999", IPRT="5")
    body = b"INFO"
    for key, text in texts.items():
        data = text.encode() + b"\0"
        body += key.encode() + struct.pack("<I", len(data)) + data + b"\0" * (len(data) % 2)
    riff = path.read_bytes() + b"LIST" + struct.pack("<I", len(body)) + body
    path.write_bytes(riff[:4] + struct.pack("<I", len(riff) - 8) + riff[8:])
    return path


def id3_view(path: Path) -> View:
    """mutagen's view of ID3v2 and ID3v1 together, every comment included,
    and the encoder frame."""
    view = mutagen_read(path)
    view.pop("comment", None)
    raw = ID3(path)
    comments = sorted({text for frame in raw.getall("COMM") for text in frame.text})
    if comments:
        view["comment"] = comments
    if "TSSE" in raw:
        view["encoder"] = list(raw["TSSE"].text)
    return view


def ape_view(path: Path) -> View:
    return {key.lower(): [str(value)] for key, value in APEv2(path).items()}


def info_view(path: Path) -> View:
    """The RIFF INFO chunk's texts under mutagen's key names."""
    data = path.read_bytes()
    view: View = {}
    at = 12
    while at + 8 <= len(data):
        chunk, size = data[at:at + 4], struct.unpack("<I", data[at + 4:at + 8])[0]
        if chunk == b"LIST" and data[at + 8:at + 12] == b"INFO":
            inner = at + 12
            while inner + 8 <= at + 8 + size:
                key, length = data[inner:inner + 4].decode(), struct.unpack(
                    "<I", data[inner + 4:inner + 8])[0]
                text = data[inner + 8:inner + 8 + length].rstrip(b"\0").decode()
                view[INFO_KEYS.get(key, key)] = [text]
                inner += 8 + length + length % 2
        at += 8 + size + size % 2
    return view


def tag_kinds(path: Path) -> Set[str]:
    """The kinds of tag the file holds, as mutagen finds them: "ID3v2.3"
    or "ID3v2.4", "ID3v1" (the 128 bytes that end the file), "APE", and
    "INFO" for a RIFF INFO chunk."""
    if path.suffix == ".wav":
        id3 = mutagen.wave.WAVE(path).tags
        kinds = {"ID3v2.%d" % id3.version[1]} if id3 is not None else set()
        return kinds | ({"INFO"} if info_view(path) else set())
    kinds = set()
    try:
        kinds.add("ID3v2.%d" % ID3(path, load_v1=False).version[1])
    except ID3NoHeaderError:
        pass
    if path.read_bytes()[-128:-125] == b"TAG":
        kinds.add("ID3v1")
    try:
        APEv2(path)
        kinds.add("APE")
    except APENoHeaderError:
        pass
    return kinds


# Each shape, the view of it another reader has, and the fields it holds
# beyond SHAPED.
SHAPES: Dict[str, tuple] = {
    "mp3 with ID3v1 only": (mp3_with_id3v1_only, id3_view, {}),
    "mp3 with an encoder frame and ID3v1": (mp3_with_encoder_frame_and_id3v1, id3_view, {}),
    "mp3 with APE only": (mp3_with_ape_only, ape_view, dict(composer="Composer")),
    "mp3 with an ID3v2.3 tag": (mp3_with_id3v2_3, id3_view, {}),
    "mp3 with ID3v2 and ID3v1 tags": (mp3_with_id3v2_and_id3v1, id3_view, {}),
    "wav with RIFF INFO only": (wav_with_riff_info_only, info_view, {}),
    "wav tagged by ffmpeg": (wav_tagged_by_ffmpeg, info_view, {}),
}

# The kinds of tag that can hold what a write sets: an ID3v1 tag the
# generic fields (of 30 bytes and less), RIFF INFO also a composer and a
# track total. A clear fits every kind.
EVERY_KIND = {"ID3v2", "APE", "INFO", "ID3v1"}
NOT_ID3V1 = {"ID3v2", "APE", "INFO"}

# A write, what it sets, the keys of the independent views it changes, and
# the kinds of tag that hold what it sets.
WRITES: List[tuple] = [
    ("set_artist_sync", lambda p: orvell.set_artist_sync(p, "New"),
     dict(artist="New", album_artist="New"), {"artist", "albumartist", "album artist"},
     {"ID3v2", "APE"}),
    ("set_composer", lambda p: orvell.set_composer(p, "New"), dict(composer="New"),
     {"composer"}, NOT_ID3V1),
    ("set_track_total", lambda p: orvell.set_track_total(p, 12), dict(track_total=12),
     {"tracknumber", "track"}, NOT_ID3V1),
    ("set_disc", lambda p: orvell.set_disc(p, 2), dict(disc=2), {"discnumber"}, {"ID3v2", "APE"}),
    ("write composer", lambda p: orvell.write(p, composer="New"), dict(composer="New"),
     {"composer"}, NOT_ID3V1),
    ("write artist and album artist",
     lambda p: orvell.write(p, artist="New", album_artist="New"),
     dict(artist="New", album_artist="New"), {"artist", "albumartist", "album artist"},
     {"ID3v2", "APE"}),
    ("set_title", lambda p: orvell.set_title(p, "New"), dict(title="New"), {"title"},
     EVERY_KIND),
    ("clear composer", lambda p: orvell.set_composer(p, ""), dict(composer=""), {"composer"},
     EVERY_KIND),
    ("clear track", lambda p: orvell.set_track(p, 0), dict(track=0), {"tracknumber", "track"},
     EVERY_KIND),
]


class KeptFieldsTest(FixtureCase):
    def test_no_write_loses_a_field_of_a_tag_the_property_map_was_not_read_from(self) -> None:
        # TagLib reads a file's property map from one of its tags and
        # writes it back into the others, emptying there what the map
        # lacked. Every field a reader saw before a write reads the same
        # after it, to the library and to mutagen (or, for RIFF INFO, a
        # plain reading of the chunk), on both TagLib lines; the fields it
        # wrote or cleared read so from every tag. The file keeps the
        # kinds of tag it had, an ID3v2 tag its version, and gains an
        # ID3v2.4 tag only where none it had can hold what was written.
        for shape, (make, view, extra) in SHAPES.items():
            for name, call, written, changed_keys, holders in WRITES:
                with self.subTest(shape=shape, write=name):
                    path = make(self)
                    seen = view(path)
                    kinds = tag_kinds(path)
                    fields = lambda tags: {f: getattr(tags, f) for f in orvell.WRITABLE_FIELDS}
                    shaped = dataclasses.replace(orvell.Tags(), **{**SHAPED, **extra})
                    self.assertEqual(fields(orvell.read(path)), fields(shaped))
                    call(path)
                    expected = dataclasses.replace(shaped, **written)
                    self.assertEqual(fields(orvell.read(path)), fields(expected))
                    after = view(path)
                    self.assertEqual({key: after.get(key) for key in seen if key not in changed_keys},
                                     {key: seen[key] for key in seen if key not in changed_keys})
                    held = any(kind.split(".")[0] in holders for kind in kinds)
                    self.assertEqual(tag_kinds(path), kinds if held else kinds | {"ID3v2.4"})


class DisagreementTest(FixtureCase):
    def test_several_values_are_joined_in_tag_fields_and_cut_to_the_first_in_properties(
            self) -> None:
        # mutagen keeps every value of a key. The binding's title, artist,
        # album, genre and comment come from TagLib's generic tag, whose
        # several values read joined by " / " on every format and TagLib
        # line. Album artist and composer come from the property map, of
        # which only the first value is read. ID3 comments are the
        # exception: a COMM frame's text is read as its first value.
        several = {key: ["One", "Two"] for key in TEXT_KEYS.values()}
        for extension in CHECKED_FORMATS:
            with self.subTest(extension):
                path = self.fresh(extension)
                mutagen_write(path, several)
                self.assertEqual(mutagen_read(path), several)
                tags = orvell.read(path)
                comment = "One" if extension == "mp3" else "One / Two"
                self.assertEqual(
                    (tags.title, tags.artist, tags.album, tags.genre, tags.comment),
                    ("One / Two", "One / Two", "One / Two", "One / Two", comment))
                self.assertEqual((orvell.get_title(path), orvell.get_comment(path)),
                                 ("One / Two", comment))
                self.assertEqual((tags.album_artist, tags.composer), ("One", "One"))

    def test_mp3_track_pair_without_a_number_is_kept(self) -> None:
        # TagLib's own MP3 save copies into each tag the generic fields the
        # other lacks, and a TRCK of "0/9" counts as track 0, "lacking":
        # the ID3v1 track (0) would be copied over it and the frame go,
        # total included. Nothing is copied between the tags of an MP3, so
        # the pair stays, with an ID3v1 tag beside it or without.
        for with_id3v1 in (False, True):
            with self.subTest(with_id3v1=with_id3v1):
                path = self.fresh("mp3")
                if with_id3v1:
                    ID3(path).save(path, v1=2)
                orvell.write(path, track=0, track_total=9)
                self.assertEqual(mutagen_read(path).get("tracknumber"), ["0/9"])
                self.assertEqual((orvell.read(path).track, orvell.read(path).track_total), (0, 9))

    def test_an_mp3_save_writes_an_id3v1_tag_only_where_the_file_has_one(self) -> None:
        # TagLib's own MP3 save would add an ID3v1 tag at the end of every
        # file. A file without one gets none; one with an ID3v1 tag keeps
        # it up to date. mutagen reads ID3v1 too and adds its values where
        # the ID3v2 tag lacks the frame; the ID3v1 comment has its own
        # frame identity, so mutagen lists two comments: the ID3v2 one
        # (language "XXX", TagLib's unknown language, empty description)
        # and "ID3v1 Comment". Both hold the value.
        path = self.fresh("mp3")
        orvell.write(path, title="Title", comment="Comment")
        self.assertNotEqual(path.read_bytes()[-128:-125], b"TAG")
        comments = {(frame.desc, frame.lang): list(frame.text)
                    for frame in ID3(path).getall("COMM")}
        self.assertEqual(comments, {("", "XXX"): ["Comment"]})
        self.assertEqual(mutagen_read(path)["title"], ["Title"])

        ID3(path).save(path, v1=2)
        orvell.write(path, title="Later", comment="Later comment")
        id3v1 = path.read_bytes()[-128:]
        self.assertEqual(id3v1[:3], b"TAG")
        self.assertEqual(id3v1[3:33].rstrip(b"\0"), b"Later")
        comments = {(frame.desc, frame.lang): list(frame.text)
                    for frame in ID3(path).getall("COMM")}
        self.assertEqual(comments, {("", "XXX"): ["Later comment"],
                                    ("ID3v1 Comment", "eng"): ["Later comment"]})

    def test_id3v2_years_past_four_digits_are_cut_by_the_binding(self) -> None:
        # An ID3v2 timestamp starts with a four-digit year and TagLib reads
        # only those four characters, so on MP3 (and WAV and AIFF, which
        # carry ID3v2 too) the year 12345 reads back as 1234; mutagen shows
        # the text "12345" as stored. Other formats keep the number whole.
        for extension, expected in (("mp3", 1234), ("flac", 12345), ("m4a", 12345),
                                    ("ogg", 12345), ("opus", 12345)):
            with self.subTest(extension):
                path = self.fresh(extension)
                orvell.write(path, year=12345)
                self.assertEqual(mutagen_read(path)["date"], ["12345"])
                self.assertEqual(orvell.read(path).year, expected)

    def test_mp4_track_numbers_past_sixteen_bits_are_refused(self) -> None:
        # MP4 stores each number of "trkn" and "disk" in 16 bits, and TagLib
        # reads values of 32768 and more as negative. A save whose track
        # number would not read back as written is refused: the file keeps
        # its bytes. Values that fit go through and mutagen agrees.
        path = self.fresh("m4a")
        before = Path(path).read_bytes()
        with self.assertRaises(orvell.SaveFailed):
            orvell.write(path, title="t", track=40000, track_total=2)
        self.assertEqual(Path(path).read_bytes(), before)
        orvell.write(path, track=32767, track_total=65535, disc=65535, disc_total=2)
        self.assertEqual((MP4(path)["trkn"], MP4(path)["disk"]), ([(32767, 65535)], [(65535, 2)]))

    def test_musicbrainz_ids_in_txxx_frames_are_named_in_upper_case(self) -> None:
        # TagLib names a TXXX frame by the ID3 key it maps a property to, in
        # upper case ("MUSICBRAINZ ALBUM ID"), on both TagLib lines; Picard
        # names it "MusicBrainz Album Id". TagLib reads either, mutagen's
        # easy interface only Picard's. The track ID goes in a UFID frame,
        # which both read.
        for extension in ("mp3", "wav", "aiff"):
            with self.subTest(extension):
                path = self.fresh(extension)
                orvell.write_properties(path, PROPERTIES)
                raw = mutagen.File(path).tags
                self.assertIn("TXXX:MUSICBRAINZ ALBUM ID", raw)
                self.assertNotIn("TXXX:MusicBrainz Album Id", raw)
                if extension == "mp3":
                    easy = EasyID3(path)
                    self.assertNotIn("musicbrainz_albumid", easy)
                    self.assertEqual(easy["musicbrainz_trackid"], PROPERTIES["MUSICBRAINZ_TRACKID"])

    def test_what_a_format_cannot_hold_is_refused_with_the_librarys_reason(self) -> None:
        # Nothing is saved: the file keeps its bytes, and the error ends
        # with the library's own words.
        cases = [
            ("m4a", lambda p: orvell.set_picture(p, PICTURES[1][3], type=4), orvell.CannotHold,
             "MP4 holds front covers only"),
            ("m4a", lambda p: orvell.set_picture(p, PICTURES[1][3], description="d"),
             orvell.CannotHold, "MP4 holds no picture descriptions"),
            ("wma", lambda p: orvell.write_properties(p, PROPERTIES), orvell.CannotHold,
             "this format cannot hold MY_OWN_KEY, REPLAYGAIN_TRACK_GAIN, REPLAYGAIN_ALBUM_PEAK"),
            ("flac", lambda p: orvell.set_picture(p, b"not an image"), orvell.InvalidArgument,
             "the picture's bytes tell no image type"),
            ("flac", lambda p: orvell.picture_data(p, 0), orvell.NoSuchPicture,
             "the file holds 0 pictures; there is none at index 0"),
        ]
        for extension, call, kind, reason in cases:
            with self.subTest(extension=extension, reason=reason):
                path = self.fresh(extension)
                before = path.read_bytes()
                with self.assertRaises(kind) as caught:
                    call(path)
                self.assertTrue(caught.exception.detail.startswith(reason),
                                caught.exception.detail)
                self.assertIn(reason, str(caught.exception))
                self.assertEqual(path.read_bytes(), before)

    def test_an_empty_album_artist_is_kept_only_by_mp4(self) -> None:
        # Setting a property to the empty text stores one empty value. MP4
        # keeps it as an empty "aART" atom, which mutagen lists; the other
        # formats drop an empty value when they save. The binding reads ""
        # either way.
        for extension in CHECKED_FORMATS:
            with self.subTest(extension):
                path = self.fresh(extension)
                orvell.write(path, album_artist="", title="t")
                expected = {"title": ["t"]}
                if extension == "m4a":
                    expected["albumartist"] = [""]
                self.assertEqual(mutagen_read(path), expected)
                self.assertEqual(orvell.read(path).album_artist, "")


if __name__ == "__main__":
    unittest.main()
