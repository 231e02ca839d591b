"""Reading a music library from Python: orvell.read() against a C++ loop over
TagLib doing the same reads (orvell_taglib_read_loop) and against mutagen
reading the same 17 fields, side by side in one run.

    python_read.py --loop EXE LIBRARY [--rounds N] [--instructions N]

First the three readers must agree on every file: the C++ loop and
orvell on all 17 fields, mutagen on the 13 tag fields and the channels.
Then each reader runs as a process of its own over every file, taking turns
for N rounds (default 5); the loop's CPU time, process start, imports and
one warm-up read left out, is kept, and the best and the median of each are
reported with their ratios. With --instructions N, each reader also runs
under callgrind over N files spread through the library and over none; the
difference is its instruction count for those N reads.

    python_read.py --subject orvell|mutagen LIST COUNT [--print]

is one reader: after one warm-up read of the first file named in LIST (one
path a line), it reads the first COUNT of them and prints the CPU seconds
of that loop, or with --print the 17 fields of each, one tab-separated line
per file.
"""
from __future__ import annotations

import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path
from typing import Callable, Dict, List, Sequence, Tuple

Record = Tuple[object, ...]
READERS = ("taglib", "orvell", "mutagen")


# The readers. Each turns a path into the 17 fields in orvell's order:
# title, artist, album artist, album, genre, comment, composer, conductor,
# year, track, track total, disc, disc total, duration, bitrate, sample
# rate, channels.

def orvell_reader() -> Callable[[str], object]:
    import orvell
    return orvell.read


def orvell_record(tags: object) -> Record:
    import dataclasses
    return dataclasses.astuple(tags)  # type: ignore[call-overload]


def _pair(text: str) -> Tuple[int, int]:
    number, _, total = text.partition("/")
    return (int(number) if number.strip().lstrip("-").isdigit() else 0,
            int(total) if total.strip().lstrip("-").isdigit() else 0)


def _year(text: str) -> int:
    return int(text[:4]) if text[:4].isdigit() else 0


def mutagen_reader() -> Callable[[str], Record]:
    """mutagen as a program reading the same fields would use it: the file
    type guessed from the content, then each format's own keys."""
    import mutagen
    from mutagen.apev2 import APEv2
    from mutagen.id3 import ID3
    from mutagen.mp4 import MP4Tags

    def id3(tags: ID3) -> List[object]:
        def text(frame: str) -> str:
            found = tags.get(frame)
            return str(found.text[0]) if found is not None and found.text else ""
        comments = [frame for frame in tags.getall("COMM") if frame.desc == ""]
        comment = str(comments[0].text[0]) if comments and comments[0].text else ""
        return [text("TIT2"), text("TPE1"), text("TPE2"), text("TALB"), text("TCON"), comment,
                text("TCOM"), text("TPE3"), _year(text("TDRC")), *_pair(text("TRCK")),
                *_pair(text("TPOS"))]

    def vorbis(tags: Dict[str, List[str]]) -> List[object]:
        def text(key: str) -> str:
            found = tags.get(key)
            return found[0] if found else ""
        return [text("title"), text("artist"), text("albumartist"), text("album"),
                text("genre"), text("comment"), text("composer"), text("conductor"),
                _year(text("date")), *_pair(text("tracknumber")), *_pair(text("discnumber"))]

    def mp4(tags: MP4Tags) -> List[object]:
        def text(key: str) -> str:
            found = tags.get(key)
            if not found:
                return ""
            value = found[0]
            return value.decode("utf-8", "replace") if isinstance(value, bytes) else str(value)
        track = tags.get("trkn") or [(0, 0)]
        disc = tags.get("disk") or [(0, 0)]
        return [text("\xa9nam"), text("\xa9ART"), text("aART"), text("\xa9alb"),
                text("\xa9gen"), text("\xa9cmt"), text("\xa9wrt"),
                text("----:com.apple.iTunes:CONDUCTOR"), _year(text("\xa9day")),
                *track[0], *disc[0]]

    def ape(tags: APEv2) -> List[object]:
        def text(key: str) -> str:
            found = tags.get(key)
            return str(found).split("\0")[0] if found is not None else ""
        return [text("Title"), text("Artist"), text("Album Artist"), text("Album"),
                text("Genre"), text("Comment"), text("Composer"), text("Conductor"),
                _year(text("Year")), *_pair(text("Track")), *_pair(text("Disc"))]

    def read(path: str) -> Record:
        audio = mutagen.File(path)
        tags = audio.tags
        if isinstance(tags, ID3):
            fields = id3(tags)
        elif isinstance(tags, MP4Tags):
            fields = mp4(tags)
        elif isinstance(tags, APEv2):
            fields = ape(tags)
        else:
            fields = vorbis(tags)
        info = audio.info
        return (*fields, int(info.length + 0.5), getattr(info, "bitrate", 0) // 1000,
                getattr(info, "sample_rate", 0), info.channels)

    return read


def run_subject(name: str, list_file: str, count: int, print_records: bool) -> None:
    paths = Path(list_file).read_text().splitlines()
    if name == "orvell":
        read: Callable[[str], object] = orvell_reader()
        record: Callable[[object], Record] = orvell_record
    else:
        read = mutagen_reader()
        record = lambda fields: fields  # noqa: E731
    if print_records:
        for path in paths[:count]:
            print("\t".join(str(value) for value in record(read(path))))
        return
    read(paths[0])  # loads what a first read loads (mutagen imports each format)
    start = time.process_time()
    for path in paths[:count]:
        read(path)
    print(f"{time.process_time() - start:.6f}")


