"""python3 -m kestrel info prints what kestrelctl info prints: on the shipped
boards, and on a board with every memory type, every kind of size word and
texts no terminal should see raw."""
import copy
import json
import pathlib

import pytest

from conftest import python_command, run

INFO_VARIANTS = (["info"], ["--json", "info"], ["info", "--no-headings"])


def outputs(command_prefix, variant, kestrelctl):
    ours = run(command_prefix + python_command("-m", "kestrel", *variant))
    theirs = run(command_prefix + [kestrelctl, *variant])
    return ours, theirs


@pytest.mark.profile("default", "noCompanion", "safeMode")
@pytest.mark.parametrize("variant", INFO_VARIANTS)
def test_info_is_kestrelctls_on_the_shipped_boards(variant, kestrelctl):
    ours, theirs = outputs([], variant, kestrelctl)
    assert ours.returncode == theirs.returncode == 0
    assert ours.stdout == theirs.stdout


# Module texts as bytes: control characters, a backslash, Latin-1, a truncated and an overlong
# sequence, a surrogate, and well-formed two-, three- and four-byte sequences.
ODD_TEXTS = ["41 07 42 09 43", "5c 6e", "4d fc 6c 6c 65 72", "e2 82", "c0 af", "ed a0 80", "c3 a9 74 c3 a9",
             "e6 97 a5 e6 9c ac", "f0 9f 98 80 7f", "e2 82 ac e2"]
SIZE_WORDS = [1, 512, 1023, 0x7FFE, 0x7FFF, 0x8000, 0x8001, 0x8200, 0xFFFF, 0xFFFE, 16384, 3072]


def module(memory_type, size, text):
    return {"type": 17, "fields": {"size": size, "memoryType": memory_type, "speed": memory_type * 100,
                                   "deviceLocator": f"DIMM{memory_type}", "partNumber": "P" * (memory_type % 7 + 1)},
            "stringHex": {"0x17": text}}


@pytest.fixture(scope="module")
def odd_board(source_dir, tmp_path_factory) -> pathlib.Path:
    board = json.loads((source_dir / "sim" / "smbios" / "boards" / "default.json").read_text())
    modules = [module(memory_type, SIZE_WORDS[memory_type % len(SIZE_WORDS)], ODD_TEXTS[memory_type % len(ODD_TEXTS)])
               for memory_type in list(range(0x00, 0x27)) + [0x40, 0xFF]]
    structures = [s for s in board["smbios"]["structures"] if s["type"] != 17]
    at = next(i for i, s in enumerate(structures) if s["type"] > 17)
    structures[:at] = [copy.deepcopy(s) for s in structures[:at]]
    for array in (s for s in structures[:at] if s["type"] == 16):
        array["fields"]["numberOfDevices"] = len(modules)
    board["smbios"]["structures"] = structures[:at] + modules + structures[at:]
    folder = tmp_path_factory.mktemp("board")
    (folder / "odd.json").write_text(json.dumps(board))
    (folder / "profile.json").write_text(json.dumps({"board": str(folder / "odd.json")}))
    return folder / "profile.json"


@pytest.mark.profile("none")
@pytest.mark.parametrize("variant", INFO_VARIANTS)
def test_info_is_kestrelctls_on_a_board_with_every_memory_type_and_size(odd_board, kestrel_sim, kestrelctl, variant):
    ours, theirs = outputs([kestrel_sim, "--profile", odd_board, "--"], variant, kestrelctl)
    assert ours.returncode == theirs.returncode == 0, ours.stderr
    assert ours.stdout.count(b"\n") > 40  # every module is there
    assert ours.stdout == theirs.stdout


@pytest.mark.profile("default")
def test_usage_errors_and_version():
    for words in (["bogus"], [], ["info", "extra"]):
        completed = run(python_command("-m", "kestrel", "--json", *words))
        assert completed.returncode == 2
        assert json.loads(completed.stdout)["error"]["name"] == "usage"
        assert completed.stderr.startswith(b"kestrel: ")
    assert run(python_command("-m", "kestrel", "--help")).stdout.startswith(b"usage: python3 -m kestrel")
    assert json.loads(run(python_command("-m", "kestrel", "--version", "--json")).stdout)["version"].startswith(
        "kestrel ")


@pytest.mark.profile("default")
def test_output_that_cannot_be_written_is_a_failure():
    with open("/dev/full", "w") as full:
        import subprocess
        completed = subprocess.run(python_command("-m", "kestrel", "info"), stdout=full, stderr=subprocess.PIPE)
    assert completed.returncode == 1 and b"cannot write the output" in completed.stderr
