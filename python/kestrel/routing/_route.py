"""A route by its ticket, and the tickets the session's steps take."""
from __future__ import annotations

from typing import List, Protocol, Sequence, Tuple, Union

from ._types import Segment

TicketLike = Union[int, "Route"]


class RouteSteps(Protocol):
    """What a route asks of the session that calculated it."""

    def reserve(self, route: TicketLike) -> None: ...
    def program(self, route: TicketLike) -> None: ...
    def unprogram(self, route: TicketLike) -> None: ...
    def unreserve(self, route: TicketLike) -> None: ...
    def destroy(self, route: TicketLike) -> None: ...
    def terminal_path(self, route: TicketLike) -> List[str]: ...


def ticket_of(route: TicketLike) -> int:
    ticket = route.ticket if isinstance(route, Route) else route
    if isinstance(ticket, bool) or not isinstance(ticket, int) or not 0 <= ticket <= 0xFFFFFFFF:
        raise ValueError(f"a ticket is an unsigned 32-bit number, not {ticket!r}")
    return ticket


class Route:
    """A route by its ticket, as a calculation answered it; its steps go through its session.

    A route lives as long as the session that calculated it; reservations
    as long as the session that made them."""

    def __init__(self, session: RouteSteps, ticket: int, segments: Sequence[Segment] = ()) -> None:
        self.session = session
        self.ticket = ticket
        self.segments: Tuple[Segment, ...] = tuple(segments)

    def reserve(self) -> None:
        self.session.reserve(self)

    def program(self) -> None:
        self.session.program(self)

    def unprogram(self) -> None:
        self.session.unprogram(self)

    def unreserve(self) -> None:
        self.session.unreserve(self)

    def destroy(self) -> None:
        self.session.destroy(self)

    def terminal_path(self) -> List[str]:
        return self.session.terminal_path(self)

    def __int__(self) -> int:
        return self.ticket

    def __bool__(self) -> bool:
        return self.ticket != 0

    def __repr__(self) -> str:
        destinations = ", ".join(segment.destination for segment in self.segments)
        return f"<kestrel.routing.Route ticket {self.ticket} to [{destinations}]>"
