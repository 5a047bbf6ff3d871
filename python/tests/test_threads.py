"""The package from several threads at once, and calls that leave the GIL to others."""
import ctypes
import threading
import time

import kestrel
from kestrel.routing import RoutingSession


def run_threads(targets, seconds=20):
    errors = []

    def guarded(target):
        try:
            target()
        except BaseException as error:  # collected for the assertion below
            errors.append(error)

    threads = [threading.Thread(target=guarded, args=(target,)) for target in targets]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join(seconds)
    assert not any(thread.is_alive() for thread in threads)
    return errors


def test_controller_watchdog_and_routing_from_many_threads_at_once(controller, watchdog):
    watchdog.start(timeout=2000)
    router = RoutingSession().open()
    expected = controller.info()

    def read_attributes():
        for _ in range(150):
            assert controller["serial-number"] == "01C2F3A4" and controller["memory-size", 1] == 8192

    def read_identity():
        for _ in range(10):
            assert controller.info() == expected

    def pet():
        for _ in range(200):
            watchdog.pet()

    def route(destination):
        def calculate():
            for _ in range(30):
                ticket = router.calculate_route(["PXI_Trig0"], [destination])
                assert ticket.terminal_path() == ["PXI_Trig0", destination]
                ticket.destroy()
        return calculate

    try:
        errors = run_threads([read_attributes, read_attributes, read_identity, pet, route("PXI_Trig5"),
                              route("PXI_Trig6"), lambda: [router.terminals() for _ in range(10)]])
    finally:
        router.close()
    assert errors == []
    assert watchdog.state is kestrel.WatchdogState.RUNNING
    watchdog.stop()


def test_a_thread_blocked_in_the_library_leaves_the_others_running(controller, watchdog):
    # The C wait itself, as the package calls it: blocked there, it must not hold the GIL. Should it
    # hold it, the expiry still ends the wait, and the test fails instead of hanging.
    watchdog.start(timeout=3000)
    value = ctypes.c_int32(0)
    wait = kestrel._library.kestrel().KESTREL_waitForWatchdogNotification
    waiter = threading.Thread(target=wait, args=(watchdog._handle, ctypes.byref(value)))
    waiter.start()
    time.sleep(0.2)  # into the C wait
    try:
        started = time.monotonic()
        for _ in range(100):
            controller["controller-model"]
        assert waiter.is_alive() and time.monotonic() - started < 5
    finally:
        watchdog.cancel_wait()
        waiter.join(5)
        watchdog.stop()
    assert not waiter.is_alive()
