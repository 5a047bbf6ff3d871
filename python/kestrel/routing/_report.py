"""The routing framework's side of the adaptor: status records and answers.

A tStatusReport owns its JSON text through its own reallocate function,
which the adaptor calls to grow the buffer; this package's function keeps
the buffer in the C library's heap (realloc and free). Answers come from
the answer allocator, the C library's realloc itself, and go back to free.
"""
from __future__ import annotations

import ctypes
import json
from typing import Any, Dict, Optional

from .._library import Reallocate, StatusReport, libc, take_text
from ..errors import KestrelError, ReservationConflictError, check, error_for

_FILLER = ord("J")  # the last byte of a report buffer, as the framework marks it


def _grow(record: StatusReport, new_size: int) -> bool:
    c = libc()
    if new_size <= 0:
        c.free(record.report)
        record.report = None
        record.capacity = 0
        return new_size == 0
    if new_size <= record.capacity:
        return True
    grown = c.realloc(record.report, new_size)
    if not grown:
        return False
    if not record.report:
        ctypes.memset(grown, 0, 1)
    used = len(ctypes.string_at(grown)) + 1
    ctypes.memset(grown + used, 0, new_size - used)
    ctypes.memset(grown + new_size - 1, _FILLER, 1)
    record.report = grown
    record.capacity = new_size
    return True


def _reallocate(pointer: Any, new_size: int) -> bool:
    # Called from C: nothing may be raised through it.
    try:
        return _grow(pointer.contents, new_size)
    except Exception:
        return False


#: Kept for the life of the process: the adaptor may call it at any time.
REALLOCATE = Reallocate(_reallocate)


def answer_allocator() -> int:
    """The address of the C library's realloc, the answer allocator every session is given."""
    return ctypes.cast(libc().realloc, ctypes.c_void_p).value or 0


def parse_report(text: Optional[bytes]) -> Optional[Dict[str, Any]]:
    if not text:
        return None
    try:
        document = json.loads(text.decode("utf-8", "replace"))
    except ValueError:
        return {"text": text.decode("utf-8", "replace")}
    return document if isinstance(document, dict) else {"value": document}


def report_of(record: StatusReport) -> Optional[Dict[str, Any]]:
    """The JSON members of a record's report, or None without one."""
    if not record.report:
        return None
    return parse_report(ctypes.string_at(record.report))


class FrameworkReport:
    """One status record for one call; its buffer is released by release() or on leaving a with block."""

    def __init__(self) -> None:
        self.record = StatusReport(0, 0, REALLOCATE, None)

    @property
    def pointer(self) -> Any:
        return ctypes.byref(self.record)

    @property
    def code(self) -> int:
        return int(self.record.code)

    def report(self) -> Optional[Dict[str, Any]]:
        return report_of(self.record)

    def check(self, operation: str) -> None:
        """Raises for an error code, warns for a warning, with the report's members."""
        check(self.code, operation, self.report() if self.code != 0 else None)

    def error(self, operation: str) -> KestrelError:
        return error_for(self.code, operation, self.report())

    def release(self) -> None:
        if self.record.report:
            _grow(self.record, 0)

    def __enter__(self) -> "FrameworkReport":
        return self

    def __exit__(self, *exc_info: object) -> None:
        self.release()


class Answer:
    """An answer pointer for one call; the text is taken (and freed) once."""

    def __init__(self) -> None:
        self.value = ctypes.c_void_p(None)

    @property
    def pointer(self) -> Any:
        return ctypes.byref(self.value)

    def take(self) -> Optional[bytes]:
        text, self.value = take_text(self.value.value), ctypes.c_void_p(None)
        return text

    def json(self) -> Any:
        text = self.take()
        return json.loads(text.decode("utf-8", "replace")) if text else None


def conflict_error(code: int, operation: str, report: Optional[Dict[str, Any]], conflicts: Any) -> KestrelError:
    from ._types import Conflict
    listed = [Conflict(int(c.get("sessionId", 0)), int(c.get("ticket", 0))) for c in conflicts or []
              if isinstance(c, dict)]
    return ReservationConflictError(code, operation, report, listed)
