"""The attributes kestrelctl knows by name: the controller's and the watchdog's.

One row per attribute, with the same names, ids, index kinds, access and
descriptions as ``kestrelctl list`` (a test holds the two together). Bits
31-28 of an id give the value type (1 text, 2 U32), bits 7-0 the index.
"""
from __future__ import annotations

import enum
from dataclasses import dataclass
from typing import Dict, Optional, Tuple, Union

from . import _header as h


class IndexKind(enum.Enum):
    """How the low eight bits of an attribute id are used."""

    NONE = None
    INSTANCE = "instance"  # the SMBIOS instance
    MODULE = "module"      # the n-th populated memory module
    ENTRY = "entry"        # an entry number


class ValueType(enum.Enum):
    U32 = "u32"
    TEXT = "text"


class Target(enum.Enum):
    """The session that answers the attribute."""

    CONTROLLER = "controller"
    WATCHDOG = "watchdog"


@dataclass(frozen=True)
class Attribute:
    name: str
    id: int
    index: IndexKind
    readable: bool
    writable: bool
    description: str
    target: Target = Target.CONTROLLER

    @property
    def type(self) -> ValueType:
        return ValueType.TEXT if self.id >> 28 == 1 else ValueType.U32


_N, _I, _M, _E = IndexKind.NONE, IndexKind.INSTANCE, IndexKind.MODULE, IndexKind.ENTRY
_R, _W, _RO = True, True, False
_WD = Target.WATCHDOG

