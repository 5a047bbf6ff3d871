"""Exceptions and warnings for the library's status codes, and the one checker.

Every C call's status goes through check(): a negative code raises the
KestrelError subclass of its family, a positive code is a KestrelWarning
(Python's warnings machinery: shown once per place by default, turned into
errors with ``warnings.simplefilter("error", kestrel.KestrelWarning)``).
"""
from __future__ import annotations

import os
import sys
import warnings
from types import FrameType
from typing import Any, Dict, Mapping, Optional, Type

from . import _header
from .status import describe, status_meaning, status_name


class KestrelError(Exception):
    """A call into the library failed.

    code     the status code (negative)
    name     its C name, e.g. 'brioerr_busy' ('unknown status' for a device's own code)
    meaning  one line on what it means
    operation  what was being done, e.g. 'get serial-number'
    report   the routing adaptor's JSON report as a dict, when the call has one
    """

    code: int
    name: str
    meaning: str
    operation: str
    report: Optional[Dict[str, Any]]

    def __init__(self, code: int, operation: str = "", report: Optional[Dict[str, Any]] = None,
                 detail: str = "") -> None:
        self.code = code
        self.name = status_name(code)
        self.meaning = status_meaning(code)
        self.operation = operation
        self.report = report
        self.detail = detail
        super().__init__(self._message())

    def _message(self) -> str:
        text = describe(self.code)
        if self.operation:
            text = f"{self.operation}: {text}"
        debug = self._report_debug()
        if debug:
            text += f" [{debug}]"
        if self.detail:
            text += f"; {self.detail}"
        return text

    def _report_debug(self) -> str:
        if not self.report:
            return ""
        for key in ("tarn_debug", "quill_debug"):
            value = self.report.get(key)
            if isinstance(value, dict):
                value = value.get("msg")
            if isinstance(value, str) and value:
                return value
        return ""


class NotFoundError(KestrelError):
    """No such device, interface, controller or SMBIOS data (no driver loaded, board refused, ...)."""


class NotSupportedError(KestrelError):
    """The attribute, index, value, selector or request is not supported here."""


class InvalidParameterError(KestrelError):
    """An argument the library refuses: a bad route request, an unknown ticket, a text over 255 bytes."""


class InvalidImageError(KestrelError):
    """A firmware update file is malformed, fails verification or has an unsupported header."""


class BusyError(KestrelError):
    """The device or resource is busy: an expired watchdog refusing pets, an operation in progress."""


class ReservationConflictError(BusyError):
    """Other sessions hold reservations that conflict with a route; ``conflicts`` lists them."""

    def __init__(self, code: int, operation: str = "", report: Optional[Dict[str, Any]] = None,
                 conflicts: Any = ()) -> None:
        self.conflicts = list(conflicts)
        super().__init__(code, operation, report)


class SessionEndedError(KestrelError):
    """The session is not open (never opened, or closed): kestrelerr_invalidHandle."""


class KestrelWarning(UserWarning):
    """A call succeeded with a warning: a positive status code."""

    def __init__(self, code: int, operation: str = "") -> None:
        self.code = code
        self.name = status_name(code)
        self.meaning = status_meaning(code)
        self.operation = operation
        super().__init__(f"{operation}: {describe(code)}" if operation else describe(code))


_PACKAGE_DIR = os.path.dirname(os.path.abspath(__file__)) + os.sep

# The families, by the status codes' C names.
_FAMILY_NAMES: Mapping[str, Type[KestrelError]] = {
    "kestrelerr_invalidHandle": SessionEndedError,
    "kestrelerr_deviceNotAvailable": NotFoundError,
    "brioerr_deviceNotFound": NotFoundError,
    "smbioserr_dumpUnavailable": NotFoundError,
    "smbioserr_notFound": NotFoundError,
    "kestrelerr_attributeNotSupported": NotSupportedError,
    "brioerr_notSupported": NotSupportedError,
    "zepalerr_badSelector": NotSupportedError,
    "brioerr_invalidParameter": InvalidParameterError,
    "kestrelerr_stringTooLong": InvalidParameterError,
    "kestrelerr_invalidImage": InvalidImageError,
    "kestrelerr_unsupportedImageHeader": InvalidImageError,
    "brioerr_busy": BusyError,
    "brioerr_inProgress": BusyError,
    "quillerr_reservationConflict": ReservationConflictError,
}
FAMILIES: Mapping[int, Type[KestrelError]] = {getattr(_header, name): family for name, family in _FAMILY_NAMES.items()}


def error_for(code: int, operation: str = "", report: Optional[Dict[str, Any]] = None) -> KestrelError:
    """The exception for a negative code, of its family's class."""
    return FAMILIES.get(code, KestrelError)(code, operation, report)


def _caller_stacklevel() -> int:
    """The stack level of the first frame outside this package, for warnings."""
    level, frame = 1, sys._getframe(1)  # type: int, Optional[FrameType]
    while frame is not None and frame.f_code.co_filename.startswith(_PACKAGE_DIR):
        level, frame = level + 1, frame.f_back
    return level


def check(code: int, operation: str, report: Optional[Dict[str, Any]] = None) -> int:
    """Raises for a negative code, warns for a positive one; returns the code.

    A warning points at the caller's line outside the package."""
    if code < 0:
        raise error_for(code, operation, report)
    warn(code, operation)
    return code


def warn(code: int, operation: str) -> None:
    """A KestrelWarning for a positive code, pointing at the caller's line outside the package."""
    if code > 0:
        warnings.warn(KestrelWarning(code, operation), stacklevel=_caller_stacklevel())


def session_ended(operation: str) -> SessionEndedError:
    """What a call on a closed session raises, before anything reaches the library."""
    error = SessionEndedError(_header.kestrelerr_invalidHandle, operation,
                              detail="the session is closed; open it (or use it in a with block) first")
    return error
