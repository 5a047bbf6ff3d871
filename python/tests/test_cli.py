"""python3 -m kestrel info prints what kestrelctl info prints: on the shipped
boards, after a firmware update cleared the companion's record, and on a board
with every memory type, every kind of size word and texts no terminal should
see raw; its failures follow kestrelctl's conventions."""
import copy
import json
import pathlib
import subprocess

import pytest

from conftest import python_command, run

INFO_VARIANTS = (["info"], ["--json", "info"], ["info", "--json=pretty"], ["info", "--no-headings"])


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


@pytest.mark.profile("none")
def test_info_is_kestrelctls_once_an_update_cleared_the_companions_record(kestrel_sim, kestrelctl, firmware_files):
    variants = " ".join(f"'{' '.join(variant)}'" for variant in INFO_VARIANTS)
    both = f'"{python_command()[0]}" -m kestrel $v; echo "<>"; "{kestrelctl}" $v; echo "<=>"'
    script = (f'"{kestrelctl}" firmware update "{firmware_files["bios"]}" >/dev/null || exit 9\n'
              f'for v in {variants}; do {both}; done\n'
              f'"{python_command()[0]}" -c "import kestrel; c = kestrel.Controller().open(); i = c.info().companion; '
              'print(i.bios_version_record, i.bios_version_record_cleared, c.firmware_versions().bios_version)"')
    completed = run([kestrel_sim, "--", "sh", "-c", script])
    assert completed.returncode == 0, completed.stderr
    *pairs, api = completed.stdout.split(b"<=>\n")
    assert api == b"0.0.0f0 True 1.4.0f2\n"  # SMBIOS keeps the version of the BIOS's last start
    for pair in pairs:
        ours, theirs = pair.split(b"<>\n")
        assert ours == theirs
    assert b"BIOS version record  0.0.0f0 (cleared by a firmware update)\n" in pairs[0]
    assert json.loads(pairs[1].split(b"<>\n")[0])["companion"]["biosVersionRecord"] == "0.0.0f0"


# Module texts as bytes: control characters, a backslash, Latin-1, a truncated and an overlong
# sequence, a surrogate, well-formed two-, three- and four-byte sequences, C1 controls (NEL, CSI),
# and the bidirectional controls around ordinary letters.
ODD_TEXTS = ["41 07 42 09 43", "5c 6e", "4d fc 6c 6c 65 72", "e2 82", "c0 af", "ed a0 80", "c3 a9 74 c3 a9",
             "e6 97 a5 e6 9c ac", "f0 9f 98 80 7f", "e2 82 ac e2", "41 c2 85 42 c2 9b 43 c2 a0",
             "e2 80 ae 61 62 e2 80 ac", "d8 9c e2 80 8e e2 80 8f e2 81 a6 e2 81 a9 e2 80 aa e2 80 ad e2 81 a5"]
SIZE_WORDS = [1, 512, 1023, 0x7FFE, 0x7FFF, 0x8000, 0x8001, 0x8200, 0xFFFF, 0xFFFE, 16384, 3072]
MEMORY_TYPES = list(range(0x00, 0x27)) + [0x40, 0xFF]


def module(memory_type, size, text):
    return {"type": 17, "fields": {"size": size, "memoryType": memory_type, "speed": memory_type * 100,
                                   "deviceLocator": f"DIMM{memory_type}", "partNumber": "P" * (memory_type % 7 + 1)},
            "stringHex": {"0x17": text}}


@pytest.fixture(scope="module")
def odd_board(source_dir, tmp_path_factory) -> pathlib.Path:
    board = json.loads((source_dir / "sim" / "smbios" / "boards" / "default.json").read_text())
    modules = [module(memory_type, SIZE_WORDS[memory_type % len(SIZE_WORDS)], ODD_TEXTS[memory_type % len(ODD_TEXTS)])
               for memory_type in MEMORY_TYPES]
    structures = [s for s in board["smbios"]["structures"] if s["type"] != 17]
    at = next(i for i, s in enumerate(structures) if s["type"] > 17)
    structures[:at] = [copy.deepcopy(s) for s in structures[:at]]
    for array in (s for s in structures[:at] if s["type"] == 16):
        array["fields"]["numberOfDevices"] = len(modules)
    board["smbios"]["structures"] = structures[:at] + modules + structures[at:]
    folder = tmp_path_factory.mktemp("board")
    (folder / "odd.json").write_text(json.dumps(board))
    (folder / "profile.json").write_text(json.dumps({"board": "odd.json"}))
    return folder / "profile.json"


