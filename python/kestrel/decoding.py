"""Values that need decoding, decoded as kestrelctl decodes them.

The memory size word as SMBIOS stores it, the names of memory types and of
the other enumerated attributes. The tables mirror kestrelctl's; a test runs
both over a board with every memory type and every kind of size word and
compares what they print.
"""
from __future__ import annotations

from dataclasses import dataclass
from typing import Dict, Optional

from . import _header as h

# Memory device types as SMBIOS numbers them.
MEMORY_TYPES: Dict[int, str] = {
    0x01: "Other", 0x02: "Unknown", 0x03: "DRAM", 0x04: "EDRAM", 0x05: "VRAM", 0x06: "SRAM", 0x07: "RAM",
    0x08: "ROM", 0x09: "Flash", 0x0A: "EEPROM", 0x0B: "FEPROM", 0x0C: "EPROM", 0x0D: "CDRAM", 0x0E: "3DRAM",
    0x0F: "SDRAM", 0x10: "SGRAM", 0x11: "RDRAM", 0x12: "DDR", 0x13: "DDR2", 0x14: "DDR2 FB-DIMM", 0x18: "DDR3",
    0x19: "FBD2", 0x1A: "DDR4", 0x1B: "LPDDR", 0x1C: "LPDDR2", 0x1D: "LPDDR3", 0x1E: "LPDDR4",
    0x1F: "Logical non-volatile device", 0x20: "HBM", 0x21: "HBM2", 0x22: "DDR5", 0x23: "LPDDR5", 0x24: "HBM3",
}
EXPANSION_INTERFACES: Dict[int, str] = {1: "ExpressCard", 2: "GPIB", 3: "Thunderbolt"}
BUS_TYPES: Dict[int, str] = {1: "PCI"}
WATCHDOG_STATES: Dict[int, str] = {
    h.KESTREL_WATCHDOG_STATE_STOPPED: "stopped", h.KESTREL_WATCHDOG_STATE_RUNNING: "running",
    h.KESTREL_WATCHDOG_STATE_EXPIRED: "expired"}
EXPIRY_ACTIONS: Dict[int, str] = {
    h.KESTREL_WATCHDOG_EXPIRY_NOTIFY: "notify", h.KESTREL_WATCHDOG_EXPIRY_RESET: "reset",
    h.KESTREL_WATCHDOG_EXPIRY_TRIGGER: "trigger"}

#: The names of enumerated attributes' values, by attribute name.
VALUE_NAMES: Dict[str, Dict[int, str]] = {
    "memory-type": MEMORY_TYPES,
    "expansion-interface": EXPANSION_INTERFACES,
    "bus-type": BUS_TYPES,
    "watchdog-state": WATCHDOG_STATES,
    "watchdog-expiry-action": EXPIRY_ACTIONS,
}

_NOT_INSTALLED = 0
_UNKNOWN = 0xFFFF
_USE_EXTENDED = 0x7FFF
_KILOBYTE_UNITS = 0x8000


@dataclass(frozen=True)
class MemorySize:
    """A module's size word, decoded.

    word       the 16-bit word as SMBIOS stores it
    installed  False for 0, an empty slot
    kib        the size in KiB; None when unknown (0xFFFF) or only in the extended size field (0x7FFF)
    text       '8 GB', '512 kB', 'No Module Installed', 'Unknown', '32 GB or more (extended size)'
    """

    word: int
    installed: bool
    kib: Optional[int]
    text: str

    @property
    def mib(self) -> Optional[float]:
        """The size in MiB (a float for sizes that are not whole MiB), None when unknown."""
        if self.kib is None:
            return None
        return self.kib // 1024 if self.kib % 1024 == 0 else self.kib / 1024

    def __str__(self) -> str:
        return self.text


def _size_text(kib: int) -> str:
    """The largest unit that divides the size, as tools that decode SMBIOS print it."""
    units = ("kB", "MB", "GB", "TB", "PB")
    unit = 0
    while unit + 1 < len(units) and kib != 0 and kib % 1024 == 0:
        kib //= 1024
        unit += 1
    return f"{kib} {units[unit]}"


def decode_memory_size(word: int) -> MemorySize:
    """The size word of a memory module: 0 empty, 0xFFFF unknown, bit 15 kB units, 0x7FFF extended."""
    word &= 0xFFFF
    if word == _NOT_INSTALLED:
        return MemorySize(word, False, None, "No Module Installed")
    if word == _UNKNOWN:
        return MemorySize(word, True, None, "Unknown")
    if word == _USE_EXTENDED:
        return MemorySize(word, True, None, "32 GB or more (extended size)")
    kib = word & 0x7FFF if word & _KILOBYTE_UNITS else word * 1024
    return MemorySize(word, True, kib, _size_text(kib))


def memory_type_name(value: int) -> str:
    """'DDR4' for 26; '' for a number the table does not name."""
    return MEMORY_TYPES.get(value, "")


def value_name(attribute_name: str, value: int) -> str:
    """The name of an enumerated attribute's value ('running'), or ''."""
    return VALUE_NAMES.get(attribute_name, {}).get(value, "")
