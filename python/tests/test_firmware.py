"""Update files read as the library reads them, checked against kestrelctl's
reading of the same files, and versions compared as the library compares them."""
import json
import random

import pytest

import kestrel
from kestrel.firmware import install_order, parse_version, read_sections
from conftest import run

pytestmark = pytest.mark.profile("none")


@pytest.mark.parametrize("text, packed", [
    ("1.4.0f2", 0x01400000 | 3 << 14 | 2), ("0.0.0d0", 0), ("255.15.15f16383", 0xFFFFFFFF),
    ("1.5.0f0 and more", 0x01500000 | 3 << 14), ("1.5.0a7", 0x01500000 | 1 << 14 | 7),
    ("01.5.0f0", 0), ("256.0.0f0", 0), ("1.16.0f0", 0), ("1.5.0x0", 0), ("1.5.0f16384", 0), ("1.5", 0), ("", 0),
])
def test_versions_pack_as_the_library_packs_them(text, packed):
    assert parse_version(text) == packed


def test_phases_order_d_a_b_f():
    assert [parse_version(f"1.0.0{p}0") for p in "dabf"] == sorted(parse_version(f"1.0.0{p}0") for p in "dabf")


def test_sections_are_the_ones_kestrelctl_inspects(firmware_files, kestrelctl):
    for name in ("all", "quoted"):
        inspected = json.loads(run([kestrelctl, "--json", "firmware", "inspect", firmware_files[name]]).stdout)
        sections = read_sections(firmware_files[name].read_bytes())
        assert [(s.offset, s.target, s.version, s.byte_count) for s in sections] == [
            (s["offset"], s["target"], s["version"], s["byteCount"]) for s in inspected["sections"]]
        assert [s.offset for s in install_order(sections)] == inspected["installOrder"]


def test_any_bytes_read_without_an_exception(firmware_files):
    """A smoke run over mutated files: the reader never raises and never reads past the text."""
    seed = firmware_files["quoted"].read_bytes()[:600]
    pieces = [b"HeaderVersion::", b"\r\n", b"\r\n\r\n", b'"', b"\0", b"Version::", b"TargetDevice::", b"0x",
              b"ByteCount::-", b"ByteCount::99999999999999999999999", b"\xff\xfe"]
    generator = random.Random(22)
    for _ in range(3000):
        data = bytearray(seed)
        for _ in range(generator.randint(1, 6)):
            at = generator.randrange(len(data) + 1)
            if generator.random() < 0.5:
                data[at:at] = generator.choice(pieces)
            else:
                del data[at:at + generator.randint(1, 40)]
        for section in read_sections(bytes(data)):
            assert 0 <= section.offset < len(data) and 0 <= section.byte_count <= 0xFFFFFFFF


def test_numbers_read_as_strtoul_reads_them():
    header = (b"HeaderVersion::1\r\nUpdateType::FWUpdate\r\nVersion::1.0.0f0\r\nTargetDevice::BIOS\r\n"
              b"CRC::0\r\nByteCount::%s\r\n\r\n")
    for text, value in ((b"0x10", 16), (b" 12abc", 12), (b"-1", 0xFFFFFFFF), (b"0x", 0), (b"4294967297", 1),
                        (b"99999999999999999999999", 0xFFFFFFFF), (b"0xzz", 0)):
        assert read_sections(header % text)[0].byte_count == value, text

