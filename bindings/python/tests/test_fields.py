"""The single-field functions: one field per call."""
from __future__ import annotations

import unittest

import mutagen

import orvell

from support import FixtureCase

TEXT_FIELDS = [
    (orvell.get_title, orvell.set_title, "title"),
    (orvell.get_artist, orvell.set_artist, "artist"),
    (orvell.get_album, orvell.set_album, "album"),
    (orvell.get_genre, orvell.set_genre, "genre"),
    (orvell.get_comment, orvell.set_comment, "comment"),
    (orvell.get_album_artist, orvell.set_album_artist, "album_artist"),
    (orvell.get_composer, orvell.set_composer, "composer"),
    (orvell.get_conductor, orvell.set_conductor, "conductor"),
]
NUMBER_FIELDS = [
    (orvell.get_year, orvell.set_year, "year"),
    (orvell.get_track, orvell.set_track, "track"),
    (orvell.get_track_total, orvell.set_track_total, "track_total"),
    (orvell.get_disc, orvell.set_disc, "disc"),
    (orvell.get_disc_total, orvell.set_disc_total, "disc_total"),
]
FORMATS = ("flac", "mp3", "m4a", "opus")


class TextFieldTest(FixtureCase):
    def test_each_text_field_round_trips_and_reaches_the_bulk_read(self) -> None:
        for extension in FORMATS:
            path = self.fresh(extension)
            for index, (get, set_, name) in enumerate(TEXT_FIELDS):
                with self.subTest(extension=extension, field=name):
                    text = f"{name} {index}: Ünïcode ✓"
                    self.assertIs(set_(path, text), True)  # saved, as write() says
                    self.assertEqual(get(path), text)
                    self.assertEqual(getattr(orvell.read(path), name), text)

    def test_an_empty_text_empties_the_field(self) -> None:
        path = self.fresh("flac")
        for get, set_, name in TEXT_FIELDS:
            with self.subTest(name):
                set_(path, "something")
                set_(path, "")
                self.assertEqual(get(path), "")

    def test_texts_longer_than_the_first_buffer_come_back_whole(self) -> None:
        # The first buffer holds 255 bytes of text: lengths around it, and
        # two-byte characters that straddle it, must never come back cut.
        path = self.fresh("flac")
        for text in ("a" * 254, "a" * 255, "a" * 256, "é" * 128, "x" + "é" * 127,
                     "日本" * 300, "z" * 5000):
            with self.subTest(length=len(text.encode())):
                orvell.set_comment(path, text)
                orvell.set_composer(path, text)
                self.assertEqual(orvell.get_comment(path), text)
                self.assertEqual(orvell.get_composer(path), text)

    def test_artist_sync_sets_the_album_artist_only_when_asked(self) -> None:
        path = self.fresh("mp3")
        orvell.set_album_artist(path, "Before")
        orvell.set_artist_sync(path, "Solo", sync=False)
        self.assertEqual((orvell.get_artist(path), orvell.get_album_artist(path)),
                         ("Solo", "Before"))
        orvell.set_artist_sync(path, "Both")
        self.assertEqual((orvell.get_artist(path), orvell.get_album_artist(path)),
                         ("Both", "Both"))

    def test_bad_texts_are_refused_before_the_call(self) -> None:
        path = self.fresh("flac")
        before = path.read_bytes()
        for text, error in ((None, TypeError), (b"bytes", TypeError), (3, TypeError),
                            ("nul\0inside", ValueError), ("\ud800", ValueError)):
            with self.subTest(text=text):
                with self.assertRaises(error):
                    orvell.set_title(path, text)  # type: ignore[arg-type]
                with self.assertRaises(error):
                    orvell.set_artist_sync(path, text)  # type: ignore[arg-type]
        self.assertEqual(path.read_bytes(), before)


class NumberFieldTest(FixtureCase):
    def test_each_number_field_round_trips(self) -> None:
        for extension in FORMATS:
            path = self.fresh(extension)
            for value, (get, set_, name) in zip((2024, 7, 15, 2, 3), NUMBER_FIELDS):
                with self.subTest(extension=extension, field=name):
                    self.assertIs(set_(path, value), True)
                    self.assertEqual(get(path), value)
                    self.assertEqual(getattr(orvell.read(path), name), value)

    def test_a_half_of_a_pair_is_set_without_losing_the_other(self) -> None:
        path = self.fresh("ogg")
        orvell.set_track(path, 4)
        orvell.set_track_total(path, 10)
        orvell.set_track(path, 5)
        orvell.set_disc_total(path, 3)  # no disc number yet: stored as 0/3
        tags = orvell.read(path)
        self.assertEqual((tags.track, tags.track_total, tags.disc, tags.disc_total),
                         (5, 10, 0, 3))
        orvell.set_track_total(path, 0)
        self.assertEqual((orvell.get_track(path), orvell.get_track_total(path)), (5, 0))

    def test_audio_properties(self) -> None:
        path = self.copy("sample.flac")
        self.assertEqual((orvell.get_duration(path), orvell.get_sample_rate(path),
                          orvell.get_channels(path)), (2, 44100, 2))
        self.assertGreater(orvell.get_bitrate(path), 0)
        self.assertEqual(orvell.get_duration(self.copy("len1499ms.wav")), 1)
        self.assertEqual(orvell.get_duration(self.copy("len1500ms.wav")), 2)

    def test_stored_negative_pair_numbers_are_data_even_where_they_match_error_codes(
            self) -> None:
        # A pair getter returns a stored negative number as it is, so -1,
        # -2 and -9 come back for a file that holds them, while the same
        # results for a file that does not open are errors.
        path = self.fresh("flac")
        raw = mutagen.File(path)
        raw["TRACKNUMBER"] = "4/-1"
        raw["DISCNUMBER"] = "-2/-9"
        raw.save()
        self.assertEqual((orvell.get_track_total(path), orvell.get_disc(path),
                          orvell.get_disc_total(path)), (-1, -2, -9))
        tags = orvell.read(path)
        self.assertEqual((tags.track, tags.track_total, tags.disc, tags.disc_total),
                         (4, -1, -2, -9))
        for get in (orvell.get_track_total, orvell.get_disc, orvell.get_disc_total):
            with self.subTest(get.__name__):
                with self.assertRaises(orvell.FileNotOpened) as caught:
                    get(self.scratch / "missing.flac")
                self.assertEqual(caught.exception.code, -2)
                with self.assertRaises(orvell.InvalidArgument):
                    get("")

    def test_bad_numbers_are_refused_before_the_call(self) -> None:
        path = self.fresh("flac")
        before = path.read_bytes()
        for _, set_, name in NUMBER_FIELDS:
            for value, error in ((-1, ValueError), (2147483648, ValueError), (2 ** 64, ValueError),
                                 (True, TypeError), (1.0, TypeError), ("3", TypeError)):
                with self.subTest(field=name, value=value):
                    with self.assertRaises(error):
                        set_(path, value)  # type: ignore[arg-type]
        self.assertEqual(path.read_bytes(), before)


if __name__ == "__main__":
    unittest.main()
