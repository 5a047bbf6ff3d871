"""Routing sessions: terminals, route requests and tickets, refusals with the
adaptor's reports, conflicts between sessions, and demotion callbacks."""
import itertools
import json
import logging
import os
import threading
import time

import pytest

import kestrel
from kestrel.routing import Conflict, Demotion, RoutingSession, Seed
from conftest import run


@pytest.fixture
def router():
    with RoutingSession() as session:
        yield session


def test_terminals_are_what_kestrelctl_lists(router, kestrelctl):
    listed = json.loads(run([kestrelctl, "--json", "terminals"]).stdout)
    assert listed["devicePath"] == router.device_path
    ours = [{"name": t.name, "id": t.id, "isExternal": t.is_external, "isOwned": t.is_owned,
             "visibility": t.visibility, "busType": t.bus_type, "busLine": t.bus_line,
             "canonicalName": t.canonical_name} for t in router.terminals()]
    assert ours == listed["terminals"]
    assert router.terminal("PXI_Trig7").bus_line == 7
    with pytest.raises(KeyError):
        router.terminal("pxi_trig7")  # terminal names are exact here


def test_a_route_through_its_whole_life(router):
    assert router.handled_constraints() == ["inversionNeeded"]
    route = router.calculate_route([Seed("PXI_Trig0", cost=1, inversion_needed=True), ("TRIG_SMB", 5)],
                                   ["PXI_Trig3", "pxi_trig5"])
    assert route.ticket > 0
    assert [(s.destination, s.cost, s.starting_seed) for s in route.segments] == [
        ("PXI_Trig3", 2, 0), ("PXI_Trig5", 2, 0)]
    route.reserve()
    route.program()
    assert route.terminal_path() == ["PXI_Trig0", "PXI_Trig3", "PXI_Trig5"]
    route.unprogram()
    route.unreserve()
    route.destroy()
    with pytest.raises(kestrel.InvalidParameterError):
        route.reserve()  # the ticket is gone


def test_nothing_to_ask_answers_ticket_zero(router):
    unsatisfiable = {"required": {"somethingUnknown": True}}
    for seeds, destinations, modifiers in (([], ["PXI_Trig3"], None), (["PXI_Trig0"], [], None),
                                           (["PXI_Trig0"], ["PXI_Trig3"], unsatisfiable)):
        # ignore_reservations joins the modifiers given, never replaces them
        route = router.calculate_route(seeds, destinations, modifiers, ignore_reservations=True)
        assert (route.ticket, route.segments, bool(route)) == (0, (), False)
    assert router.calculate_route(["PXI_Trig0"], ["PXI_Trig3"], ignore_reservations=True).ticket > 0


def test_refused_requests_carry_the_adaptors_report(router):
    with pytest.raises(kestrel.InvalidParameterError) as refused:
        router.calculate_route([{"cost": 1, "constraints": {}}], ["PXI_Trig3"])
    report = refused.value.report
    assert (report["file"], report["line"]) == ("QuillUtils", 493)
    assert report["quill_debug"]["msg"] == "terminal field missing"
    assert "terminal field missing" in str(refused.value)
    with pytest.raises(kestrel.InvalidParameterError):
        router.program(4242)
    with pytest.raises(kestrel.InvalidParameterError, match="no terminal is named 'PXI\\\\x00Trig0'"):
        router.calculate_route(["PXI\0Trig0"], ["PXI_Trig3"])  # goes as an escape, and names no terminal
    with pytest.raises(kestrel.InvalidParameterError, match="no terminal is named 'nowhere'") as refused:
        router.calculate_route([("pxi_trig0", 2)], ["PXI_TRIG3", "nowhere"])
    assert refused.value.report["file"]  # the driver's report is kept
    with pytest.raises(kestrel.InvalidParameterError, match="the driver found no route"):
        router.calculate_route(["PXI_Trig0"], ["pxi_trig0"])
    # A name from a command line or a file name may hold bytes that are not UTF-8 (as lone surrogates).
    with pytest.raises(ValueError, match="'PXI\\\\udcffTrig0' is not valid UTF-8"):
        router.calculate_route([os.fsdecode(b"PXI\xffTrig0")], ["PXI_Trig3"])
    with pytest.raises(TypeError):
        router.calculate_route(["PXI_Trig0"], "PXI_Trig3")
    with pytest.raises(ValueError):
        router.reserve(-1)


