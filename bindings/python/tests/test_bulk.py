"""read() and write(): every field in one visit, on every fixture format."""
from __future__ import annotations

import dataclasses
import unittest
from typing import Any, List
from unittest import mock

import orvell
from orvell import _bulk
from orvell._bulk import decode_read_block, encode_write_block

from support import ALL_FORMATS, FixtureCase

# Values for every writable field: non-ASCII text, a colon and digits inside
# a text (the block length, not the colon, ends a value), and numbers.
EVERY_FIELD = dict(
    title="Blue 12:30 — Café", artist="Ørvell Quartet", album_artist="Ärtists Unïted",
    album="Silent Standards", genre="Jazz", comment="Two seconds\nof silence",
    composer="Bill Evans", conductor="Nobödy", year=1959, track=3, track_total=12,
    disc=1, disc_total=2,
)

# What make_fixtures.sh made: sample rate, channels; each lasts one second.
AUDIO = {
    "flac": (44100, 2), "mp3": (22050, 1), "m4a": (22050, 2), "ogg": (22050, 1),
    "opus": (48000, 2), "wav": (8000, 1), "aiff": (8000, 1), "wv": (44100, 2),
}


def writable(tags: orvell.Tags) -> dict:
    return {name: getattr(tags, name) for name in orvell.WRITABLE_FIELDS}