# The driver.

def command(reader: str, loop: str, list_file: str, count: int, *extra: str) -> List[str]:
    if reader == "taglib":
        return [loop, list_file, str(count), *extra]
    return [sys.executable, os.path.abspath(__file__), "--subject", reader, list_file,
            str(count), *extra]


def output(arguments: Sequence[str], environment: Dict[str, str]) -> str:
    done = subprocess.run(arguments, capture_output=True, text=True, env=environment)
    if done.returncode != 0:
        sys.exit(f"python_read.py: {' '.join(arguments)} failed:\n{done.stderr}")
    return done.stdout


def check_agreement(loop: str, list_file: str, count: int,
                    environment: Dict[str, str]) -> None:
    printed = {reader: output(command(reader, loop, list_file, count, "--print"),
                              environment).splitlines() for reader in READERS}
    paths = Path(list_file).read_text().splitlines()
    faults = []
    for index, path in enumerate(paths[:count]):
        taglib, orvell, mutagen = (printed[reader][index].split("\t") for reader in READERS)
        if taglib != orvell:
            faults.append(f"{path}: TagLib {taglib} but orvell {orvell}")
        if mutagen[:13] + mutagen[16:] != orvell[:13] + orvell[16:]:
            faults.append(f"{path}: mutagen {mutagen} but orvell {orvell}")
    if faults:
        sys.exit("python_read.py: the readers disagree:\n" + "\n".join(faults[:10]))
    print(f"all three readers agree on every field of {count} files")


def timed(loop: str, list_file: str, count: int, rounds: int,
          environment: Dict[str, str]) -> Dict[str, List[float]]:
    seconds: Dict[str, List[float]] = {reader: [] for reader in READERS}
    for _ in range(rounds):
        for reader in READERS:
            seconds[reader].append(
                float(output(command(reader, loop, list_file, count), environment)))
    return seconds


def instructions(loop: str, list_file: str, count: int,
                 environment: Dict[str, str]) -> Tuple[Dict[str, int], int]:
    # A list of count files spread evenly through the library.
    paths = Path(list_file).read_text().splitlines()
    spread = paths[::max(1, len(paths) // count)][:count]
    counted: Dict[str, int] = {}
    with tempfile.TemporaryDirectory(prefix="orvell-callgrind-") as scratch:
        sample = Path(scratch, "files")
        sample.write_text("\n".join(spread) + "\n")
        for reader in READERS:
            totals = []
            for reads in (len(spread), 0):
                out = Path(scratch, f"{reader}-{reads}.out")
                output(["valgrind", "-q", "--tool=callgrind", f"--callgrind-out-file={out}",
                        *command(reader, loop, str(sample), reads)], environment)
                summary = next(line for line in out.read_text().splitlines()
                               if line.startswith("summary:"))
                totals.append(int(summary.split()[1]))
            counted[reader] = totals[0] - totals[1]
    return counted, len(spread)


def report(count: int, seconds: Dict[str, List[float]], counted: Dict[str, int],
           sample: int) -> None:
    labels = {"taglib": "C++ loop over TagLib", "orvell": "orvell.read()",
              "mutagen": "mutagen, the same fields"}
    best = {reader: min(values) for reader, values in seconds.items()}
    median = {reader: statistics.median(values) for reader, values in seconds.items()}
    rounds = len(seconds["taglib"])
    print("load average %.2f %.2f %.2f; " % os.getloadavg()
          + f"{count} files, CPU time of {rounds} rounds")
    print(f"{'reader':28} {'best':>9} {'median':>9} {'per file':>9} {'÷ C++':>7} {'÷ orvell':>9}")
    for reader in READERS:
        print(f"{labels[reader]:28} {best[reader]:8.3f}s {median[reader]:8.3f}s "
              f"{best[reader] / count * 1e6:7.1f}µs {best[reader] / best['taglib']:7.3f} "
              f"{best[reader] / best['orvell']:9.3f}")
    if counted:
        print(f"instructions for {sample} files under callgrind")
        print(f"{'reader':28} {'per file':>12} {'÷ C++':>7} {'÷ orvell':>9}")
        for reader in READERS:
            print(f"{labels[reader]:28} {counted[reader] / sample:12.0f} "
                  f"{counted[reader] / counted['taglib']:7.3f} "
                  f"{counted[reader] / counted['orvell']:9.3f}")


def main() -> None:
    if len(sys.argv) > 1 and sys.argv[1] == "--subject":
        run_subject(sys.argv[2], sys.argv[3], int(sys.argv[4]), "--print" in sys.argv[5:])
        return
    parser = argparse.ArgumentParser()
    parser.add_argument("--loop", required=True, help="the orvell_taglib_read_loop program")
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--instructions", type=int, default=0, metavar="N")
    parser.add_argument("library")
    options = parser.parse_args()
    files = sorted(str(path) for path in Path(options.library).rglob("*") if path.is_file())
    environment = dict(os.environ, PYTHONHASHSEED="0")
    with tempfile.NamedTemporaryFile("w", prefix="orvell-files-", suffix=".txt") as listing:
        listing.write("\n".join(files) + "\n")
        listing.flush()
        check_agreement(options.loop, listing.name, len(files), environment)
        seconds = timed(options.loop, listing.name, len(files), options.rounds, environment)
        counted: Dict[str, int] = {}
        sample = 0
        if options.instructions:
            counted, sample = instructions(options.loop, listing.name, options.instructions,
                                           environment)
        report(len(files), seconds, counted, sample)


if __name__ == "__main__":
    main()
