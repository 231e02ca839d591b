"""Checks of the values handed to the library, made before any call so that
a bad value never reaches a file, and the C int32 never truncates one."""
from __future__ import annotations

import operator
from typing import SupportsIndex, cast

INT32_MAX = 2147483647


def text_bytes(value: object, what: str) -> bytes:
    """The UTF-8 bytes of a text value; it must be a str without NUL."""
    if not isinstance(value, str):
        raise TypeError(f"{what} must be a str, not {type(value).__name__}")
    if "\0" in value:
        raise ValueError(f"{what} holds a NUL character, which a C text cannot carry")
    try:
        return value.encode("utf-8")
    except UnicodeEncodeError as error:
        raise ValueError(f"{what} is not valid Unicode text: {error}") from None


def number(value: object, what: str, highest: int = INT32_MAX, kind: str = "") -> int:
    """A number value; it must be an integer from 0 to highest (2147483647 unless
    told), and kind names what it is in the message of a value out of range."""
    if isinstance(value, bool):
        raise TypeError(f"{what} must be an int, not bool")
    try:
        # int, or any integer type such as numpy's; anything else raises
        result = operator.index(cast(SupportsIndex, value))
    except TypeError:
        raise TypeError(f"{what} must be an int, not {value.__class__.__name__}") from None
    if not 0 <= result <= highest:
        raise ValueError(f"{what} must be {kind}from 0 to {highest}, not {result}")
    return result


def decode_text(raw: bytes) -> str:
    """Text from the library: UTF-8, with any invalid byte replaced."""
    return raw.decode("utf-8", "replace")
