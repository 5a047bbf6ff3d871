"""What the routing session takes and answers."""
from __future__ import annotations

from dataclasses import dataclass, field
from typing import Any, Dict, Mapping, Optional, Tuple, Union


@dataclass(frozen=True)
class Terminal:
    """A terminal of the trigger router, with its attributes."""

    name: str
    id: int
    is_external: bool
    is_owned: bool
    is_alias: bool
    is_masked_out: bool
    visibility: str
    bus_type: Optional[str]
    bus_line: Optional[int]       # None when the terminal has no bus line
    bus_name: Optional[str]
    canonical_name: Optional[str]


@dataclass(frozen=True)
class Seed:
    """Where a route may start: a terminal, its cost, and constraints.

    In calculate_route() a seed may also be a terminal name (cost 0), a
    (name, cost) pair, or a dict in the adaptor's own JSON form."""

    terminal: str
    cost: int = 0
    inversion_needed: Optional[bool] = None
    constraints: Mapping[str, Any] = field(default_factory=dict)  # other constraints, passed on as they are

    def to_json(self) -> Dict[str, Any]:
        constraints = dict(self.constraints)
        if self.inversion_needed is not None:
            constraints["inversionNeeded"] = self.inversion_needed
        return {"terminal": self.terminal, "cost": self.cost, "constraints": constraints}


SeedLike = Union[Seed, str, Tuple[str, int], Mapping[str, Any]]


@dataclass(frozen=True)
class Segment:
    """One destination of a calculated route."""

    ticket: int
    destination: str
    cost: int
    starting_seed: int  # the index of the seed the segment starts from
    constraints: Mapping[str, Any]

    @property
    def inversion_needed(self) -> bool:
        return bool(self.constraints.get("inversionNeeded", False))


@dataclass(frozen=True)
class Conflict:
    """A reservation of another session that a reservation ran into."""

    session_id: int
    ticket: int


@dataclass(frozen=True)
class Demotion:
    """A route demotion the driver reported.

    event   the framework's event number (101)
    code    the code of the report that came with it
    report  the report's JSON members, or None
    """

    event: int
    code: int
    report: Optional[Dict[str, Any]]


def seed_json(seed: SeedLike) -> Any:
    if isinstance(seed, Seed):
        return seed.to_json()
    if isinstance(seed, str):
        return Seed(seed).to_json()
    if isinstance(seed, tuple):
        if len(seed) != 2:
            raise ValueError(f"a seed pair is (terminal, cost), not {seed!r}")
        return Seed(seed[0], seed[1]).to_json()
    if isinstance(seed, Mapping):
        return dict(seed)
    raise TypeError(f"a seed is a Seed, a terminal name, a (name, cost) pair or a dict, not {type(seed).__name__}")


def segment_from_json(item: Any) -> Segment:
    return Segment(int(item.get("ticket", 0)), str(item.get("destination", "")), int(item.get("cost", 0)),
                   int(item.get("indexOfStartingSeed", 0)), dict(item.get("constraints") or {}))
