"""Negative results become the right exception, per function family."""
from __future__ import annotations

import ctypes
import errno
import os
import pickle
import shutil
import subprocess
import sys
import unittest
from pathlib import Path

import orvell
from orvell import _errors, _library

from support import FixtureCase

# Every public function with arguments that pass the Python checks, the
# export it calls, and that export's code for a file that did not open:
# -2 for the number getters, -3 for everything else.
CALLS = [
    (orvell.get_title, (), "OV_GetTitle", -3),
    (orvell.get_artist, (), "OV_GetArtist", -3),
    (orvell.get_album, (), "OV_GetAlbum", -3),
    (orvell.get_genre, (), "OV_GetGenre", -3),
    (orvell.get_comment, (), "OV_GetComment", -3),
    (orvell.get_album_artist, (), "OV_GetAlbumArtist", -3),
    (orvell.get_composer, (), "OV_GetComposer", -3),
    (orvell.get_conductor, (), "OV_GetConductor", -3),
    (orvell.set_title, ("x",), "OV_SetTitle", -3),
    (orvell.set_artist, ("x",), "OV_SetArtist", -3),
    (orvell.set_album, ("x",), "OV_SetAlbum", -3),
    (orvell.set_genre, ("x",), "OV_SetGenre", -3),
    (orvell.set_comment, ("x",), "OV_SetComment", -3),
    (orvell.set_album_artist, ("x",), "OV_SetAlbumArtist", -3),
    (orvell.set_composer, ("x",), "OV_SetComposer", -3),
    (orvell.set_conductor, ("x",), "OV_SetConductor", -3),
    (orvell.set_artist_sync, ("x",), "OV_SetArtistSync", -3),
    (orvell.get_year, (), "OV_GetYear", -2),
    (orvell.get_track, (), "OV_GetTrack", -2),
    (orvell.get_duration, (), "OV_GetDuration", -2),
    (orvell.get_bitrate, (), "OV_GetBitrate", -2),
    (orvell.get_sample_rate, (), "OV_GetSampleRate", -2),
    (orvell.get_channels, (), "OV_GetChannels", -2),
    (orvell.get_track_total, (), "OV_GetTrackTotal", -2),
    (orvell.get_disc, (), "OV_GetDisc", -2),
    (orvell.get_disc_total, (), "OV_GetDiscTotal", -2),
    (orvell.set_year, (1,), "OV_SetYear", -3),
    (orvell.set_track, (1,), "OV_SetTrack", -3),
    (orvell.set_track_total, (1,), "OV_SetTrackTotal", -3),
    (orvell.set_disc, (1,), "OV_SetDisc", -3),
    (orvell.set_disc_total, (1,), "OV_SetDiscTotal", -3),
    (orvell.read, (), "OV_ReadTags", -3),
    (lambda path: orvell.write(path, title="x"), (), "OV_WriteTags", -3),
    (orvell.properties, (), "OV_ReadProperties", -3),
    (orvell.write_properties, ({"MOOD": ["calm"]},), "OV_WriteProperties", -3),
    (orvell.pictures, (), "OV_ReadPictures", -3),
    (orvell.picture_data, (0,), "OV_GetPicture", -3),
    (orvell.set_picture, (b"\x89PNG\r\n\x1a\n",), "OV_SetPicture", -3),
    (orvell.remove_pictures, (), "OV_RemovePictures", -3),
]