class ReadTest(FixtureCase):
    def test_reads_every_field_of_the_sample(self) -> None:
        self.assertEqual(orvell.read(self.copy("sample.flac")), orvell.Tags(
            title="Blue in Green", artist="Orvell Quartet", album_artist="Orvell Quartet",
            album="Silent Standards", genre="Jazz", comment="Two seconds of silence",
            composer="Bill Evans", conductor="Nobody", year=1959, track=3, track_total=12,
            disc=1, disc_total=2, duration=2, bitrate=1, sample_rate=44100, channels=2))

    def test_reads_untagged_fixtures_as_empty_fields_and_their_audio(self) -> None:
        for extension in ALL_FORMATS:
            with self.subTest(extension):
                tags = orvell.read(self.fresh(extension))
                rate, channels = AUDIO[extension]
                title = "Silence" if extension == "mp3" else ""
                self.assertEqual(tags, dataclasses.replace(
                    orvell.Tags(), title=title, duration=1, bitrate=tags.bitrate,
                    sample_rate=rate, channels=channels))
                self.assertGreater(tags.bitrate, 0)

    def test_tags_are_frozen(self) -> None:
        tags = orvell.read(self.fresh("flac"))
        with self.assertRaises(dataclasses.FrozenInstanceError):
            tags.title = "changed"  # type: ignore[misc]

    def test_a_large_tag_is_read_in_one_call_and_a_larger_one_whole(self) -> None:
        # Each thread reads into a buffer of 1 MB, so a tag that fits is
        # opened and parsed once; a larger one takes one call more, into a
        # buffer four times as large. (format, comment bytes, calls)
        cases = [("flac", 100_000, 1), ("mp3", 100_000, 1), ("m4a", 100_000, 1),
                 ("ogg", 1_000_000, 1), ("flac", 1_500_000, 2)]
        sizes: List[int] = []
        real = _bulk._read_tags

        def counting(*arguments: Any) -> int:
            sizes.append(arguments[2])
            return int(real(*arguments))

        for extension, length, calls in cases:
            with self.subTest(extension=extension, length=length):
                path = self.fresh(extension)
                comment = ("0123456789:é" * length)[:length - length // 13]  # é is two bytes
                self.assertEqual(len(comment.encode()), length)
                orvell.write(path, comment=comment, title="t" * 9000)
                sizes.clear()
                with mock.patch.object(_bulk, "_read_tags", counting):
                    tags = orvell.read(path)
                self.assertEqual((tags.comment, tags.title), (comment, "t" * 9000))
                self.assertEqual(sizes, [1 << 20, 1 << 22][:calls])


class WriteTest(FixtureCase):
    def test_every_field_round_trips_on_every_format(self) -> None:
        for extension in ALL_FORMATS:
            with self.subTest(extension):
                path = self.fresh(extension)
                self.assertTrue(orvell.write(path, **EVERY_FIELD))
                self.assertEqual(writable(orvell.read(path)), EVERY_FIELD)

    def test_clear_empties_every_field(self) -> None:
        for extension in ALL_FORMATS:
            with self.subTest(extension):
                path = self.fresh(extension)
                orvell.write(path, **EVERY_FIELD)
                self.assertTrue(orvell.write(
                    path, **{name: orvell.CLEAR for name in orvell.WRITABLE_FIELDS}))
                self.assertEqual(writable(orvell.read(path)), writable(orvell.Tags()))

    def test_fields_left_out_are_kept(self) -> None:
        path = self.fresh("mp3")
        orvell.write(path, **EVERY_FIELD)
        orvell.write(path, title="Only this", disc_total=9, artist=orvell.KEEP)
        expected = dict(EVERY_FIELD, title="Only this", disc_total=9)
        self.assertEqual(writable(orvell.read(path)), expected)

    def test_an_empty_text_is_a_value_and_empties_the_field(self) -> None:
        path = self.fresh("ogg")
        orvell.write(path, **EVERY_FIELD)
        orvell.write(path, title="", composer="")
        tags = orvell.read(path)
        self.assertEqual((tags.title, tags.composer, tags.artist), ("", "", EVERY_FIELD["artist"]))

    def test_clearing_the_track_drops_its_total_but_clearing_the_disc_keeps_its_total(
            self) -> None:
        path = self.fresh("flac")
        orvell.write(path, track=3, track_total=12, disc=1, disc_total=2)
        orvell.write(path, track=orvell.CLEAR, disc=orvell.CLEAR)
        tags = orvell.read(path)
        self.assertEqual((tags.track, tags.track_total, tags.disc, tags.disc_total), (0, 0, 0, 2))

    def test_nothing_asked_returns_false_without_touching_the_file(self) -> None:
        path = self.fresh("flac")
        before = path.read_bytes()
        self.assertFalse(orvell.write(path))
        self.assertEqual(path.read_bytes(), before)
        # The file is not even opened, so a missing one is no error.
        self.assertFalse(orvell.write(self.scratch / "missing.flac"))

    def test_the_largest_numbers_round_trip_where_the_format_stores_them(self) -> None:
        path = self.fresh("flac")
        top = 2147483647
        orvell.write(path, year=top, track=top, track_total=top, disc=top, disc_total=top)
        tags = orvell.read(path)
        self.assertEqual((tags.year, tags.track, tags.track_total, tags.disc, tags.disc_total),
                         (top,) * 5)

    def test_bad_values_are_refused_before_the_file_is_touched(self) -> None:
        cases = [
            (dict(title=3), TypeError),
            (dict(title=b"bytes"), TypeError),
            (dict(title=None), TypeError),
            (dict(year="2024"), TypeError),
            (dict(year=2024.0), TypeError),
            (dict(track=True), TypeError),
            (dict(duration=3), TypeError),
            (dict(bitrate=orvell.CLEAR), TypeError),
            (dict(titel="typo"), TypeError),
            (dict(title="a\0b"), ValueError),
            (dict(comment="\udc80"), ValueError),
            (dict(year=-1), ValueError),
            (dict(disc_total=2147483648), ValueError),
            (dict(title="good", track=-3), ValueError),
        ]
        path = self.fresh("flac")
        before = path.read_bytes()
        for changes, error in cases:
            with self.subTest(changes=changes):
                with self.assertRaises(error):
                    orvell.write(path, **changes)
                with self.assertRaises(error):  # checked before the path is
                    orvell.write(self.scratch / "missing.flac", **changes)
        self.assertEqual(path.read_bytes(), before)

    def test_any_integer_type_is_taken_as_a_number(self) -> None:
        class Index:
            def __index__(self) -> int:
                return 7

        path = self.fresh("flac")
        orvell.write(path, track=Index())
        self.assertEqual(orvell.read(path).track, 7)


class BlockCodecTest(unittest.TestCase):
    def test_write_block_records(self) -> None:
        keep, clear = orvell.KEEP, orvell.CLEAR
        block = encode_write_block(
            ("Café", keep, clear, "Blue", keep, "", keep, keep, 2024, 3, 12, clear, keep))
        self.assertEqual(block, "6:1Café1:01:25:1Blue1:01:11:01:05:120242:133:1121:21:0\0"
                         .encode())

    def test_read_blocks(self) -> None:
        # (the title's and comment's bytes, the year's and track total's
        # digits, and what they decode to): lengths of one, two and more
        # digits; texts that are not ASCII, hold colons and digits or are
        # not UTF-8; numbers of one digit, negative and of ten digits.
        cases = [
            (b"", b"", b"0", b"0", ("", "", 0, 0)),
            (b"12:30", "Café".encode(), b"2001", b"-2", ("12:30", "Café", 2001, -2)),
            (b"x" * 10, b"y" * 99, b"1", b"12", ("x" * 10, "y" * 99, 1, 12)),
            (b"3:" * 60, b"z" * 12345, b"-1", b"2147483647",
             ("3:" * 60, "z" * 12345, -1, 2147483647)),
            (b"\xff\xfeA", "日本".encode(), b"9", b"-2147483648",
             ("\ufffd\ufffdA", "日本", 9, -2147483648)),
        ]
        for title, comment, year, total, expected in cases:
            with self.subTest(expected=expected):
                texts = [title, b"", b"", b"", b"", comment, b"", b"Nobody"]
                numbers = [year, b"3", total, b"0", b"0", b"215", b"320", b"44100", b"2"]
                block = b"".join(b"%d:%s" % (len(field), field) for field in texts + numbers)
                tags = decode_read_block(block)
                self.assertEqual((tags.title, tags.comment, tags.year, tags.track_total),
                                 expected)
                self.assertEqual((tags.conductor, tags.track, tags.duration, tags.bitrate,
                                  tags.sample_rate, tags.channels),
                                 ("Nobody", 3, 215, 320, 44100, 2))

    def test_malformed_read_blocks_raise(self) -> None:
        shortest = b"0:0:0:0:0:0:0:0:1:01:01:01:01:01:01:01:01:0"
        for block in (b"", shortest[:-1], shortest + b"x", b"x" + shortest, b"x:" + shortest[2:],
                      b"1x:" + shortest[2:], shortest.replace(b"1:0", b"1:x", 1),
                      shortest.replace(b"1:0", b"2:1x", 1), b"9:" + shortest[2:],
                      b"100:" + shortest[2:]):
            with self.subTest(block=block):
                with self.assertRaises(orvell.OrvellError):
                    decode_read_block(block)


if __name__ == "__main__":
    unittest.main()
