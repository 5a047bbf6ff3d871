"""The controller's identity, read field by field as ``kestrelctl info`` reads it.

A value that cannot be read does not stop the report: it is None in the
dataclass, and its reason (a KestrelError) sits in the section's
``unavailable`` mapping under the field's name.
"""
from __future__ import annotations

from dataclasses import dataclass, field, replace
from typing import Any, Dict, List, Mapping, Optional, Tuple

from . import _header as h
from ._session import read_text, read_u32
from .decoding import MemorySize, decode_memory_size, memory_type_name
from .errors import KestrelError, error_for, warn
from .status import status_meaning, status_name

_COMPANION_PRESENT = 0x200000
#: What the companion chip's record of the BIOS version reads once a firmware update cleared it.
CLEARED_RECORD = "0.0.0f0"
_MAX_MODULES = 256


@dataclass(frozen=True)
class InfoField:
    """One line of the report: a value, or the code that kept it from being read."""

    key: str      # its name in kestrelctl's JSON
    label: str    # its label in kestrelctl's text
    attr: str     # its name in the dataclass
    code: int
    text: bytes   # the value as text output shows it (before escaping)
    value: Any    # the value; None when it could not be read

    @property
    def ok(self) -> bool:
        return self.code >= 0


def _warn(code: int, label: str) -> None:
    warn(code, f"get {label}")


def _text(handle: int, key: str, label: str, attr: str, attribute: int) -> InfoField:
    code, value = read_text(handle, attribute)
    _warn(code, label)
    return InfoField(key, label, attr, code, value, value if code >= 0 else None)


def _number(handle: int, key: str, label: str, attr: str, attribute: int, unit: str = "") -> InfoField:
    code, value = read_u32(handle, attribute)
    _warn(code, label)
    return InfoField(key, label, attr, code, f"{value}{unit}".encode(), value if code >= 0 else None)


def _memory_size(handle: int, module: int) -> InfoField:
    code, word = read_u32(handle, h.KESTREL_ATTR_MEMORY_SIZE + module)
    _warn(code, "size")
    if code < 0:
        return InfoField("sizeMiB", "size", "size", code, b"", None)
    size = decode_memory_size(word)
    return InfoField("sizeMiB", "size", "size", code, size.text.encode(), size)


def _memory_type(handle: int, module: int) -> InfoField:
    code, value = read_u32(handle, h.KESTREL_ATTR_MEMORY_TYPE + module)
    _warn(code, "type")
    shown = memory_type_name(value) or str(value)
    return InfoField("type", "type", "type", code, shown.encode(), value if code >= 0 else None)


def _decoded(value: Any) -> Any:
    return value.decode("utf-8", "replace") if isinstance(value, bytes) else value


def _section_values(fields: List[InfoField]) -> Dict[str, Any]:
    """The dataclass arguments of a section: values, and reasons under 'unavailable'."""
    values: Dict[str, Any] = {f.attr: _decoded(f.value) for f in fields}
    values["unavailable"] = {f.attr: error_for(f.code, f"get {f.label}") for f in fields if not f.ok}
    return values


@dataclass(frozen=True)
class Board:
    """The board's identity, from SMBIOS.

    bios_version  the BIOS version in SMBIOS, as the BIOS reported it at its
                  last start (attribute smbios-bios-version); a firmware
                  update changes it only from the next start
    """

    manufacturer: Optional[str]
    product: Optional[str]
    serial_number: Optional[str]
    system_version: Optional[str]
    model: Optional[int]
    model_name: Optional[str]
    bios_version: Optional[str]
    unavailable: Mapping[str, KestrelError] = field(default_factory=dict)


@dataclass(frozen=True)
class Companion:
    """The companion chip; both versions are None on a board without it.

    firmware_version     the companion chip's own firmware version
                         (attribute companion-firmware-version)
    bios_version_record  the companion chip's record of the BIOS version
                         (attribute bios-version on a board with the chip);
                         a firmware update clears it to '0.0.0f0', while
                         Board.bios_version keeps the version of the BIOS's
                         last start
    """

    present: bool
    firmware_version: Optional[str] = None
    bios_version_record: Optional[str] = None
    unavailable: Mapping[str, KestrelError] = field(default_factory=dict)

    @property
    def bios_version_record_cleared(self) -> bool:
        """True when a firmware update cleared the record (it reads '0.0.0f0')."""
        return self.bios_version_record == CLEARED_RECORD


