"""The tables the package keeps beside kestrelctl's, held to them: the
attribute catalog, the names of earlier releases and the names of values."""
import json
import re

import pytest

import kestrel
from kestrel import Notification, WatchdogState, value_name
from kestrel.decoding import EXPIRY_ACTIONS
from conftest import run


def test_catalog_is_kestrelctls(kestrelctl):
    listed = json.loads(run([kestrelctl, "--json", "list"]).stdout)
    ours = [{"name": a.name, "id": f"0x{a.id:08X}", "type": a.type.value, "index": a.index.value,
             "readable": a.readable, "writable": a.writable, "session": a.target.value,
             "description": a.description} for a in kestrel.CATALOG]
    assert ours == listed


def test_former_names_are_kestrelctls(controller, kestrelctl):
    for former, current in kestrel.attributes.FORMER_NAMES.items():
        theirs = json.loads(run([kestrelctl, "--json", "get", former]).stdout)
        assert theirs["attribute"] == current
        assert kestrel.find_attribute(former) is kestrel.find_attribute(current)
        assert controller[former] == controller[current] == theirs["value"]
    assert not set(kestrel.attributes.FORMER_NAMES) & {a.name for a in kestrel.CATALOG}


def kestrelctl_meaning(kestrelctl, *words):
    """What kestrelctl names a value it reads, and the value."""
    document = json.loads(run([kestrelctl, "--json", "get", *words]).stdout)
    return document["meaning"], document["value"]


@pytest.mark.profile("none")
def test_interface_and_bus_names_are_kestrelctls(source_dir, tmp_path, kestrel_sim, kestrelctl):
    board = json.loads((source_dir / "sim" / "smbios" / "boards" / "default.json").read_text())
    structures = board["smbios"]["structures"]
    at = next(i for i, s in enumerate(structures) if s["type"] == 153)
    kinds = ["ExpressCard", "GPIB", "Thunderbolt", "USB"]
    structures[at:at + 1] = [{"type": 153, "string": {"0x04": kind}} for kind in kinds]
    (tmp_path / "board.json").write_text(json.dumps(board))
    (tmp_path / "profile.json").write_text(json.dumps({"board": "board.json"}))
    reads = [f'"{kestrelctl}" --json get expansion-interface --index {i}' for i in range(len(kinds))]
    reads.append(f'"{kestrelctl}" --json get bus-type')
    completed = run([kestrel_sim, "--profile", tmp_path / "profile.json", "--", "sh", "-c", "; ".join(reads)])
    documents = [json.loads(line) for line in completed.stdout.splitlines()]
    named = [(d["attribute"], d["value"], d["meaning"]) for d in documents]
    assert [meaning for _, _, meaning in named] == kinds[:3] + [None, "PCI"]
    for attribute, value, meaning in named:
        assert value_name(attribute, value) == (meaning or "")


@pytest.mark.profile("none")
def test_expiry_action_names_are_kestrelctls(kestrelctl):
    refused = json.loads(run([kestrelctl, "--json", "watchdog", "set", "expiry-action", "bogus"]).stdout)
    listed = {int(value): name for name, value in re.findall(r"(\w+) \((\d+)\)", refused["error"]["message"])}
    assert listed == EXPIRY_ACTIONS


def test_watchdog_state_names_are_kestrelctls(watchdog, kestrelctl):
    def names_agree(state):
        assert watchdog.state is state
        meaning, value = kestrelctl_meaning(kestrelctl, "watchdog-state")
        assert (value, meaning) == (state, value_name("watchdog-state", state))

    names_agree(WatchdogState.STOPPED)
    watchdog.start(timeout=60000)
    names_agree(WatchdogState.RUNNING)
    watchdog.start(timeout=1)
    assert watchdog.wait(timeout=5) is Notification.EXPIRED
    names_agree(WatchdogState.EXPIRED)
    watchdog.stop()