CATALOG: Tuple[Attribute, ...] = (
    Attribute("controller-model", h.KESTREL_ATTR_CONTROLLER_MODEL, _N, _R, _RO, "controller model number (1-5)"),
    Attribute("board-id", h.KESTREL_ATTR_BOARD_ID, _I, _R, _RO, "board identifier word"),
    Attribute("board-revision", h.KESTREL_ATTR_BOARD_REVISION, _I, _R, _RO, "board revision byte"),
    Attribute("memory-type", h.KESTREL_ATTR_MEMORY_TYPE, _M, _R, _RO, "memory type of a populated module (26 DDR4)"),
    Attribute("memory-speed", h.KESTREL_ATTR_MEMORY_SPEED, _M, _R, _RO, "speed of a populated module (MT/s)"),
    Attribute("memory-configured-speed", h.KESTREL_ATTR_MEMORY_CONFIGURED_SPEED, _M, _R, _RO,
              "configured speed of a populated module (MT/s)"),
    Attribute("memory-module-count", h.KESTREL_ATTR_MEMORY_MODULE_COUNT, _N, _R, _RO,
              "number of populated memory modules"),
    Attribute("memory-size", h.KESTREL_ATTR_MEMORY_SIZE, _M, _R, _RO,
              "size word of a populated module as SMBIOS stores it ('info' decodes it)"),
    Attribute("processor-stepping", h.KESTREL_ATTR_PROCESSOR_STEPPING, _I, _R, _RO, "processor stepping"),
    Attribute("processor-max-speed", h.KESTREL_ATTR_PROCESSOR_MAX_SPEED, _I, _R, _RO, "maximum processor speed (MHz)"),
    Attribute("processor-thread-count", h.KESTREL_ATTR_PROCESSOR_THREAD_COUNT, _I, _R, _RO, "processor thread count"),
    Attribute("device-value-1", h.KESTREL_ATTR_DEVICE_VALUE_1, _N, _R, _RO, "value kept by the controller device"),
    Attribute("bus-width", h.KESTREL_ATTR_BUS_WIDTH, _I, _R, _RO, "bus width (16, 21, 32 or 48)"),
    Attribute("bus-info", h.KESTREL_ATTR_BUS_INFO, _I, _R, _RO, "bus information byte"),
    Attribute("feature-enabled", h.KESTREL_ATTR_FEATURE_ENABLED, _N, _R, _RO, "1 when the board enables the feature"),
    Attribute("slot-count", h.KESTREL_ATTR_SLOT_COUNT, _I, _R, _RO, "number of slot entries"),
    Attribute("slot-entry", h.KESTREL_ATTR_SLOT_ENTRY, _E, _R, _RO, "slot entry 0-3"),
    Attribute("expansion-interface", h.KESTREL_ATTR_EXPANSION_INTERFACE, _I, _R, _RO,
              "1 ExpressCard, 2 GPIB, 3 Thunderbolt"),
    Attribute("bus-type", h.KESTREL_ATTR_BUS_TYPE, _I, _R, _RO, "1 PCI"),
    Attribute("chassis-byte-0", h.KESTREL_ATTR_CHASSIS_BYTE_0, _I, _R, _RO, "chassis byte 0"),
    Attribute("chassis-byte-1", h.KESTREL_ATTR_CHASSIS_BYTE_1, _I, _R, _RO, "chassis byte 1"),
    Attribute("device-value-2", h.KESTREL_ATTR_DEVICE_VALUE_2, _N, _R, _RO, "value kept by the controller device"),
    Attribute("text-write-support", h.KESTREL_ATTR_TEXT_WRITE_SUPPORT, _I, _R, _RO, "text write support byte"),
    Attribute("device-value-3", h.KESTREL_ATTR_DEVICE_VALUE_3, _N, _R, _RO, "value kept by the controller device"),
    Attribute("interfaces-present", h.KESTREL_ATTR_INTERFACES_PRESENT, _N, _R, _RO,
              "0x100000 controller interface, +0x200000 companion interface"),
    Attribute("trigger-entry-count", h.KESTREL_ATTR_TRIGGER_ENTRY_COUNT, _I, _R, _RO, "number of trigger entries"),
    Attribute("info-version", h.KESTREL_ATTR_INFO_VERSION, _I, _R, _RO, "controller information version"),
    Attribute("system-manufacturer", h.KESTREL_ATTR_SYSTEM_MANUFACTURER, _I, _R, _RO, "system manufacturer"),
    Attribute("product-name", h.KESTREL_ATTR_PRODUCT_NAME, _I, _R, _RO, "product name"),
    Attribute("serial-number", h.KESTREL_ATTR_SERIAL_NUMBER, _I, _R, _RO, "system serial number"),
    Attribute("system-version", h.KESTREL_ATTR_SYSTEM_VERSION, _I, _R, _RO, "system version"),
    Attribute("bios-version", h.KESTREL_ATTR_BIOS_VERSION, _I, _R, _RO,
              "BIOS version record of the companion chip where the board has one (0.0.0f0 once a firmware update "
              "ran), else the BIOS version in SMBIOS"),
    Attribute("smbios-bios-version", h.KESTREL_ATTR_BIOS_VERSION | h.KESTREL_ATTR_SOURCE_SMBIOS, _I, _R, _RO,
              "BIOS version in SMBIOS, as the BIOS reported it at its start"),
    Attribute("companion-firmware-version", h.KESTREL_ATTR_BIOS_VERSION | h.KESTREL_ATTR_SOURCE_COMPANION, _N, _R,
              _RO, "firmware version of the companion chip"),
    Attribute("board-text", h.KESTREL_ATTR_BOARD_TEXT, _I, _R, _RO, "board text"),
    Attribute("board-text-1", h.KESTREL_ATTR_BOARD_TEXT_1, _I, _R, _RO, "board text 1"),
    Attribute("board-text-2", h.KESTREL_ATTR_BOARD_TEXT_2, _I, _R, _RO, "board text 2"),
    Attribute("memory-manufacturer", h.KESTREL_ATTR_MEMORY_MANUFACTURER, _M, _R, _RO, "manufacturer of a module"),
    Attribute("memory-part-number", h.KESTREL_ATTR_MEMORY_PART_NUMBER, _M, _R, _RO, "part number of a module"),
    Attribute("memory-serial-number", h.KESTREL_ATTR_MEMORY_SERIAL_NUMBER, _M, _R, _RO, "serial number of a module"),
    Attribute("memory-locator", h.KESTREL_ATTR_MEMORY_LOCATOR, _M, _R, _RO, "slot of a module"),
    Attribute("processor-manufacturer", h.KESTREL_ATTR_PROCESSOR_MANUFACTURER, _I, _R, _RO, "processor manufacturer"),
    Attribute("processor-version", h.KESTREL_ATTR_PROCESSOR_VERSION, _I, _R, _RO, "processor version"),
    Attribute("controller-model-name", h.KESTREL_ATTR_CONTROLLER_MODEL_NAME, _I, _R, _RO, "controller model name"),
    Attribute("slot-text", h.KESTREL_ATTR_SLOT_TEXT, _E, _R, _RO, "slot entry text 0-3"),
    Attribute("expansion-text", h.KESTREL_ATTR_EXPANSION_TEXT, _I, _R, _RO, "expansion interface text"),
    Attribute("expansion-text-2", h.KESTREL_ATTR_EXPANSION_TEXT_2, _I, _R, _RO, "expansion interface text 2"),
    Attribute("bus-text", h.KESTREL_ATTR_BUS_TEXT, _I, _R, _RO, "bus text"),
    Attribute("chassis-text", h.KESTREL_ATTR_CHASSIS_TEXT, _I, _R, _RO, "chassis text"),
    Attribute("trigger-text", h.KESTREL_ATTR_TRIGGER_TEXT, _E, _R, _RO, "trigger entry text 0-4"),
    Attribute("trigger-fields", h.KESTREL_ATTR_TRIGGER_FIELDS, _E, _R, _RO, "trigger entry fields 0-4"),
    Attribute("user-text", h.KESTREL_ATTR_USER_TEXT, _N, False, _W,
              "write only: a text for the controller and the companion chip (a read of this id gives the system "
              "manufacturer)"),
    Attribute("trigger-router-path", h.kTriggerRouterPathAttribute, _N, _R, _RO, "device path of the trigger router"),
    Attribute("watchdog-timeout", h.KESTREL_WATCHDOG_ATTR_TIMEOUT, _N, _R, _W,
              "milliseconds from a watchdog start or pet to the expiry (at least 1)", _WD),
    Attribute("watchdog-expiry-action", h.KESTREL_WATCHDOG_ATTR_EXPIRY_ACTION, _N, _R, _W,
              "what an expiry does: notify (0), reset the controller (1), fire the watchdog trigger (2)", _WD),
    Attribute("watchdog-state", h.KESTREL_WATCHDOG_ATTR_STATE, _N, _R, _RO, "0 stopped, 1 running, 2 expired", _WD),
    Attribute("watchdog-remaining", h.KESTREL_WATCHDOG_ATTR_REMAINING, _N, _R, _RO,
              "milliseconds left before a running watchdog timer expires", _WD),
)