@dataclass(frozen=True)
class Processor:
    manufacturer: Optional[str]
    version: Optional[str]
    max_speed_mhz: Optional[int]
    threads: Optional[int]
    unavailable: Mapping[str, KestrelError] = field(default_factory=dict)


@dataclass(frozen=True)
class MemoryModule:
    index: int                    # among the populated modules
    locator: Optional[str]        # the slot, e.g. 'DIMM0'
    manufacturer: Optional[str]
    part_number: Optional[str]
    serial_number: Optional[str]
    size: Optional[MemorySize]
    speed_mts: Optional[int]
    type: Optional[int]           # SMBIOS memory type number
    unavailable: Mapping[str, KestrelError] = field(default_factory=dict)

    @property
    def type_name(self) -> Optional[str]:
        """'DDR4', or the number as text when the table does not name it."""
        if self.type is None:
            return None
        return memory_type_name(self.type) or str(self.type)


@dataclass(frozen=True)
class InfoReport:
    """The report's fields by section, in kestrelctl's order."""

    board: List[InfoField]
    companion: List[InfoField]
    processor: List[InfoField]
    modules: List[List[InfoField]]
    router: InfoField


@dataclass(frozen=True)
class ControllerInfo:
    board: Board
    companion: Companion
    processor: Processor
    memory_modules: Tuple[MemoryModule, ...]
    trigger_router_path: Optional[str]
    unavailable: Mapping[str, KestrelError] = field(default_factory=dict)
    report: InfoReport = field(repr=False, compare=False, default=None)  # type: ignore[assignment]

    def to_dict(self) -> Dict[str, Any]:
        """The document ``kestrelctl --json info`` prints."""
        return report_json(self.report)


def _board(handle: int) -> List[InfoField]:
    return [
        _text(handle, "manufacturer", "manufacturer", "manufacturer", h.KESTREL_ATTR_SYSTEM_MANUFACTURER),
        _text(handle, "product", "product", "product", h.KESTREL_ATTR_PRODUCT_NAME),
        _text(handle, "serialNumber", "serial number", "serial_number", h.KESTREL_ATTR_SERIAL_NUMBER),
        _text(handle, "systemVersion", "system version", "system_version", h.KESTREL_ATTR_SYSTEM_VERSION),
        _number(handle, "model", "model", "model", h.KESTREL_ATTR_CONTROLLER_MODEL),
        _text(handle, "modelName", "model name", "model_name", h.KESTREL_ATTR_CONTROLLER_MODEL_NAME),
        _text(handle, "biosVersion", "BIOS version (SMBIOS)", "bios_version",
              h.KESTREL_ATTR_BIOS_VERSION | h.KESTREL_ATTR_SOURCE_SMBIOS),
    ]


def _bios_version_record(handle: int) -> InfoField:
    """The companion chip's record of the BIOS version; the text says when an update cleared it."""
    record = _text(handle, "biosVersionRecord", "BIOS version record", "bios_version_record",
                   h.KESTREL_ATTR_BIOS_VERSION)
    if record.ok and record.text == CLEARED_RECORD.encode():
        record = replace(record, text=record.text + b" (cleared by a firmware update)")
    return record


def _companion(handle: int) -> List[InfoField]:
    code, interfaces = read_u32(handle, h.KESTREL_ATTR_INTERFACES_PRESENT)
    present = code >= 0 and interfaces & _COMPANION_PRESENT != 0
    fields = [InfoField("present", "present", "present", 0, b"yes" if present else b"no", present)]
    if present:
        fields.append(_text(handle, "firmwareVersion", "firmware version", "firmware_version",
                            h.KESTREL_ATTR_BIOS_VERSION | h.KESTREL_ATTR_SOURCE_COMPANION))
        fields.append(_bios_version_record(handle))
    return fields


