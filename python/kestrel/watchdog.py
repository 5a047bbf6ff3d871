"""The controller's watchdog timer."""
from __future__ import annotations

import ctypes
import enum
import threading
import time
from types import TracebackType
from typing import Optional, Type

from . import _header as h
from ._library import kestrel
from ._session import HandleSession
from .errors import check


class ExpiryAction(enum.IntEnum):
    """What an expiry does."""

    NOTIFY = h.KESTREL_WATCHDOG_EXPIRY_NOTIFY    # an expiry only notifies
    RESET = h.KESTREL_WATCHDOG_EXPIRY_RESET      # an expiry resets the controller
    TRIGGER = h.KESTREL_WATCHDOG_EXPIRY_TRIGGER  # an expiry fires the watchdog trigger line


class WatchdogState(enum.IntEnum):
    STOPPED = h.KESTREL_WATCHDOG_STATE_STOPPED
    RUNNING = h.KESTREL_WATCHDOG_STATE_RUNNING
    EXPIRED = h.KESTREL_WATCHDOG_STATE_EXPIRED


class Notification(enum.IntEnum):
    """What a wait returns. Bytes the driver defines beyond these come as members named VALUE_<n>."""

    EXPIRED = h.KESTREL_WATCHDOG_NOTIFY_EXPIRED                  # the timer expired
    CANCELLED = h.KESTREL_WATCHDOG_NOTIFY_CANCELLED              # a wait was cancelled
    ENDED = h.KESTREL_WATCHDOG_NOTIFY_ENDED                      # notifications ended: the session closed
    EXPIRED_RESET = h.KESTREL_WATCHDOG_NOTIFY_EXPIRED_RESET      # expired, the controller resets
    EXPIRED_TRIGGER = h.KESTREL_WATCHDOG_NOTIFY_EXPIRED_TRIGGER  # expired, the watchdog trigger fired

    @classmethod
    def _missing_(cls, value: object) -> Optional["Notification"]:
        if isinstance(value, int) and 0 <= value <= 255:
            member = int.__new__(cls, value)
            member._name_ = f"VALUE_{value}"
            member._value_ = value
            return member
        return None


class _Waits:
    """What the process's waits share: the session is one per process, and so is its notification stream.

    A wait that ends early (a timeout, Ctrl-C) cancels through the driver.
    When a notification arrives just before the cancel does, the wait
    returns it, and the cancel's own notification (CANCELLED) is still on
    its way: it is remembered as stale and swallowed by the next wait. A
    notification that arrives while Ctrl-C ends a wait is kept for the next
    wait, so none is lost.
    """

    def __init__(self) -> None:
        self.lock = threading.Lock()        # one wait at a time, as the library serves them
        self.stale_cancels = 0
        self.kept: Optional[Notification] = None
        self._sessions = 0                  # open Watchdog objects
        self._sessions_lock = threading.Lock()

    def opened(self) -> None:
        with self._sessions_lock:
            self._sessions += 1

    def closed(self) -> None:
        """After the last close the driver forgets the old stream: nothing stale or kept belongs to the next."""
        with self._sessions_lock:
            self._sessions -= 1
            if self._sessions == 0:
                self.stale_cancels = 0
                self.kept = None


_waits = _Waits()
_CANCEL_RETRY_SECONDS = 1.0


class _NativeWait:
    """One KESTREL_waitForWatchdogNotification on a thread of its own, so the caller can stop waiting."""

    def __init__(self, handle: int) -> None:
        self.handle = handle
        self.done = threading.Event()
        self.code = 0
        self.value = ctypes.c_int32(-1)
        self.cancels_sent = 0
        self.thread = threading.Thread(target=self._run, name="kestrel-watchdog-wait", daemon=True)
        self.thread.start()

    def _run(self) -> None:
        try:
            self.code = kestrel().KESTREL_waitForWatchdogNotification(self.handle, ctypes.byref(self.value))
        finally:
            self.done.set()

    def cancel_and_join(self) -> None:
        """Ends the wait through the driver and waits until the C call has returned.

        A cancel the driver refused is sent again every second, so the wait
        cannot be left behind; `cancels_sent` counts those it took."""
        interrupted = False
        while not self.done.is_set():
            if kestrel().KESTREL_cancelWaitForWatchdogNotification(self.handle) >= 0:
                self.cancels_sent += 1
            try:
                self.done.wait(_CANCEL_RETRY_SECONDS)
            except KeyboardInterrupt:
                interrupted = True  # another Ctrl-C: the C wait is already being cancelled
        self.thread.join()
        if interrupted:
            raise KeyboardInterrupt