@pytest.mark.profile("none")
@pytest.mark.parametrize("variant", INFO_VARIANTS)
def test_info_is_kestrelctls_on_a_board_with_every_memory_type_and_size(odd_board, kestrel_sim, kestrelctl, variant):
    ours, theirs = outputs([kestrel_sim, "--profile", odd_board, "--"], variant, kestrelctl)
    assert ours.returncode == theirs.returncode == 0, ours.stderr
    assert all(f"\"DIMM{t}\"".encode() in ours.stdout or f" DIMM{t} ".encode() in ours.stdout
               for t in MEMORY_TYPES)  # every module is there
    assert ours.stdout == theirs.stdout
    if not any(word.startswith("--json") for word in variant):
        # Nothing a terminal acts on is left: no C0, DEL, C1 or bidirectional control.
        assert not any(0x80 <= ord(c) <= 0x9F or c in "\u061c\u200e\u200f\u202a\u202b\u202c\u202d\u202e"
                       "\u2066\u2067\u2068\u2069" or (ord(c) < 0x20 and c != "\n") or c == "\x7f"
                       for c in ours.stdout.decode())


def error_of(completed):
    """The one error document of a failed run, checked for kestrelctl's keys."""
    document = json.loads(completed.stdout)
    assert list(document) == ["error"]
    assert sorted(document["error"]) == ["code", "hint", "meaning", "message", "name", "operation"]
    return document["error"]


@pytest.mark.profile("default")
def test_usage_errors_are_one_document_with_kestrelctls_keys(kestrelctl):
    usage_meaning = error_of(run([kestrelctl, "--json", "bogus"]))["meaning"]
    for words in (["bogus"], [], ["info", "extra"], ["--bogus", "info"], ["--json=wide", "info"]):
        for layout in ("--json", "--json=pretty"):
            completed = run(python_command("-m", "kestrel", layout, *words))
            assert completed.returncode == 2, words
            error = error_of(completed)
            assert (error["name"], error["code"], error["meaning"]) == ("usage", None, usage_meaning)
            assert completed.stderr.startswith(b"kestrel: ")
            assert (completed.stdout.count(b"\n") == 1) == (layout == "--json")  # compact is one line
    wrong = run(python_command("-m", "kestrel", "--json=wide", "info"))
    assert b"--json=wide is not a layout" in wrong.stderr


@pytest.mark.profile("default")
def test_help_and_version_as_text_and_as_one_document(kestrelctl):
    assert run(python_command("-m", "kestrel", "--help")).stdout.startswith(b"usage: python3 -m kestrel")
    ours = json.loads(run(python_command("-m", "kestrel", "info", "--help", "--json")).stdout)
    theirs = json.loads(run([kestrelctl, "--json", "help"]).stdout)
    assert sorted(ours) == sorted(theirs)
    assert [c["command"] for c in ours["commands"]] == ["python3 -m kestrel info"]
    assert {name for option in ours["options"] for name in option["names"]} >= {"--json", "--no-headings",
                                                                                "--version", "--help"}
    version = json.loads(run(python_command("-m", "kestrel", "--version", "--json")).stdout)
    assert version["program"] == "python3 -m kestrel"
    assert version["interfaceVersion"] == json.loads(run([kestrelctl, "--json", "--version"]).stdout)["version"]
    assert run(python_command("-m", "kestrel", "--version")).stdout.startswith(b"kestrel ")


@pytest.mark.profile("default")
def test_output_that_cannot_be_written_is_a_failure():
    with open("/dev/full", "w") as full:
        completed = subprocess.run(python_command("-m", "kestrel", "info"), stdout=full, stderr=subprocess.PIPE)
    assert completed.returncode == 1 and b"cannot write the output" in completed.stderr