def _processor(handle: int) -> List[InfoField]:
    return [
        _text(handle, "manufacturer", "manufacturer", "manufacturer", h.KESTREL_ATTR_PROCESSOR_MANUFACTURER),
        _text(handle, "version", "version", "version", h.KESTREL_ATTR_PROCESSOR_VERSION),
        _number(handle, "maxSpeed", "maximum speed", "max_speed_mhz", h.KESTREL_ATTR_PROCESSOR_MAX_SPEED, " MHz"),
        _number(handle, "threads", "threads", "threads", h.KESTREL_ATTR_PROCESSOR_THREAD_COUNT),
    ]


def _module(handle: int, i: int) -> List[InfoField]:
    return [
        _text(handle, "locator", "slot", "locator", h.KESTREL_ATTR_MEMORY_LOCATOR + i),
        _text(handle, "manufacturer", "manufacturer", "manufacturer", h.KESTREL_ATTR_MEMORY_MANUFACTURER + i),
        _text(handle, "partNumber", "part number", "part_number", h.KESTREL_ATTR_MEMORY_PART_NUMBER + i),
        _text(handle, "serialNumber", "serial number", "serial_number", h.KESTREL_ATTR_MEMORY_SERIAL_NUMBER + i),
        _memory_size(handle, i),
        _number(handle, "speed", "speed", "speed_mts", h.KESTREL_ATTR_MEMORY_SPEED + i, " MT/s"),
        _memory_type(handle, i),
    ]


def read_report(handle: int) -> Tuple[InfoReport, Optional[KestrelError]]:
    """Every field of the report, and why the module count could not be read (if so)."""
    board, companion, processor = _board(handle), _companion(handle), _processor(handle)
    code, count = read_u32(handle, h.KESTREL_ATTR_MEMORY_MODULE_COUNT)
    modules = [_module(handle, i) for i in range(min(count, _MAX_MODULES) if code >= 0 else 0)]
    router = _text(handle, "triggerRouterPath", "trigger router", "trigger_router_path", h.kTriggerRouterPathAttribute)
    count_error = error_for(code, "get memory-module-count") if code < 0 else None
    return InfoReport(board, companion, processor, modules, router), count_error


def read_info(handle: int) -> ControllerInfo:
    report, count_error = read_report(handle)
    modules = tuple(MemoryModule(index=i, **_section_values(fields)) for i, fields in enumerate(report.modules))
    unavailable: Dict[str, KestrelError] = {}
    if not report.router.ok:
        unavailable["trigger_router_path"] = error_for(report.router.code, "get trigger-router-path")
    if count_error is not None:
        unavailable["memory_modules"] = count_error
    return ControllerInfo(
        board=Board(**_section_values(report.board)),
        companion=Companion(**_section_values(report.companion)),
        processor=Processor(**_section_values(report.processor)),
        memory_modules=modules,
        trigger_router_path=_decoded(report.router.value),
        unavailable=unavailable,
        report=report,
    )


def _json_value(f: InfoField) -> Any:
    if isinstance(f.value, MemorySize):
        return f.value.mib
    if f.key == "type" and f.value is not None:
        return memory_type_name(f.value) or str(f.value)
    return _decoded(f.value)


def _reason(code: int) -> str:
    return f"{status_name(code)}: {status_meaning(code)}"


def section_json(fields: List[InfoField]) -> Dict[str, Any]:
    """The values by key; a value that could not be read is null, its reason under 'unavailable'."""
    document: Dict[str, Any] = {f.key: _json_value(f) for f in fields}
    unavailable = {f.key: _reason(f.code) for f in fields if not f.ok}
    if unavailable:
        document["unavailable"] = unavailable
    return document


def report_json(report: InfoReport) -> Dict[str, Any]:
    return {
        "board": section_json(report.board),
        "companion": section_json(report.companion),
        "processor": section_json(report.processor),
        "memoryModules": [section_json(module) for module in report.modules],
        "triggerRouterPath": _json_value(report.router),
    }