class Watchdog(HandleSession):
    """A session of the watchdog timer, used as a context manager::

        with kestrel.Watchdog() as wd:
            wd.timeout = 5000                 # ms from a start or pet to the expiry
            wd.start()
            with wd.keepalive(1.0):           # pets every second on a thread
                run_the_sequence()
            wd.stop()

    Closing: there is one watchdog session per process; each open object
    holds a reference to it, and the **last close stops the timer**, ends the
    notifications (a wait in progress returns Notification.ENDED) and closes
    the device. Leaving a ``with`` block is such a close: a timer that must
    outlive the program needs a session that stays open.

    Thread safety, as the library's: every method may be called from any
    thread; start, stop, pet, cancel_wait and the properties work while
    another thread waits. Waits are served one at a time. After a fork the
    child has no session of its parent.
    """

    _KIND = "watchdog"
    _OPEN_NAME = "KESTREL_openWatchdog"

    @property
    def timeout(self) -> int:
        """Milliseconds from a start or pet to the expiry (at least 1); a new value holds from the next one."""
        return self._get_u32(h.KESTREL_WATCHDOG_ATTR_TIMEOUT, "get watchdog timeout")

    @timeout.setter
    def timeout(self, milliseconds: int) -> None:
        self._set_u32(h.KESTREL_WATCHDOG_ATTR_TIMEOUT, milliseconds, "set watchdog timeout")

    @property
    def expiry_action(self) -> ExpiryAction:
        return ExpiryAction(self._get_u32(h.KESTREL_WATCHDOG_ATTR_EXPIRY_ACTION, "get watchdog expiry action"))

    @expiry_action.setter
    def expiry_action(self, action: ExpiryAction) -> None:
        self._set_u32(h.KESTREL_WATCHDOG_ATTR_EXPIRY_ACTION, int(ExpiryAction(action)), "set watchdog expiry action")

    @property
    def state(self) -> WatchdogState:
        """Read-only: stopped, running or expired."""
        return WatchdogState(self._get_u32(h.KESTREL_WATCHDOG_ATTR_STATE, "get watchdog state"))

    @property
    def remaining(self) -> int:
        """Read-only: milliseconds left while running, else 0."""
        return self._get_u32(h.KESTREL_WATCHDOG_ATTR_REMAINING, "get watchdog remaining time")

    def start(self, timeout: Optional[int] = None) -> None:
        """Arms the timer (after setting `timeout` in ms when given); starts an expired timer again."""
        if timeout is not None:
            self.timeout = timeout
        self._call("KESTREL_startWatchdogTimer", "start the watchdog")

    def pet(self) -> None:
        """Reloads the countdown. An expired timer refuses with BusyError: start it again."""
        self._call("KESTREL_petWatchdog", "pet the watchdog")

    def stop(self) -> None:
        self._call("KESTREL_stopWatchdogTimer", "stop the watchdog")

    def cancel_wait(self) -> None:
        """Ends a wait in progress (it returns Notification.CANCELLED), through the driver.

        The driver delivers the cancel to every program waiting on the
        watchdog; with no wait in progress, the next wait returns CANCELLED."""
        self._call("KESTREL_cancelWaitForWatchdogNotification", "cancel the watchdog wait")

    def wait(self, timeout: Optional[float] = None) -> Optional[Notification]:
        """Waits for the next notification; None when `timeout` seconds pass first.

        A wait that gives up (the timeout, or Ctrl-C, which raises
        KeyboardInterrupt within milliseconds) is cancelled through the
        driver and returns only once the library's wait has returned; nothing
        of it is left running. Another thread ends a wait with cancel_wait().
        Once the session is closed (the last close), every wait returns
        Notification.ENDED at once."""
        operation = "wait for a watchdog notification"
        handle = self._require_handle(operation)
        if not _waits.lock.acquire(timeout=-1 if timeout is None else max(timeout, 0)):
            return None
        try:
            return self._wait_locked(handle, timeout, operation)
        finally:
            _waits.lock.release()

    def _wait_locked(self, handle: int, timeout: Optional[float], operation: str) -> Optional[Notification]:
        if _waits.kept is not None:
            kept, _waits.kept = _waits.kept, None
            return kept
        deadline = None if timeout is None else time.monotonic() + timeout
        while True:
            native = _NativeWait(handle)
            try:
                finished = native.done.wait(None if deadline is None else max(deadline - time.monotonic(), 0))
            except KeyboardInterrupt:
                native.cancel_and_join()
                self._settle_cancelled(native, keep=True)
                raise
            if not finished:
                native.cancel_and_join()
                check(native.code, operation)  # a wait that failed meanwhile says so
                return self._settle_cancelled(native, keep=False)
            check(native.code, operation)
            note = Notification(native.value.value)
            if note is Notification.CANCELLED and _waits.stale_cancels > 0:
                _waits.stale_cancels -= 1  # a cancel of an earlier wait that had ended already
                continue
            return note

    @staticmethod
    def _settle_cancelled(native: _NativeWait, keep: bool) -> Optional[Notification]:
        """The outcome of a wait this package cancelled: None when a cancel ended it.

        Every cancel the driver took and this wait did not consume is still
        to come as CANCELLED and is swallowed by the next waits. After a
        failed wait they may have been lost with the rest, so they are not
        counted: a spurious CANCELLED is better than a cancel that goes unheard."""
        if native.code < 0:
            return None
        note = Notification(native.value.value)
        if note is Notification.ENDED:  # the session closed: no cancel is left to come
            return None if keep else note
        consumed = 1 if note is Notification.CANCELLED else 0
        _waits.stale_cancels += max(native.cancels_sent - consumed, 0)
        if note is Notification.CANCELLED:
            return None
        if keep:
            _waits.kept = note
            return None
        return note

    def _opened(self) -> None:
        _waits.opened()

    @staticmethod
    def _native_close(handle: int) -> None:
        kestrel().KESTREL_closeWatchdog(handle)
        _waits.closed()

    def keepalive(self, interval: float) -> "Keepalive":
        """A context manager that pets the timer every `interval` seconds on a thread until it is left."""
        return Keepalive(self, interval)