def test_a_conflicting_reservation_names_the_holder(router):
    held = router.calculate_route(["PXI_Trig0"], ["PXI_Trig6"])
    held.reserve()
    with RoutingSession() as other:
        wanted = other.calculate_route(["PXI_Trig1"], ["PXI_Trig6"])
        with pytest.raises(kestrel.ReservationConflictError) as conflict:
            wanted.reserve()
        assert conflict.value.code == kestrel.StatusCode.quillerr_reservationConflict
        assert [c.ticket for c in conflict.value.conflicts] == [held.ticket]
        assert all(isinstance(c, Conflict) and c.session_id != 0 for c in conflict.value.conflicts)


def test_reset_a_terminal_and_ask_who_drives_it(router):
    assert router.calculate_reset_terminal("PXI_Trig3").name == "PXI_Trig3"
    assert router.reset_terminal("PXI_Trig3", floating=True).name == "FLOAT"
    with pytest.raises(KeyError):
        router.reset_terminal("PXI_Trig9")


def test_a_closed_session_refuses_and_closing_twice_does_nothing():
    session = RoutingSession().open()
    route = session.calculate_route(["PXI_Trig0"], ["PXI_Trig2"])
    session.close()
    session.close()
    with pytest.raises(kestrel.SessionEndedError):
        route.program()
    with pytest.raises(kestrel.SessionEndedError):
        RoutingSession().terminals()


def test_a_session_on_a_missing_device_fails_with_the_drivers_code():
    with pytest.raises(kestrel.NotFoundError) as failed:
        RoutingSession(device_path="/dev/zesim/kestrel/no-such-router").open()
    assert failed.value.report["file"] == "tDeviceInterfaceProxy"


def test_close_waits_for_calls_in_flight(router):
    errors, stop = [], threading.Event()

    def calculate():
        while not stop.is_set():
            try:
                router.calculate_route(["PXI_Trig0"], ["PXI_Trig4"]).destroy()
            except kestrel.SessionEndedError:
                return
            except Exception as error:  # anything else is a fault
                errors.append(error)
                return

    workers = [threading.Thread(target=calculate) for _ in range(4)]
    for worker in workers:
        worker.start()
    time.sleep(0.2)
    router.close()
    stop.set()
    for worker in workers:
        worker.join(5)
    assert errors == []


# --- demotions (the profile demotes the reserved and programmed routes every 500 ms) ---

_free_lines = itertools.cycle(["PXI_Trig4", "PXI_Trig5", "PXI_Trig6", "PXI_Trig7"])  # none the profile seeds


def programmed_route(router):
    """A route the driver will demote at its next turn."""
    route = router.calculate_route(["TRIG_SMB"], [next(_free_lines)])
    route.reserve()
    route.program()
    return route


@pytest.mark.profile("routeDemotions")
def test_demotions_reach_the_callback_on_the_adaptors_thread():
    arrived = []
    done = threading.Event()

    def demoted(demotion):
        with open(f"/proc/self/task/{threading.get_native_id()}/comm") as comm:
            arrived.append((demotion, comm.read().strip(), threading.current_thread() is main))
        done.set()

    main = threading.main_thread()
    with RoutingSession(on_demotion=demoted) as router:
        programmed_route(router)
        assert done.wait(5)
    demotion, thread, on_main = arrived[0]
    assert demotion == Demotion(101, 0, None)
    assert thread == "kestrel" and not on_main


def calls_wait(calls, count, seconds=5):
    deadline = time.monotonic() + seconds
    while len(calls) < count and time.monotonic() < deadline:
        time.sleep(0.01)
    return len(calls) >= count


@pytest.mark.profile("routeDemotions")
def test_a_raising_callback_is_logged_and_the_session_lives_on(caplog):
    calls = []
    twice = threading.Event()

    def failing(demotion):
        calls.append(demotion)
        if len(calls) >= 2:
            twice.set()
        raise RuntimeError("callback fault")

    with caplog.at_level(logging.ERROR, logger="kestrel.routing"):
        with RoutingSession(on_demotion=failing) as router:
            programmed_route(router)
            assert calls_wait(calls, 1)
            programmed_route(router)
            assert twice.wait(5)
            assert len(router.terminals()) == 11
    assert any("callback fault" in record.exc_text for record in caplog.records if record.exc_text)


@pytest.mark.profile("routeDemotions")
def test_a_callback_may_close_its_own_session():
    closed = threading.Event()
    holder = {}

    def close_me(demotion):
        holder["session"].close()
        closed.set()

    holder["session"] = RoutingSession(on_demotion=close_me).open()
    programmed_route(holder["session"])
    assert closed.wait(5)
    assert not holder["session"].is_open
    with RoutingSession() as again:
        assert len(again.terminals()) == 11


@pytest.mark.profile("routeDemotions")
def test_seeded_routes_by_ticket():
    with RoutingSession() as router:
        assert router.route(1).terminal_path()[0] == "TRIG_SMB"
        router.route(3).reserve()
        router.route(3).unreserve()
