"""Calls from several Python threads at once."""
from __future__ import annotations

import threading
import unittest
from concurrent.futures import ThreadPoolExecutor

import orvell

from support import ALL_FORMATS, FixtureCase

THREADS = 8
ROUNDS = 25


class ConcurrentReadTest(FixtureCase):
    def setUp(self) -> None:
        super().setUp()
        self.paths = []
        for extension in ALL_FORMATS:
            path = self.fresh(extension)
            orvell.write(path, title=f"{extension} title", artist="Ärtist", composer=extension,
                         year=2000 + len(extension), track=len(extension), track_total=20)
            self.paths.append(path)
        self.expected = {path: orvell.read(path) for path in self.paths}

    def test_threads_reading_the_same_and_different_files_see_what_one_thread_sees(
            self) -> None:
        start = threading.Barrier(THREADS)

        def work(worker: int) -> list:
            start.wait()  # all threads enter the library together
            seen = []
            for round_ in range(ROUNDS):
                # Every thread reads every file, each starting elsewhere.
                path = self.paths[(worker + round_) % len(self.paths)]
                seen.append((path, orvell.read(path)))
                seen.append((path, orvell.get_composer(path)))
            return seen

        with ThreadPoolExecutor(THREADS) as pool:
            results = list(pool.map(work, range(THREADS)))
        self.assertEqual(len(results), THREADS)
        for seen in results:
            self.assertEqual(len(seen), 2 * ROUNDS)
            for path, value in seen:
                expected = self.expected[path]
                self.assertEqual(value, expected if isinstance(value, orvell.Tags)
                                 else expected.composer)

    def test_threads_writing_their_own_files_do_not_mix(self) -> None:
        copies = [self.copy("silence.ogg", f"copy{worker}.ogg") for worker in range(THREADS)]
        start = threading.Barrier(THREADS)

        def work(worker: int) -> None:
            start.wait()
            for round_ in range(ROUNDS):
                orvell.write(copies[worker], title=f"worker {worker}", track=round_ + 1)

        with ThreadPoolExecutor(THREADS) as pool:
            list(pool.map(work, range(THREADS)))
        for worker, path in enumerate(copies):
            tags = orvell.read(path)
            self.assertEqual((tags.title, tags.track), (f"worker {worker}", ROUNDS))


if __name__ == "__main__":
    unittest.main()