class Keepalive:
    """Pets a watchdog every `interval` seconds on a thread of its own while the with block runs.

    The interval must be shorter than the timer's timeout, or the timer would
    expire between pets (ValueError on entering). Leaving stops the petting
    and leaves the timer as it is: stop it, or close the session. A pet that
    fails (an expired timer refuses with BusyError) ends the petting; the
    error is raised when the block is left, unless the block raised.
    """

    def __init__(self, watchdog: Watchdog, interval: float) -> None:
        if not interval > 0:
            raise ValueError(f"the keepalive interval is a positive number of seconds, not {interval}")
        self.watchdog = watchdog
        self.interval = interval
        self.pets = 0
        self.error: Optional[BaseException] = None
        self._stop = threading.Event()
        self._thread: Optional[threading.Thread] = None

    def __enter__(self) -> "Keepalive":
        timeout_ms = self.watchdog.timeout
        if self.interval * 1000 >= timeout_ms:
            raise ValueError(f"a keepalive interval of {self.interval} s is not shorter than the watchdog timeout "
                             f"of {timeout_ms} ms: the timer would expire between pets")
        self.watchdog.pet()
        self.pets += 1
        self._thread = threading.Thread(target=self._run, name="kestrel-watchdog-keepalive", daemon=True)
        self._thread.start()
        return self

    def _run(self) -> None:
        while not self._stop.wait(self.interval):
            try:
                self.watchdog.pet()
            except BaseException as error:  # kept for the with block's end
                self.error = error
                return
            self.pets += 1

    def __exit__(self, exc_type: Optional[Type[BaseException]], exc: Optional[BaseException],
                 traceback: Optional[TracebackType]) -> None:
        self._stop.set()
        if self._thread is not None:
            self._thread.join()
        if exc is None and self.error is not None:
            raise self.error

    def __repr__(self) -> str:
        return f"<kestrel.Keepalive every {self.interval} s, {self.pets} pets>"
