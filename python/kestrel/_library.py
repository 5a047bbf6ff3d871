"""libkestrel.so.1 through ctypes: where it is loaded from and every C signature.

Calls go through ctypes.CDLL, which releases the GIL for the length of each
call, so a thread blocked in the library (a watchdog wait, a firmware update)
never holds up the others.
"""
from __future__ import annotations

import ctypes
import os
import threading
from typing import Any, Dict, List, Optional, Tuple

SONAME = "libkestrel.so.1"
#: Names another file to load instead of libkestrel.so.1 (a build tree's, say).
LIBRARY_VARIABLE = "KESTREL_LIBRARY"
#: The routing adaptor interface this package was written for.
ROUTING_API_VERSION = 3

Handle = ctypes.c_size_t  # tKestrelHandle, a uintptr_t


class StatusReport(ctypes.Structure):
    """struct tStatusReport of quill_ra_kestrel.h."""


Reallocate = ctypes.CFUNCTYPE(ctypes.c_bool, ctypes.POINTER(StatusReport), ctypes.c_int32)
DemotionFunction = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_int32, ctypes.POINTER(StatusReport))

StatusReport._fields_ = [
    ("code", ctypes.c_int32),
    ("capacity", ctypes.c_int32),
    ("reallocate", Reallocate),
    ("report", ctypes.c_void_p),
]

_i32, _u32, _u64 = ctypes.c_int32, ctypes.c_uint32, ctypes.c_uint64
_ptr, _text, _report = ctypes.c_void_p, ctypes.c_char_p, ctypes.POINTER(StatusReport)
_answer = ctypes.POINTER(ctypes.c_void_p)

# name: (restype, argtypes), as the headers declare them.
SIGNATURES: Dict[str, Tuple[Any, List[Any]]] = {
    "KESTREL_openController": (_i32, [ctypes.POINTER(Handle)]),
    "KESTREL_closeController": (None, [Handle]),
    "KESTREL_getAttributeU32": (_i32, [Handle, _u32, ctypes.POINTER(_u32)]),
    "KESTREL_setAttributeU32": (_i32, [Handle, _u32, _u32]),
    "KESTREL_getAttributeI32": (_i32, [Handle, _u32, ctypes.POINTER(_i32)]),
    "KESTREL_getAttributeDBL": (_i32, [Handle, _u32, ctypes.POINTER(ctypes.c_double)]),
    "KESTREL_getAttributeUTF8": (_i32, [Handle, _u32, _ptr, ctypes.POINTER(_u64)]),
    "KESTREL_setAttributeUTF8": (_i32, [Handle, _u32, _text]),
    "KESTREL_performSelfTest": (_i32, [Handle]),
    "KESTREL_updateFirmware": (_i32, [Handle, _text, _u64]),
    "KESTREL_updateFirmware2": (_i32, [Handle, _text, _u64, _i32]),
    "KESTREL_openWatchdog": (_i32, [ctypes.POINTER(Handle)]),
    "KESTREL_closeWatchdog": (None, [Handle]),
    "KESTREL_startWatchdogTimer": (_i32, [Handle]),
    "KESTREL_stopWatchdogTimer": (_i32, [Handle]),
    "KESTREL_petWatchdog": (_i32, [Handle]),
    "KESTREL_waitForWatchdogNotification": (_i32, [Handle, ctypes.POINTER(_i32)]),
    "KESTREL_cancelWaitForWatchdogNotification": (_i32, [Handle]),
    "quill_ra_kestrel_getAPIVersion": (_i32, []),
    "quill_ra_kestrel_createSession": (_ptr, [_text, _ptr, _report]),
    "quill_ra_kestrel_createSessionWithDemotionFunc": (_ptr, [_text, _ptr, _ptr, _ptr, _report]),
    "quill_ra_kestrel_destroySession": (None, [_ptr]),
    "quill_ra_kestrel_getHandledConstraints": (None, [_ptr, _answer, _report]),
    "quill_ra_kestrel_calculateRoute": (_u32, [_ptr, _text, _text, _text, _answer, _report]),
    "quill_ra_kestrel_reserveRoute": (None, [_ptr, _u32, _answer, _report]),
    "quill_ra_kestrel_programRoute": (None, [_ptr, _u32, _report]),
    "quill_ra_kestrel_unprogramRoute": (None, [_ptr, _u32]),
    "quill_ra_kestrel_unreserveRoute": (None, [_ptr, _u32]),
    "quill_ra_kestrel_beginExceptionalRouteDestruction": (None, [_ptr, _u32]),
    "quill_ra_kestrel_destroyRoute": (None, [_ptr, _u32]),
    "quill_ra_kestrel_getRouteTerminalPath": (None, [_ptr, _u32, _answer, _report]),
    "quill_ra_kestrel_getAllTerminals": (_ptr, [_ptr, _report]),
    "quill_ra_kestrel_TerminalIterator_calculateResetTerminal": (_u32, [_ptr, _ptr, _text, _report]),
    "quill_ra_kestrel_TerminalIterator_resetTerminal": (None, [_ptr, _text, _report]),
    "quill_ra_kestrel_TerminalIterator_getU32Attribute": (_u32, [_ptr, _text, _report]),
    "quill_ra_kestrel_TerminalIterator_getBoolAttribute": (ctypes.c_bool, [_ptr, _text, _report]),
    "quill_ra_kestrel_TerminalIterator_getStringAttribute": (_ptr, [_ptr, _text, _report]),
    "quill_ra_kestrel_TerminalIterator_next": (None, [_ptr, _report]),
    "quill_ra_kestrel_TerminalIterator_isEnd": (ctypes.c_bool, [_ptr]),
    "quill_ra_kestrel_TerminalIterator_destroy": (None, [_ptr]),
}