class ResultCodeTest(FixtureCase):
    def test_every_export_is_covered_once(self) -> None:
        # OV_LastError takes no path: every failure below reads it.
        self.assertEqual(sorted([name for _, _, name, _ in CALLS] + ["OV_LastError"]),
                         sorted(_library.EXPORTS))
        self.assertEqual(len(_library.EXPORTS), 40)

    def test_a_file_that_does_not_open_raises_the_os_error_that_says_why(self) -> None:
        # (path, exception, errno, the library's reason): the class is also
        # the OSError subclass Python itself raises for that errno, and the
        # message ends with the reason OV_LastError gave right after the
        # call.
        folder = self.scratch / "folder.flac"
        folder.mkdir()
        not_audio = "not an audio file TagLib reads"
        unopenable = [
            (self.scratch / "missing.flac", orvell.MissingFile, errno.ENOENT, "no such file"),
            (self.copy("notaudio.flac"), orvell.UnsupportedFormat, None, not_audio),
            (self.copy("unknown.xyz"), orvell.UnsupportedFormat, None, not_audio),
            (folder, orvell.FileNotOpened, errno.EISDIR, "a folder, not a file"),
            (self.copy("silence.flac") / "below.flac", orvell.FileNotOpened, errno.ENOTDIR,
             "a folder of the path is not a folder"),
        ]
        for call, arguments, export, code in CALLS:
            for path, kind, number, reason in unopenable:
                with self.subTest(export=export, path=path.name):
                    with self.assertRaises(kind) as caught:
                        call(path, *arguments)
                    error = caught.exception
                    self.assertIs(type(error), kind)
                    self.assertEqual((error.function, error.code, error.path),
                                     (export, code, str(path)))
                    self.assertEqual((error.errno, error.filename), (number, str(path)))
                    self.assertIsInstance(error, OSError)
                    self.assertEqual(isinstance(error, FileNotFoundError),
                                     number == errno.ENOENT)
                    self.assertIn(export, str(error))
                    self.assertEqual(error.detail, reason)
                    self.assertTrue(str(error).endswith(f"the file did not open: {reason}"),
                                    str(error))

    def test_a_file_this_process_may_not_read_raises_permission_error(self) -> None:
        # Root reads any file, so root checks it as nobody. The checkout may
        # lie where nobody cannot go (root's 0700 home, a 0700 temporary
        # folder), so nobody gets copies of the package and the library in
        # the scratch folder, and starts there.
        path = self.copy("sample.flac")
        path.chmod(0)
        self.scratch.chmod(0o755)
        environment = dict(os.environ)
        if os.geteuid() == 0:
            package = self.scratch / "python"
            shutil.copytree(Path(orvell.__file__).parent, package / "orvell")
            library = package / "liborvell.so.1"
            shutil.copyfile(_library.LIBRARY_PATH, library)
            environment.update(PYTHONPATH=str(package), ORVELL_LIBRARY=str(library))
        check = ("import orvell, sys\n"
                 "for call in (orvell.read, orvell.get_year, lambda p: orvell.write(p, year=1)):\n"
                 "    try:\n"
                 "        call(sys.argv[1])\n"
                 "    except PermissionError as error:\n"
                 "        print(type(error).__name__, error.function, error.code, error.errno)\n")
        command = [sys.executable, "-c", check, str(path)]
        if os.geteuid() == 0:
            command = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"] + command
        done = subprocess.run(command, capture_output=True, text=True, timeout=60,
                              cwd=self.scratch, env=environment)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(done.stdout.splitlines(), [
            f"UnreadableFile OV_ReadTags -3 {errno.EACCES}",
            f"UnreadableFile OV_GetYear -2 {errno.EACCES}",
            f"UnreadableFile OV_WriteTags -3 {errno.EACCES}",
        ])

    def test_an_empty_path_raises_invalid_argument(self) -> None:
        for call, arguments, export, _ in CALLS:
            with self.subTest(export):
                with self.assertRaises(orvell.InvalidArgument) as caught:
                    call("", *arguments)
                self.assertEqual((caught.exception.function, caught.exception.code), (export, -1))
                self.assertIsInstance(caught.exception, ValueError)

    def test_a_failed_save_raises_save_failed_and_leaves_the_file(self) -> None:
        setters = [
            (orvell.set_title, "x", "OV_SetTitle", -5),
            (orvell.set_composer, "x", "OV_SetComposer", -5),
            (orvell.set_artist_sync, "x", "OV_SetArtistSync", -5),
            (orvell.set_year, 2000, "OV_SetYear", -5),
            (orvell.set_disc_total, 2, "OV_SetDiscTotal", -5),
            (lambda path, value: orvell.write(path, title=value), "x", "OV_WriteTags", -8),
            (orvell.write_properties, {"MOOD": ["calm"]}, "OV_WriteProperties", -8),
            (orvell.set_picture, b"GIF89a;", "OV_SetPicture", -5),
            (lambda path, value: orvell.remove_pictures(path, value), None, "OV_RemovePictures",
             -5),
        ]
        # With a picture, so that removing pictures has something to save.
        path = self.unwritable("flac", lambda fresh: orvell.set_picture(fresh, b"GIF89a;"))
        before = path.read_bytes()
        for setter, value, export, code in setters:
            with self.subTest(export):
                with self.assertRaises(orvell.SaveFailed) as caught:
                    setter(path, value)
                self.assertEqual((caught.exception.function, caught.exception.code),
                                 (export, code))
                # The library's reason, not a guess from the path.
                self.assertEqual(caught.exception.detail,
                                 "the file cannot be opened for writing: permission denied")
                self.assertTrue(str(caught.exception).endswith(caught.exception.detail))
        self.assertEqual(path.read_bytes(), before)
        self.assertEqual(orvell.get_title(path), "")  # still readable

    def test_write_block_faults_raise_invalid_block(self) -> None:
        # write() only builds valid blocks; the raw export shows what the
        # library says about bad ones and how that is reported.
        keep = b"1:0" * 13
        cases = [
            (b"1:0" * 12 + b"\0", -5),            # a record short
            (keep + b"1:0\0", -5),                # a record too many
            (b"1:3" + b"1:0" * 12 + b"\0", -6),   # no such action
            (b"1:0" * 8 + b"2:1x" + b"1:0" * 4 + b"\0", -7),  # a year that is no number
        ]
        path = self.fresh("flac")
        for block, code in cases:
            with self.subTest(block=block):
                with self.assertRaises(orvell.InvalidBlock) as caught:
                    _library.call("OV_WriteTags", path, block, len(block))
                self.assertEqual(caught.exception.code, code)
        self.assertEqual(_library.call("OV_WriteTags", path, keep + b"\0", 40), 0)
        # write_properties() checks keys itself; the raw export shows the
        # library's refusal of a property block, with its reason.
        for block, code, reason in (
                (b"4:MOOD\0", -5, "property block, entry 0: a field without its length"),
                (b"4:MOOD1:14:calm4:mood1:13:low\0", -5, "a key named twice"),
                (b"3:A=B1:0\0", -6, "property block, entry 0: not a key")):
            with self.subTest(block=block):
                with self.assertRaises(orvell.InvalidBlock) as caught:
                    _library.call("OV_WriteProperties", path, block)
                self.assertEqual(caught.exception.code, code)
                self.assertIn(reason, str(caught.exception))
        self.assertEqual(_library.call("OV_WriteProperties", path, b"\0"), 0)

    def test_a_bad_buffer_raises_invalid_argument(self) -> None:
        path = self.fresh("flac")
        buffer = ctypes.create_string_buffer(8)
        for export in ("OV_ReadTags", "OV_GetTitle", "OV_GetComposer"):
            with self.subTest(export):
                with self.assertRaises(orvell.InvalidArgument) as caught:
                    _library.call(export, path, buffer, 0)
                self.assertEqual(caught.exception.code, -2)
        with self.assertRaises(orvell.BlockTooLarge):
            _library.call("OV_ReadTags", path, buffer, 8)


