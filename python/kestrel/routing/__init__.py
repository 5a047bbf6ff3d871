"""Trigger routing from Python: a routing session over the quill_ra_kestrel_* functions.

The framework's side of the adaptor (status records, report buffers, answer
allocation, the demotion callback) is handled inside; requests go in as
Python lists and dicts and come back as objects::

    from kestrel.routing import RoutingSession, Seed

    with RoutingSession() as router:
        for terminal in router.terminals():
            print(terminal.name, terminal.id)
        route = router.calculate_route([Seed("PXI_Trig0", cost=1)], ["PXI_Trig3"])
        route.reserve()
        route.program()
        print(route.terminal_path())
"""
from ._session import DemotionCallback, Route, RoutingSession
from ._types import Conflict, Demotion, Seed, Segment, Terminal

__all__ = ["RoutingSession", "Route", "Seed", "Segment", "Terminal", "Conflict", "Demotion", "DemotionCallback"]
