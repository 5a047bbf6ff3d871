"""A routing session over the quill_ra_kestrel_* functions."""
from __future__ import annotations

import contextlib
import ctypes
import itertools
import logging
import os
import threading
import weakref
from typing import Any, Callable, Dict, Iterator, List, Mapping, Optional, Sequence, Tuple

from .. import _header as h
from .._library import ROUTING_API_VERSION, DemotionFunction, kestrel
from ..errors import InvalidParameterError, KestrelError, session_ended
from ._report import Answer, FrameworkReport, answer_allocator, conflict_error, report_of
from ._request import encoded, unknown_names
from ._route import Route, TicketLike, ticket_of
from ._types import Demotion, Segment, SeedLike, Terminal, seed_json, segment_from_json

log = logging.getLogger("kestrel.routing")

DemotionCallback = Callable[[Demotion], None]

_NO_BUS_LINE = 0xFFFFFFFF
_TERMINAL_ATTRIBUTES: Tuple[Tuple[str, str, str], ...] = (
    # the adaptor's name, its kind, the Terminal field
    ("name", "string", "name"),
    ("id", "u32", "id"),
    ("isExternal", "bool", "is_external"),
    ("isOwned", "bool", "is_owned"),
    ("isAlias", "bool", "is_alias"),
    ("isMaskedOut", "bool", "is_masked_out"),
    ("visibility", "string", "visibility"),
    ("busType", "string", "bus_type"),
    ("busLine", "u32", "bus_line"),
    ("busName", "string", "bus_name"),
    ("canonicalName", "string", "canonical_name"),
)
_GETTERS = {"u32": "quill_ra_kestrel_TerminalIterator_getU32Attribute",
            "bool": "quill_ra_kestrel_TerminalIterator_getBoolAttribute",
            "string": "quill_ra_kestrel_TerminalIterator_getStringAttribute"}

# Sessions by the context their demotion function is given: the adaptor's
# thread finds its session here, never through a pointer into Python.
_sessions: Dict[int, "weakref.ReferenceType[RoutingSession]"] = {}
_contexts = itertools.count(1)


def _on_demotion(context: Optional[int], event: int, record: Any) -> None:
    # Runs on the session's notification thread ("kestrel"): nothing may be raised into C.
    try:
        reference = _sessions.get(context or 0)
        session = reference() if reference is not None else None
        if session is None or session._on_demotion is None:
            return
        code = int(record.contents.code) if record else 0
        session._on_demotion(Demotion(event, code, report_of(record.contents) if record else None))
    except Exception:
        log.exception("the demotion callback of a routing session raised; the demotion is dropped")


_DEMOTION = DemotionFunction(_on_demotion)  # kept for the life of the process


def _check_api_version() -> None:
    version = kestrel().quill_ra_kestrel_getAPIVersion()
    if version != ROUTING_API_VERSION:
        raise RuntimeError(f"the library's routing adaptor has API version {version}; this package speaks version "
                           f"{ROUTING_API_VERSION}: install matching versions of libkestrel1 and python3-kestrel")