class FamilyTableTest(unittest.TestCase):
    """Codes no fixture can provoke (no tag, no audio properties, internal
    failures), checked against the header's family tables."""

    def test_codes_map_to_their_exception_per_family(self) -> None:
        cases = [
            ("OV_GetTitle", -4, orvell.NoTag),
            ("OV_SetArtistSync", -4, orvell.NoTag),
            ("OV_SetYear", -4, orvell.NoTag),
            ("OV_ReadTags", -4, orvell.NoTag),
            ("OV_WriteTags", -4, orvell.NoTag),
            ("OV_GetYear", -3, orvell.NoTag),
            ("OV_GetTrack", -3, orvell.NoTag),
            ("OV_GetDuration", -3, orvell.NoAudioProperties),
            ("OV_GetChannels", -3, orvell.NoAudioProperties),
            ("OV_SetYear", -2, orvell.InvalidArgument),
            ("OV_SetTitle", -2, orvell.InvalidArgument),
            ("OV_ReadTags", -5, orvell.BlockTooLarge),
            ("OV_SetDisc", -5, orvell.SaveFailed),
            ("OV_WriteTags", -5, orvell.InvalidBlock),
            ("OV_WriteTags", -8, orvell.SaveFailed),
            ("OV_ReadProperties", -4, orvell.NoTag),
            ("OV_ReadPictures", -5, orvell.BlockTooLarge),
            ("OV_GetPicture", -2, orvell.InvalidArgument),
            ("OV_GetPicture", -6, orvell.NoSuchPicture),
            ("OV_WriteProperties", -6, orvell.InvalidBlock),
            ("OV_WriteProperties", -7, orvell.CannotHold),
            ("OV_WriteProperties", -8, orvell.SaveFailed),
            ("OV_SetPicture", -6, orvell.CannotHold),
            ("OV_RemovePictures", -2, orvell.InvalidArgument),
            ("OV_LastError", -2, orvell.InvalidArgument),
        ]
        cases += [(name, -9, orvell.UnexpectedFailure) for name in _library.EXPORTS]
        for export, code, expected in cases:
            with self.subTest(export=export, code=code):
                family = _library.EXPORTS[export].family
                self.assertIs(type(_errors.error_for(export, family, code)), expected)

    def test_codes_a_family_does_not_use_raise_the_base_class(self) -> None:
        for export, code in (("OV_GetComposer", -4), ("OV_SetComposer", -4),
                             ("OV_SetTrack", -4), ("OV_GetDisc", -3), ("OV_WriteTags", -10),
                             ("OV_RemovePictures", -6), ("OV_GetPicture", -7)):
            with self.subTest(export=export, code=code):
                error = _errors.error_for(export, _library.EXPORTS[export].family, code)
                self.assertIs(type(error), orvell.OrvellError)
                self.assertIn("does not document", str(error))

    def test_errors_survive_pickling(self) -> None:
        for error in (_errors.error_for("OV_GetTitle", _errors.TAG_TEXT_GETTER, -3, "/missing"),
                      _errors.error_for("OV_GetTitle", _errors.TAG_TEXT_GETTER, -4, "a.flac"),
                      _errors.error_for("OV_SetPicture", _errors.SET_PICTURE, -6, "a.m4a",
                                        "MP4 holds front covers only")):
            with self.subTest(type(error).__name__):
                copy = pickle.loads(pickle.dumps(error))
                self.assertIs(type(copy), type(error))
                self.assertEqual((copy.function, copy.code, copy.path, copy.detail, str(copy)),
                                 (error.function, error.code, error.path, error.detail,
                                  str(error)))
                self.assertEqual(getattr(copy, "errno", None), getattr(error, "errno", None))


class PathTest(FixtureCase):
    def test_str_bytes_and_path_like_name_the_same_file(self) -> None:
        path = self.fresh("flac")
        orvell.set_title(path, "by Path")
        self.assertEqual(orvell.get_title(str(path)), "by Path")
        self.assertEqual(orvell.read(os.fsencode(path)).title, "by Path")

    def test_names_that_are_not_utf8_reach_the_file(self) -> None:
        raw = os.fsencode(self.scratch) + b"/caf\xe9.flac"  # Latin-1, not UTF-8
        Path(os.fsdecode(raw)).write_bytes(self.fresh("flac").read_bytes())
        orvell.write(raw, title="raw bytes")
        self.assertEqual(orvell.get_title(os.fsdecode(raw)), "raw bytes")

    def test_bad_paths_are_refused(self) -> None:
        for path, error in ((b"a\0b.flac", ValueError), ("a\0b.flac", ValueError),
                            (None, TypeError), (3, TypeError)):
            with self.subTest(path=path):
                with self.assertRaises(error):
                    orvell.read(path)  # type: ignore[arg-type]
                with self.assertRaises(error):
                    orvell.get_disc(path)  # type: ignore[arg-type]


if __name__ == "__main__":
    unittest.main()
