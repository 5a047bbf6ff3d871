"""The three examples of docs/python.md run as a user runs them, under the simulated controller."""
import json
import os

import pytest

from conftest import python_command, run


@pytest.fixture(scope="module")
def examples(source_dir):
    return source_dir / "python" / "examples"


def test_identity_as_json(examples):
    completed = run(python_command(str(examples / "identity_json.py")))
    assert completed.returncode == 0, completed.stderr
    identity = json.loads(completed.stdout)
    assert identity["serialNumber"] == "01C2F3A4"
    assert (identity["companionFirmwareVersion"], identity["companionBiosVersionRecord"]) == ("1.2.0f3", "1.4.0f2")
    assert [m["type"] for m in identity["memory"]] == ["DDR4", "DDR4"]


def test_watchdog_kept_alive_longer_than_its_timeout(examples, kestrelctl):
    completed = run(python_command(str(examples / "watchdog_keepalive.py"), "1.5"))
    assert completed.returncode == 0, completed.stderr
    assert completed.stdout.startswith(b"task done after 1.5 s: the timer is running")
    assert run([kestrelctl, "watchdog", "get", "state"]).stdout.strip() == b"0 (stopped)"


def test_routing_a_trigger(examples):
    completed = run(python_command(str(examples / "route_trigger.py"), "PXI_Trig1", "pxi_trig2"))
    assert completed.returncode == 0, completed.stderr
    assert completed.stdout.endswith(b": PXI_Trig1 -> PXI_Trig2\nreleased\n")
    for source, status, says in (("nowhere", 1, b"no terminal is named 'nowhere'"),
                                 (os.fsdecode(b"PXI\xff"), 2, b"is not valid UTF-8")):
        completed = run(python_command(str(examples / "route_trigger.py"), source, "PXI_Trig2"))
        assert completed.returncode == status and says in completed.stderr, completed.stderr
