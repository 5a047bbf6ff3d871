"""What the controller and watchdog sessions share: open, close, and the
U32 and text attribute calls with their status codes."""
from __future__ import annotations

import ctypes
import threading
import weakref
from typing import Optional, Tuple, TypeVar

from . import _header as h
from ._library import Handle, kestrel
from .errors import check, session_ended

_Self = TypeVar("_Self", bound="HandleSession")

# A text can change between asking for its size and reading it: ask again
# while it keeps growing, as often as kestrelctl does.
_TEXT_ATTEMPTS = 4


def read_u32(handle: int, attribute: int) -> Tuple[int, int]:
    """(code, value) of KESTREL_getAttributeU32."""
    value = ctypes.c_uint32(0)
    code = kestrel().KESTREL_getAttributeU32(handle, attribute, ctypes.byref(value))
    return code, value.value


def read_text(handle: int, attribute: int) -> Tuple[int, bytes]:
    """(code, bytes) of KESTREL_getAttributeUTF8: the size first, then the text."""
    library = kestrel()
    size = ctypes.c_uint64(0)
    code = library.KESTREL_getAttributeUTF8(handle, attribute, None, ctypes.byref(size))
    value = b""
    for _ in range(_TEXT_ATTEMPTS):
        if code != h.kestrelerr_bufferTooSmall:
            break
        buffer = ctypes.create_string_buffer(size.value + 1)
        capacity = ctypes.c_uint64(len(buffer))
        code = library.KESTREL_getAttributeUTF8(handle, attribute, buffer, ctypes.byref(capacity))
        if code >= 0:
            value = buffer.value
        else:
            size = capacity
    return code, value


class HandleSession:
    """A session of the controller or of the watchdog: open on enter, closed on exit.

    The library counts opens per process: every open object holds one
    reference to the process's session, and each close drops one. An object
    that is dropped without a close is closed when it is collected, or at
    the latest when the interpreter exits.
    """

    _KIND = ""
    _OPEN_NAME = ""

    def __init__(self) -> None:
        self._handle: Optional[int] = None
        self._lock = threading.Lock()
        self._finalizer: Optional[weakref.finalize] = None

    def open(self: _Self) -> _Self:
        """Opens the session (again adding a reference when this process has it open); no-op when open."""
        with self._lock:
            if self._handle is not None:
                return self
            library = kestrel()
            handle = Handle(0)
            check(getattr(library, self._OPEN_NAME)(ctypes.byref(handle)), f"open the {self._KIND}")
            self._handle = handle.value
            self._finalizer = weakref.finalize(self, type(self)._native_close, handle.value)
            self._opened()
        return self

    def _opened(self) -> None:
        """Called once the library has opened this object's reference."""

    @staticmethod
    def _native_close(handle: int) -> None:
        raise NotImplementedError

    def close(self) -> None:
        """Drops this object's reference; closing a closed session does nothing."""
        with self._lock:
            finalizer, self._finalizer, self._handle = self._finalizer, None, None
        if finalizer is not None:
            finalizer()

    @property
    def is_open(self) -> bool:
        return self._handle is not None

    def __enter__(self: _Self) -> _Self:
        return self.open()

    def __exit__(self, *exc_info: object) -> None:
        self.close()

    def _require_handle(self, operation: str) -> int:
        handle = self._handle
        if handle is None:
            raise session_ended(operation)
        return handle

    def _get_u32(self, attribute: int, operation: str) -> int:
        code, value = read_u32(self._require_handle(operation), attribute)
        check(code, operation)
        return value

    def _set_u32(self, attribute: int, value: int, operation: str) -> None:
        if isinstance(value, bool) or not isinstance(value, int):
            raise TypeError(f"{operation}: the value is an int, not {type(value).__name__}")
        if not 0 <= value <= 0xFFFFFFFF:
            raise ValueError(f"{operation}: the value is an unsigned 32-bit number, not {value}")
        handle = self._require_handle(operation)
        check(kestrel().KESTREL_setAttributeU32(handle, attribute, value), operation)

    def _call(self, function: str, operation: str) -> int:
        """One of the calls that take the handle alone."""
        handle = self._require_handle(operation)
        return check(getattr(kestrel(), function)(handle), operation)

    def __repr__(self) -> str:
        return f"<kestrel.{type(self).__name__} {'open' if self.is_open else 'closed'}>"