# The C library's allocator: the routing adaptor's answers come from realloc
# and go back to free; report buffers too.
_LIBC_SIGNATURES: Dict[str, Tuple[Any, List[Any]]] = {
    "realloc": (_ptr, [_ptr, ctypes.c_size_t]),
    "free": (None, [_ptr]),
    "popen": (_ptr, [_text, _text]),
    "fgets": (_ptr, [_ptr, ctypes.c_int, _ptr]),
    "pclose": (ctypes.c_int, [_ptr]),
    "glob": (ctypes.c_int, [_text, ctypes.c_int, _ptr, _ptr]),
    "globfree": (None, [_ptr]),
    "access": (ctypes.c_int, [_text, ctypes.c_int]),
}


class _Glob(ctypes.Structure):
    """glob_t of glibc."""

    _fields_ = [("gl_pathc", ctypes.c_size_t), ("gl_pathv", ctypes.POINTER(ctypes.c_char_p)),
                ("gl_offs", ctypes.c_size_t), ("gl_flags", ctypes.c_int), ("gl_closedir", _ptr),
                ("gl_readdir", _ptr), ("gl_opendir", _ptr), ("gl_lstat", _ptr), ("gl_stat", _ptr)]


class LibraryNotFoundError(OSError):
    """libkestrel.so.1 (or the file KESTREL_LIBRARY names) cannot be loaded."""


def _bind(library: ctypes.CDLL, signatures: Dict[str, Tuple[Any, List[Any]]]) -> None:
    for name, (restype, argtypes) in signatures.items():
        function = getattr(library, name)
        function.restype = restype
        function.argtypes = argtypes


def library_path() -> str:
    """The file the package loads: $KESTREL_LIBRARY, else the SONAME."""
    return os.environ.get(LIBRARY_VARIABLE) or SONAME


_lock = threading.Lock()
_kestrel: Optional[ctypes.CDLL] = None
_libc: Optional[ctypes.CDLL] = None


def kestrel() -> ctypes.CDLL:
    """The loaded library with every signature set; loaded on first use."""
    global _kestrel
    with _lock:
        if _kestrel is None:
            path = library_path()
            try:
                loaded = ctypes.CDLL(path)
                _bind(loaded, SIGNATURES)
            except (OSError, AttributeError) as error:
                raise LibraryNotFoundError(
                    f"cannot load {path}: {error}. Install the libkestrel1 package, or set {LIBRARY_VARIABLE} "
                    f"to the library's file (for a build tree: {LIBRARY_VARIABLE}=build/libkestrel.so.1)") from None
            _kestrel = loaded
        return _kestrel


def libc() -> ctypes.CDLL:
    """The process's C library (the functions the program itself would call)."""
    global _libc
    with _lock:
        if _libc is None:
            loaded = ctypes.CDLL(None)
            _bind(loaded, _LIBC_SIGNATURES)
            _libc = loaded
        return _libc


def take_text(pointer: Optional[int]) -> Optional[bytes]:
    """The NUL-ended text at an address the C library allocated; frees it."""
    if not pointer:
        return None
    try:
        return ctypes.string_at(pointer)
    finally:
        libc().free(pointer)


def glob_paths(pattern: bytes) -> List[bytes]:
    """The C library's glob(): the paths the driver publishes are found the way the library finds them."""
    found = _Glob()
    c = libc()
    try:
        if c.glob(pattern, 0, None, ctypes.byref(found)) != 0:
            return []
        return [found.gl_pathv[i] for i in range(found.gl_pathc)]
    finally:
        c.globfree(ctypes.byref(found))
