"""Output as kestrelctl writes it: texts a terminal may show, aligned tables and JSON documents.

``python3 -m kestrel`` prints what kestrelctl prints byte for byte, so
these follow kestrelctl's rules exactly (a test compares the two programs).
"""
from __future__ import annotations

import json
from typing import Any, List, Optional, Sequence, Tuple

# Characters a terminal acts on instead of showing, beyond C0 and DEL: the C1
# controls, and the bidirectional marks, embeddings, overrides and isolates
# that can make a text read differently from the bytes it holds.
_ACTS_ON_THE_TERMINAL: Tuple[Tuple[int, int], ...] = (
    (0x80, 0x9F), (0x061C, 0x061C), (0x200E, 0x200F), (0x202A, 0x202E), (0x2066, 0x2069))


def _acts_on_the_terminal(code_point: int) -> bool:
    return any(first <= code_point <= last for first, last in _ACTS_ON_THE_TERMINAL)


def _utf8_sequence(data: bytes, at: int) -> Tuple[int, Optional[int]]:
    """Length and code point of the well-formed UTF-8 sequence at `at`; (0, None) when there is none."""
    lead = data[at]
    if 0xC2 <= lead <= 0xDF:
        length, least = 2, 0x80
    elif 0xE0 <= lead <= 0xEF:
        length, least = 3, 0x800
    elif 0xF0 <= lead <= 0xF4:
        length, least = 4, 0x10000
    else:
        return 0, None
    if len(data) - at < length:
        return 0, None
    code_point = lead & (0x7F >> length)
    for byte in data[at + 1:at + length]:
        if byte & 0xC0 != 0x80:
            return 0, None
        code_point = (code_point << 6) | (byte & 0x3F)
    if code_point < least or code_point > 0x10FFFF or 0xD800 <= code_point <= 0xDFFF:
        return 0, None
    return length, code_point


def _escaped(data: bytes) -> str:
    return "".join(f"\\x{byte:02x}" for byte in data)


def printable(data: bytes) -> str:
    """A text as a terminal may show it.

    Control characters (C0 and C1), DEL, the bidirectional controls and
    bytes that are not UTF-8 are written as \\xNN per byte, a backslash as
    \\\\; everything else as it is."""
    out: List[str] = []
    at = 0
    while at < len(data):
        byte = data[at]
        length = 1
        if byte == 0x5C:
            out.append("\\\\")
        elif byte < 0x20 or byte == 0x7F:
            out.append(_escaped(data[at:at + 1]))
        elif byte < 0x80:
            out.append(chr(byte))
        else:
            length, code_point = _utf8_sequence(data, at)
            if code_point is None:
                length = 1
                out.append(_escaped(data[at:at + 1]))
            elif _acts_on_the_terminal(code_point):
                out.append(_escaped(data[at:at + length]))
            else:
                out.append(chr(code_point))
        at += length
    return "".join(out)


def table_lines(headings: Sequence[str], rows: Sequence[Sequence[str]], show_headings: bool, indent: int) -> List[str]:
    """Columns aligned whatever the values' lengths, no line ending in spaces."""
    widths = [len(heading) if show_headings else 0 for heading in headings]
    for row in rows:
        widths = [max(width, len(cell)) for width, cell in zip(widths, row)]
    lines = []
    for cells in ([list(headings)] if show_headings else []) + [list(row) for row in rows]:
        line = " " * indent
        for i, cell in enumerate(cells):
            line += cell
            if i + 1 < len(cells):
                line += " " * (widths[i] - len(cell) + 2)
        lines.append(line.rstrip(" "))
    return lines


def json_text(document: Any, pretty: bool = False) -> str:
    """One document on one line, or indented by two spaces; keys sorted; ends with a line feed."""
    if pretty:
        return json.dumps(document, indent=2, sort_keys=True, ensure_ascii=False) + "\n"
    return json.dumps(document, separators=(",", ":"), sort_keys=True, ensure_ascii=False) + "\n"
