#!/usr/bin/env python3
"""Routes a trigger from one PXI trigger line to another and holds it for a moment.

    kestrel-sim -- python3 python/examples/route_trigger.py [FROM] [TO]

The route is calculated, reserved and programmed, its terminal path shown,
and released again. Demotions the driver reports arrive on the adaptor's
thread and are printed as they come.
"""
import sys
import time

import kestrel
from kestrel.routing import Demotion, RoutingSession, Seed


def demoted(demotion: Demotion) -> None:
    # On the adaptor's own thread: keep it short.
    print(f"a route was demoted (event {demotion.event})", flush=True)


def main() -> int:
    source = sys.argv[1] if len(sys.argv) > 1 else "PXI_Trig0"
    destination = sys.argv[2] if len(sys.argv) > 2 else "PXI_Trig3"
    try:
        with RoutingSession(on_demotion=demoted) as router:
            route = router.calculate_route([Seed(source, cost=1)], [destination])
            if not route:
                print(f"route_trigger: no route from {source} to {destination}", file=sys.stderr)
                return 1
            route.reserve()
            route.program()
            print(f"ticket {route.ticket}: {' -> '.join(route.terminal_path())}")
            time.sleep(0.2)  # the trigger is routed now
            route.unprogram()
            route.unreserve()
            route.destroy()
    except kestrel.ReservationConflictError as conflict:
        holders = ", ".join(f"ticket {c.ticket} of session {c.session_id}" for c in conflict.conflicts)
        print(f"route_trigger: the line is reserved by {holders}", file=sys.stderr)
        return 1
    except kestrel.KestrelError as error:
        print(f"route_trigger: {error}", file=sys.stderr)
        return 1
    except ValueError as error:  # a name no route request can carry
        print(f"route_trigger: {error}", file=sys.stderr)
        return 2
    print("released")
    return 0


if __name__ == "__main__":
    sys.exit(main())