class RoutingSession:
    """A session of the trigger-routing adaptor, as the routing framework holds one::

        with kestrel.routing.RoutingSession(on_demotion=print) as router:
            route = router.calculate_route(["PXI_Trig0"], ["PXI_Trig3"])
            route.reserve()
            route.program()

    `device_path` defaults to the trigger router's path the library reports.
    `on_demotion` is called with a Demotion for every route demotion the
    driver reports. It runs on the session's own notification thread
    ("kestrel"), never on the caller's; an exception it raises is logged
    (logger "kestrel.routing") and never reaches the library. It may close
    its own session.

    Thread safety: the adaptor takes no lock of its own, and this class adds
    the one it needs: several threads may use a session at once, and a close
    waits for the calls in flight before the session is destroyed (later
    calls raise SessionEndedError). Calls release the GIL.
    """

    def __init__(self, device_path: Optional[str] = None, on_demotion: Optional[DemotionCallback] = None) -> None:
        self._device_path = device_path
        self._on_demotion = on_demotion
        self._handle: Optional[int] = None
        self._context = 0
        self._calls = 0
        self._idle = threading.Condition()
        self._finalizer: Optional[weakref.finalize] = None

    # --- the session ------------------------------------------------------------

    def open(self) -> "RoutingSession":
        """Creates the session on the device; no-op when open."""
        with self._idle:
            if self._handle is not None:
                return self
            _check_api_version()
            if self._device_path is None:
                from ..controller import Controller
                self._device_path = Controller.trigger_router_path()
            self._handle = self._create(os.fsencode(self._device_path))
            self._finalizer = weakref.finalize(self, _destroy, self._handle, self._context)
        return self

    def _create(self, path: bytes) -> int:
        library = kestrel()
        with FrameworkReport() as report:
            if self._on_demotion is None:
                handle = library.quill_ra_kestrel_createSession(path, answer_allocator(), report.pointer)
            else:
                self._context = next(_contexts)
                _sessions[self._context] = weakref.ref(self)
                handle = library.quill_ra_kestrel_createSessionWithDemotionFunc(
                    path, answer_allocator(), ctypes.cast(_DEMOTION, ctypes.c_void_p), self._context,
                    report.pointer)
            if not handle:
                _sessions.pop(self._context, None)
                operation = f"open a routing session on {os.fsdecode(path)}"
                raise report.error(operation) if report.code < 0 else session_ended(operation)
            report.check("open a routing session")
        return int(handle)

    def close(self) -> None:
        """Destroys the session once the calls in flight have returned; closing twice does nothing."""
        with self._idle:
            if self._handle is None:
                return
            self._handle = None
            self._idle.wait_for(lambda: self._calls == 0)
            finalizer, self._finalizer = self._finalizer, None
        if finalizer is not None:
            finalizer()

    @property
    def is_open(self) -> bool:
        return self._handle is not None

    @property
    def device_path(self) -> Optional[str]:
        return self._device_path

    def __enter__(self) -> "RoutingSession":
        return self.open()

    def __exit__(self, *exc_info: object) -> None:
        self.close()

    @contextlib.contextmanager
    def _using(self, operation: str) -> Iterator[int]:
        with self._idle:
            if self._handle is None:
                raise session_ended(operation)
            handle = self._handle
            self._calls += 1
        try:
            yield handle
        finally:
            with self._idle:
                self._calls -= 1
                self._idle.notify_all()

    # --- route requests ------------------------------------------------------------

    def handled_constraints(self) -> List[str]:
        """The route constraints the adaptor handles, e.g. ['inversionNeeded']."""
        _, constraints = self._ask("get the handled constraints", "quill_ra_kestrel_getHandledConstraints")
        return list(constraints or [])

    def calculate_route(self, seeds: Sequence[SeedLike], destinations: Sequence[str],
                        modifiers: Optional[Mapping[str, Any]] = None,
                        ignore_reservations: bool = False) -> Route:
        """Calculates a route from seeds to destination terminal names.

        Seeds are Seed objects, terminal names (cost 0), (name, cost) pairs
        or dicts in the adaptor's JSON form. `modifiers` is the adaptor's
        modifier object; ignore_reservations=True routes through lines other
        sessions have reserved. A route with ticket 0 and no segments means
        nothing was asked of the driver (no seeds, no destinations, or an
        unsatisfiable request). Names are matched exactly or after case folding."""
        if isinstance(destinations, (str, bytes)):
            raise TypeError("destinations are a list of terminal names, not one text")
        modifier_document: Dict[str, Any] = {key: value for key, value in (modifiers or {}).items()}
        if ignore_reservations:
            required = dict(modifier_document.get("required") or {})
            required["calculateIgnoresReservations"] = True
            modifier_document["required"] = required
        seed_documents, destination_names = [seed_json(seed) for seed in seeds], list(destinations)
        request = (encoded(seed_documents), encoded(destination_names), encoded(modifier_document))
        try:
            ticket, segments = self._ask("calculate a route", "quill_ra_kestrel_calculateRoute", *request)
        except InvalidParameterError as refused:
            raise self._refusal(refused, seed_documents, destination_names) from None
        return Route(self, int(ticket), [segment_from_json(item) for item in segments or []])

    def _refusal(self, refused: InvalidParameterError, seeds: List[Any], destinations: List[Any]) -> KestrelError:
        """The driver refuses an unknown name and a request without a route with one code: say which it was.

        A refusal of the adaptor's own (a malformed seed) names its cause in its report already."""
        if any(key in (refused.report or {}) for key in ("quill_debug", "tarn_debug")):
            return refused
        try:
            unknown = unknown_names(seeds, destinations, (terminal.name for terminal in self.terminals()))
        except KestrelError:
            return refused
        if unknown:
            detail = f"no terminal is named {unknown[0]!r}; terminals() lists them"
        else:
            detail = ("the driver found no route: a destination that no seed reaches, or a seed that is its own "
                      "destination")
        return InvalidParameterError(refused.code, refused.operation, refused.report, detail=detail)

    def route(self, ticket: int) -> Route:
        """A Route object for a ticket this session (or the driver) already holds."""
        return Route(self, ticket_of(ticket))

    def reserve(self, route: TicketLike) -> None:
        """Reserves the route's lines; ReservationConflictError lists the sessions that hold them."""
        ticket = ticket_of(route)
        self._ask(f"reserve route {ticket}", "quill_ra_kestrel_reserveRoute", ticket)

    def program(self, route: TicketLike) -> None:
        ticket = ticket_of(route)
        operation = f"program route {ticket}"
        with self._using(operation) as handle, FrameworkReport() as report:
            kestrel().quill_ra_kestrel_programRoute(handle, ticket, report.pointer)
            report.check(operation)

    # The teardown steps report nothing: the adaptor swallows their failures.

    def unprogram(self, route: TicketLike) -> None:
        self._teardown("quill_ra_kestrel_unprogramRoute", route, "unprogram")

    def unreserve(self, route: TicketLike) -> None:
        self._teardown("quill_ra_kestrel_unreserveRoute", route, "unreserve")

    def begin_exceptional_destruction(self, route: TicketLike) -> None:
        self._teardown("quill_ra_kestrel_beginExceptionalRouteDestruction", route, "begin destroying")

    def destroy(self, route: TicketLike) -> None:
        self._teardown("quill_ra_kestrel_destroyRoute", route, "destroy")

    def _teardown(self, function: str, route: TicketLike, verb: str) -> None:
        ticket = ticket_of(route)
        with self._using(f"{verb} route {ticket}") as handle:
            getattr(kestrel(), function)(handle, ticket)

    def terminal_path(self, route: TicketLike) -> List[str]:
        """The names of the route's terminals in order ('' for an id no terminal has)."""
        ticket = ticket_of(route)
        _, path = self._ask(f"get the terminal path of route {ticket}", "quill_ra_kestrel_getRouteTerminalPath", ticket)
        return [str(name) for name in path or []]

    def _ask(self, operation: str, function: str, *arguments: Any) -> Tuple[Any, Any]:
        """A call that answers through the allocator: its result and the answer's JSON; the report checked.

        A reservation conflict raises with the conflicts the answer lists."""
        with self._using(operation) as handle, FrameworkReport() as report:
            answer = Answer()
            result = getattr(kestrel(), function)(handle, *arguments, answer.pointer, report.pointer)
            document = answer.json()
            if report.code == h.quillerr_reservationConflict:
                raise conflict_error(report.code, operation, report.report(), document)
            report.check(operation)
        return result, document

    # --- terminals ------------------------------------------------------------------

    def terminals(self) -> List[Terminal]:
        """Every terminal of the trigger router, in the adaptor's order."""
        found: List[Terminal] = []

        def visit(handle: int, iterator: int) -> bool:
            found.append(self._terminal(iterator))
            return False

        self._walk("read the terminals", visit)
        return found

    def terminal(self, name: str) -> Terminal:
        """The terminal of that exact name; KeyError when there is none."""
        for terminal in self.terminals():
            if terminal.name == name:
                return terminal
        raise KeyError(f"no terminal is named {name!r} (names are exact); terminals() lists them")

    def reset_terminal(self, name: str, floating: bool = False) -> Terminal:
        """Resets a terminal ('default' or 'floating' mode); answers the terminal that drives its line now."""
        return self._at_terminal(name, floating, reset=True)

    def calculate_reset_terminal(self, name: str, floating: bool = False) -> Terminal:
        """The terminal that would drive the line after such a reset; nothing is reset."""
        return self._at_terminal(name, floating, reset=False)

    def _at_terminal(self, name: str, floating: bool, reset: bool) -> Terminal:
        mode = b"floating" if floating else b"default"
        operation = f"{'reset' if reset else 'calculate the reset of'} terminal {name}"
        terminals = self.terminals()
        driver: List[int] = []

        def visit(handle: int, iterator: int) -> bool:
            if self._read(iterator, "string", "name", operation) != name:
                return False
            library = kestrel()
            with FrameworkReport() as report:
                driver.append(library.quill_ra_kestrel_TerminalIterator_calculateResetTerminal(
                    handle, iterator, mode, report.pointer))
                report.check(operation)
            if reset:
                with FrameworkReport() as report:
                    library.quill_ra_kestrel_TerminalIterator_resetTerminal(iterator, mode, report.pointer)
                    report.check(operation)
            return True

        self._walk(operation, visit)
        if not driver:
            raise KeyError(f"no terminal is named {name!r} (names are exact); terminals() lists them")
        for terminal in terminals:
            if terminal.id == driver[0]:
                return terminal
        raise InvalidParameterError(h.brioerr_invalidParameter, operation,
                                    detail=f"the driver names terminal id {driver[0]}, which the router does not list")

    def _walk(self, operation: str, visit: Callable[[int, int], bool]) -> None:
        """Runs `visit` at each terminal until it answers True; the iterator is destroyed at the end."""
        library = kestrel()
        with self._using(operation) as handle:
            with FrameworkReport() as report:
                iterator = library.quill_ra_kestrel_getAllTerminals(handle, report.pointer)
                report.check(operation)
            if not iterator:
                return
            try:
                while not library.quill_ra_kestrel_TerminalIterator_isEnd(iterator):
                    if visit(handle, iterator):
                        return
                    with FrameworkReport() as report:
                        library.quill_ra_kestrel_TerminalIterator_next(iterator, report.pointer)
                        report.check(operation)
            finally:
                library.quill_ra_kestrel_TerminalIterator_destroy(iterator)

    def _read(self, iterator: int, kind: str, name: str, operation: str) -> Any:
        with FrameworkReport() as report:
            value = getattr(kestrel(), _GETTERS[kind])(iterator, name.encode(), report.pointer)
            report.check(f"{operation}: {name}")
        if kind == "string":
            return ctypes.string_at(value).decode("utf-8", "replace") if value else None
        return bool(value) if kind == "bool" else int(value)

    def _terminal(self, iterator: int) -> Terminal:
        values = {field: self._read(iterator, kind, name, "read the terminals")
                  for name, kind, field in _TERMINAL_ATTRIBUTES}
        if values["bus_line"] == _NO_BUS_LINE:
            values["bus_line"] = None
        return Terminal(**values)

    def __repr__(self) -> str:
        state = "open" if self.is_open else "closed"
        return f"<kestrel.routing.RoutingSession {state} on {self._device_path}>"


def _destroy(handle: int, context: int) -> None:
    kestrel().quill_ra_kestrel_destroySession(handle)
    _sessions.pop(context, None)

