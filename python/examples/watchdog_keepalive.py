#!/usr/bin/env python3
"""Keeps the watchdog alive while a task runs that takes longer than its timeout.

    kestrel-sim -- python3 python/examples/watchdog_keepalive.py [SECONDS]

The timer is armed with a 1 s timeout; a keepalive thread pets it every
200 ms while the task works. Should the program hang or die, the pets stop
and the timer expires. Leaving the with block closes the session, and the
last close stops the timer.
"""
import sys
import time

import kestrel


def task(seconds: float) -> None:
    """Stands for the test sequence: it never pets the watchdog itself."""
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        time.sleep(0.05)


def main() -> int:
    seconds = float(sys.argv[1]) if len(sys.argv) > 1 else 2.5
    with kestrel.Watchdog() as wd:
        wd.expiry_action = kestrel.ExpiryAction.NOTIFY
        wd.start(timeout=1000)
        with wd.keepalive(0.2) as keeper:
            task(seconds)
        print(f"task done after {seconds} s: the timer is {wd.state.name.lower()}, {keeper.pets} pets")
        wd.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
