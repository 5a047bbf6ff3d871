"""Watchdog: properties, the timer's states, waits that end by notification,
timeout, cancel, Ctrl-C and close, and the keepalive helper."""
import signal
import subprocess
import textwrap
import threading
import time

import pytest

import kestrel
from kestrel import ExpiryAction, Notification, WatchdogState
from conftest import python_command, run


def test_properties_with_enums(watchdog):
    watchdog.timeout = 1234
    assert watchdog.timeout == 1234
    watchdog.expiry_action = ExpiryAction.TRIGGER
    assert watchdog.expiry_action is ExpiryAction.TRIGGER
    watchdog.expiry_action = ExpiryAction.NOTIFY
    assert watchdog.state is WatchdogState.STOPPED and watchdog.remaining == 0
    with pytest.raises(ValueError):
        watchdog.expiry_action = 7  # not an action: refused before the library
    with pytest.raises(kestrel.NotSupportedError):
        watchdog.timeout = 0  # the driver refuses it


def test_start_pet_expire_and_start_again(watchdog):
    watchdog.start(timeout=150)
    assert watchdog.state is WatchdogState.RUNNING and 0 < watchdog.remaining <= 150
    watchdog.pet()
    assert watchdog.wait(timeout=5) is Notification.EXPIRED
    assert watchdog.state is WatchdogState.EXPIRED
    with pytest.raises(kestrel.BusyError) as refused:
        watchdog.pet()
    assert refused.value.code == kestrel.StatusCode.brioerr_busy
    watchdog.start(timeout=5000)
    watchdog.pet()
    watchdog.stop()
    assert watchdog.state is WatchdogState.STOPPED


def test_a_wait_that_times_out_is_cancelled_and_leaves_nothing_behind(watchdog):
    before = threading.active_count()
    started = time.monotonic()
    assert watchdog.wait(timeout=0.1) is None
    assert 0.1 <= time.monotonic() - started < 2
    assert threading.active_count() == before
    # The cancel's own notification was consumed: the next wait sees the expiry.
    watchdog.start(timeout=100)
    assert watchdog.wait(timeout=5) is Notification.EXPIRED


def test_a_notification_racing_the_timeout_is_returned_and_its_cancel_not_seen_later(watchdog):
    watchdog.start(timeout=20)
    time.sleep(0.2)  # the expiry is queued before the wait begins
    assert watchdog.wait(timeout=0) is Notification.EXPIRED
    watchdog.start(timeout=100)
    assert watchdog.wait(timeout=5) is Notification.EXPIRED


def test_a_wait_is_cancelled_from_another_thread(watchdog):
    seen = []
    waiter = threading.Thread(target=lambda: seen.append(watchdog.wait()))
    waiter.start()
    deadline = time.monotonic() + 5
    while not seen and time.monotonic() < deadline:
        watchdog.cancel_wait()
        waiter.join(0.2)
    assert seen == [Notification.CANCELLED]


def test_closing_ends_a_wait_in_progress_and_a_new_session_waits_again():
    first = kestrel.Watchdog().open()
    seen = []
    waiter = threading.Thread(target=lambda: seen.append(first.wait(timeout=10)))
    waiter.start()
    time.sleep(0.1)
    first.close()
    waiter.join(5)
    assert seen == [Notification.ENDED]
    with kestrel.Watchdog() as second:
        second.start(timeout=50)
        assert second.wait(timeout=5) is Notification.EXPIRED


def test_the_last_close_stops_the_timer(kestrelctl):
    first, second = kestrel.Watchdog().open(), kestrel.Watchdog().open()
    first.start(timeout=5000)
    first.close()
    assert second.state is WatchdogState.RUNNING
    second.close()
    # Seen from another program of the run, as the driver holds it.
    assert run([kestrelctl, "watchdog", "get", "state"]).stdout.strip() == b"0 (stopped)"


def test_driver_values_beyond_the_named_ones_are_still_enum_members():
    assert Notification(9).name == "VALUE_9" and Notification(9) == 9
    with pytest.raises(ValueError):
        Notification(256)


CTRL_C_CHILD = textwrap.dedent("""
    import signal, sys, time, kestrel
    signal.signal(signal.SIGINT, signal.default_int_handler)  # even when started with SIGINT ignored
    with kestrel.Watchdog() as wd:
        print("waiting", flush=True)
        try:
            wd.wait()
        except KeyboardInterrupt:
            print(time.monotonic(), flush=True)
        else:
            sys.exit("the wait ended without Ctrl-C")
        wd.start(timeout=100)
        print(wd.wait(timeout=5).name, flush=True)
""")


def test_ctrl_c_ends_a_wait_within_100_ms_and_the_next_wait_works():
    child = subprocess.Popen(python_command("-c", CTRL_C_CHILD), stdout=subprocess.PIPE, text=True)
    try:
        assert child.stdout.readline() == "waiting\n"
        time.sleep(0.2)  # well inside the wait
        sent = time.monotonic()
        child.send_signal(signal.SIGINT)
        caught = float(child.stdout.readline())
        assert caught - sent < 0.1
        assert child.stdout.readline() == "EXPIRED\n"
        assert child.wait(timeout=10) == 0
    finally:
        child.kill()
        child.wait()


def test_keepalive_pets_until_it_is_left(watchdog):
    watchdog.start(timeout=300)
    with watchdog.keepalive(0.05) as keeper:
        time.sleep(0.8)
        assert watchdog.state is WatchdogState.RUNNING
    assert keeper.pets >= 8
    assert watchdog.state is WatchdogState.RUNNING  # leaving stops the petting, not the timer
    watchdog.stop()
    with pytest.raises(ValueError, match="expire between pets"):
        with watchdog.keepalive(0.3):
            pass
    with pytest.raises(ValueError):
        watchdog.keepalive(0)


def test_keepalive_raises_a_failed_pet_when_left(watchdog):
    watchdog.start(timeout=1000)
    with pytest.raises(kestrel.SessionEndedError):
        with watchdog.keepalive(0.02):
            watchdog.close()
            time.sleep(0.2)