#: Names of earlier releases, still accepted, with the names they stand for now.
FORMER_NAMES: Dict[str, str] = {
    "companion-bios-version": "companion-firmware-version",
}

_BY_NAME: Dict[str, Attribute] = {attribute.name: attribute for attribute in CATALOG}
_BY_NAME.update({former: _BY_NAME[current] for former, current in FORMER_NAMES.items()})

AttributeKey = Union[str, int, Attribute]


def find_attribute(key: AttributeKey, target: Target = Target.CONTROLLER) -> Attribute:
    """The attribute a name, an id or an Attribute stands for.

    A name of an earlier release (FORMER_NAMES) stands for the attribute it
    names now. An id outside the catalog stands for itself, readable and writable, with
    its index in its low eight bits. An unknown name raises KeyError."""
    if isinstance(key, Attribute):
        return key
    if isinstance(key, bool) or not isinstance(key, (str, int)):
        raise TypeError(f"an attribute is a name, an id or an Attribute, not {type(key).__name__}")
    if isinstance(key, str):
        found = _BY_NAME.get(key)
        if found is None:
            raise KeyError(f"no attribute is named {key!r}; kestrel.attributes.CATALOG lists them "
                           "(the names of 'kestrelctl list')")
        return found
    if not 0 <= key <= 0xFFFFFFFF:
        raise ValueError(f"an attribute id is a 32-bit number, not {key}")
    for attribute in CATALOG:
        if attribute.id == key and attribute.target is target:
            return attribute
    return Attribute("", key, IndexKind.NONE, True, True, "", target)


def attribute_id(key: AttributeKey, attribute: Attribute, index: Optional[int]) -> int:
    """The id to send: the base id plus the index, checked as kestrelctl checks it."""
    label = attribute.name or f"{attribute.id:#010x}"
    if index is None:
        return attribute.id
    if isinstance(index, bool) or not isinstance(index, int):
        raise TypeError(f"an index is an int, not {type(index).__name__}")
    if isinstance(key, int):
        raise ValueError(f"{key:#010x}: an index goes with an attribute name; an id carries its index in its "
                         "low 8 bits")
    if attribute.index is IndexKind.NONE:
        raise ValueError(f"{label} takes no index")
    if not 0 <= index <= 255:
        raise ValueError(f"{label}: an index is 0-255, not {index}")
    return attribute.id + index
