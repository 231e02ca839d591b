"""A small client of orvell for mypy --strict, never run: test_package
checks that mypy reports each line marked "# error: CODE" with that code
and nothing else, so the package's annotations catch a caller's mistakes.
"""
from __future__ import annotations

from pathlib import Path
from typing import Dict, List

import orvell


def retag(path: Path, title: str) -> bool:
    tags: orvell.Tags = orvell.read(path)
    year: int = tags.year
    saved: bool = orvell.write(path, title=title, album=orvell.KEEP, comment=orvell.CLEAR,
                               year=year + 1, track=orvell.CLEAR, disc_total=2)
    return orvell.set_title(path, tags.title.upper()) and saved


def report(paths: List[str]) -> List[str]:
    lines = []
    for path in paths:
        try:
            lines.append(f"{path}: {orvell.get_title(path)} ({orvell.get_year(path)})")
        except FileNotFoundError as error:
            lines.append(f"{error.filename!r} is missing")
        except orvell.OrvellError as error:
            lines.append(f"{error.function} returned {error.code}")
    return lines


def covers(path: Path, image: bytes) -> List[str]:
    keys: Dict[str, List[str]] = orvell.properties(path)
    orvell.write_properties(path, {"MOOD": ["calm", "late"], "COMMENT": [], "ISRC": ("X",)})
    orvell.set_picture(path, image, type=4, mime=None, description="back")
    first: orvell.Picture = orvell.pictures(path)[0]
    data: bytes = orvell.picture_data(path, 0)
    removed: bool = orvell.remove_pictures(path) or orvell.remove_pictures(path, type=3)
    try:
        orvell.picture_data(path, 9)
    except IndexError as error:  # orvell.NoSuchPicture
        print(error)
    except orvell.OrvellError as error:
        print(error.detail)
    return [first.mime, str(first.size + len(data)), str(removed)] + list(keys)


def mistakes(path: str) -> None:
    orvell.write(path, titel="Title")  # error: call-arg
    orvell.write(path, year="2024")  # error: arg-type
    orvell.write(path, title=3)  # error: arg-type
    orvell.write(path, track=None)  # error: arg-type
    orvell.write(path, duration=3)  # error: call-arg
    orvell.write(path, "Title")  # error: misc
    orvell.read(path).title = "Title"  # error: misc
    count: int = orvell.get_title(path)  # error: assignment
    orvell.set_year(path, "2024")  # error: arg-type
    orvell.read(3)  # error: arg-type
    orvell.write_properties(path, {"MOOD": "calm"})  # error: dict-item
    orvell.set_picture(path, "cover.jpg")  # error: arg-type
    orvell.set_picture(path, b"...", 3)  # error: misc
    orvell.pictures(path)[0].size = 3  # error: misc
    orvell.remove_pictures(path, "front")  # error: arg-type
    name: str = orvell.properties(path)["TITLE"]  # error: assignment
    print(count)
