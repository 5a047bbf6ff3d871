"""Status codes: every code the library reports, with its name and meaning.

The rows come from KESTREL_STATUS_TABLE of kestrel_status.h, read when the
package is built; codes the table does not know (a device's own) are named
"unknown status" with an empty meaning, as kestrelStatusName() does.
"""
from __future__ import annotations

from typing import Dict, NamedTuple, Optional

from . import _header


class StatusInfo(NamedTuple):
    code: int
    name: str
    meaning: str


_ROWS: Dict[int, StatusInfo] = {code: StatusInfo(code, name, meaning) for _, code, name, meaning in _header.STATUS_ROWS}

#: Every code by its C name: StatusCode.brioerr_busy == -52031.
StatusCode = _header.StatusCode


def status_info(code: int) -> Optional[StatusInfo]:
    """The table's row of a code, or None for a code the library never reports."""
    return _ROWS.get(code)


def status_name(code: int) -> str:
    """'kestrelerr_invalidHandle', ...; 'unknown status' for other codes."""
    row = _ROWS.get(code)
    return row.name if row is not None else "unknown status"


def status_meaning(code: int) -> str:
    """One line on what the code means; '' for codes the table does not know."""
    row = _ROWS.get(code)
    return row.meaning if row is not None else ""


def describe(code: int) -> str:
    """'brioerr_busy (-52031): device or resource busy (EBUSY)', as kestrelctl words it."""
    row = _ROWS.get(code)
    if row is None:
        return f"status {code} (a code of the device or its driver)"
    return f"{row.name} ({code}): {row.meaning}"
