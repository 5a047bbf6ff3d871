"""Firmware updates: the update file's sections, the installed versions, and
what an update does with each image.

The library installs the file; this module reads the file's section headers
the way the library reads them (key lines "Key::value" CR LF up to an empty
line, a section at each "HeaderVersion::") to tell the caller which image
was installed and which was skipped by the library's rules.
"""
from __future__ import annotations

import ctypes
import os
import stat
from dataclasses import dataclass
from typing import List, Optional, Tuple, Union

from . import _header as h
from ._library import kestrel, libc
from ._session import read_text, read_u32
from .errors import InvalidImageError, check

#: Files above this size are refused before they are read: the driver takes
#: images of at most 256 MiB, and Base64 makes a file a third larger.
MAX_FILE_BYTES = 512 * 1024 * 1024

SAFE_MODE_VERSION_TOOL = b"/usr/local/zecorp/bin/zesafemodeversion"
_COMPANION_PRESENT = 0x200000

_SECTION_KEY = b"HeaderVersion::"
_VERSION_KEY = b"\nVersion::"  # the line feed keeps "HeaderVersion::" from matching
_TARGET_KEY = b"TargetDevice::"
_BYTE_COUNT_KEY = b"ByteCount::"
_LINE_END = b"\r\n"
_HEADER_END = b"\r\n\r\n"
TARGETS = ("BIOS", "MARTEN", "SAFEMODE")


# --- versions -----------------------------------------------------------------

_FIELDS = ((255, 24), (15, 20), (15, 16))  # major, minor, update: (limit, shift)
_PHASES = "dabf"


def _read_number(text: str, at: int, limit: int) -> Tuple[Optional[int], int]:
    end = at
    while end < len(text) and "0" <= text[end] <= "9":
        end += 1
    digits = text[at:end]
    if not digits or (digits[0] == "0" and len(digits) > 1) or int(digits) > limit:
        return None, at
    return int(digits), end


def parse_version(text: str) -> int:
    """A version text such as '1.4.0f2' packed so that packed values compare as versions do; 0 when malformed.

    major 0-255, minor and update 0-15, a phase d < a < b < f, build 0-16383;
    no leading zeros; text after the build number is ignored."""
    packed, at = 0, 0
    for number, (limit, shift) in enumerate(_FIELDS):
        value, at = _read_number(text, at, limit)
        if value is None:
            return 0
        packed |= value << shift
        separator = "." if number < 2 else None
        if separator is not None:
            if not text.startswith(separator, at):
                return 0
            at += 1
    if at >= len(text) or text[at] not in _PHASES:
        return 0
    packed |= _PHASES.index(text[at]) << 14
    build, _ = _read_number(text, at + 1, 16383)
    return 0 if build is None else packed | build


# --- update files ---------------------------------------------------------------

@dataclass(frozen=True)
class Section:
    """One image of an update file, as its header describes it."""

    offset: int
    target: str
    version: str
    byte_count: int


def _number_value(value: bytes) -> int:
    """strtoul's reading (space, a sign, digits to the first that does not belong, saturation), cut to 32 bits."""
    base = 16 if value[:2] == b"0x" else 10
    text = value.decode("latin-1")
    at = 0
    while at < len(text) and text[at] in " \t\n\v\f\r":
        at += 1
    negative = False
    if at < len(text) and text[at] in "+-":
        negative, at = text[at] == "-", at + 1
    hexadecimal = "0123456789abcdefABCDEF"
    if base == 16 and text[at:at + 2].lower() == "0x" and at + 2 < len(text) and text[at + 2] in hexadecimal:
        at += 2
    digits = "0123456789abcdefghijklmnopqrstuvwxyz"[:base]
    end = at
    while end < len(text) and text[end].lower() in digits:
        end += 1
    result = int(text[at:end], base) if end > at else 0
    if result >= 1 << 64:
        return 0xFFFFFFFF
    return ((1 << 64) - result if negative and result else result) & 0xFFFFFFFF


class _FileText:
    """The file up to its first NUL, with the sections' places."""

    def __init__(self, data: bytes) -> None:
        nul = data.find(b"\0")
        self.text = data if nul < 0 else data[:nul]
        self.last_quote = self.text.rfind(b'"')
        self.second_last_quote = self.text.rfind(b'"', 0, self.last_quote) if self.last_quote >= 0 else -1

    def sections(self) -> List[int]:
        starts, at = [], self.text.find(_SECTION_KEY)
        while at >= 0:
            starts.append(at)
            at = self.text.find(_SECTION_KEY, at + 1)
        return starts

    def find_key(self, start: int, header_end: int, key: bytes) -> int:
        """The first `key` from the section's start, looked for in its header first."""
        if header_end < 0:
            return self.text.find(key, start)
        limit = min(len(self.text), header_end + len(_HEADER_END) + len(key) - 1)
        found = self.text.find(key, start, limit)
        return found if found >= 0 else self.text.find(key, max(limit - len(key) + 1, 0))

    def value(self, start: int, header_end: int, key: bytes) -> Optional[Tuple[int, int]]:
        at = self.find_key(start, header_end, key)
        if at < 0:
            return None
        value_start = at + len(key)
        line_end = self.text.find(_LINE_END, value_start)
        return value_start, len(self.text) if line_end < 0 else line_end

    def string(self, start: int, header_end: int, key: bytes) -> Optional[str]:
        """A string value, without its double quotes when it is written in them."""
        place = self.value(start, header_end, key)
        if place is None or place[0] == place[1]:
            return None
        value = self.text[place[0]:place[1]]
        if len(value) >= 2 and value[:1] == b'"' and value[-1:] == b'"' and value.count(b'"') == 2:
            value = value[1:-1]
        return value.decode("utf-8", "replace")


def read_sections(data: bytes) -> List[Section]:
    """The sections of an update file whose header names a target, in file order."""
    text = _FileText(data)
    sections = []
    for start in text.sections():
        header_end = text.text.find(_HEADER_END, start)
        target = text.string(start, header_end, _TARGET_KEY)
        version = text.string(start, header_end, _VERSION_KEY) or ""
        count = text.value(start, header_end, _BYTE_COUNT_KEY)
        byte_count = _number_value(text.text[count[0]:count[1]]) if count else 0
        sections.append(Section(start, target or "", version, byte_count))
    return sections


def install_order(sections: List[Section]) -> List[Section]:
    """BIOS images first, the later one before the earlier, then the rest in file order."""
    bios = [section for section in sections if section.target == "BIOS"]
    return list(reversed(bios)) + [section for section in sections if section.target != "BIOS"]


# --- installed versions and outcomes -------------------------------------------

@dataclass(frozen=True)
class FirmwareVersions:
    """What is installed, read through the library and the safe-mode version tool, as
    ``kestrelctl firmware status`` shows it. A value that cannot be read is None.

    bios_version                   the BIOS version in SMBIOS, as the BIOS reported it at its last start
    companion_present              whether the board has the companion chip
    companion_firmware_version     the companion chip's own firmware version; None without the chip
    companion_bios_version_record  the companion chip's record of the BIOS version ('0.0.0f0' once a
                                   firmware update cleared it); None without the chip
    safe_mode_version              None when the system has no safe-mode tools
    update_allowed                 None when the board does not say
    """

    bios_version: Optional[str]
    companion_present: bool
    companion_firmware_version: Optional[str]
    companion_bios_version_record: Optional[str]
    safe_mode_version: Optional[str]
    update_allowed: Optional[bool]


@dataclass(frozen=True)
class ImageOutcome:
    """What an update did with one image of the file."""

    target: str
    version: str
    byte_count: int
    installed: bool
    reason: str  # 'installed', or why the image was skipped


def _safe_mode_version() -> Optional[str]:
    """The first line the version tool prints; None when the system has no such tool."""
    if not os.path.exists(SAFE_MODE_VERSION_TOOL):
        return None
    c = libc()
    # Through the C library's popen, as the library runs the tool.
    stream = c.popen(SAFE_MODE_VERSION_TOOL, b"r")
    if not stream:
        return ""
    line = ctypes.create_string_buffer(256)
    got = c.fgets(line, len(line), stream)
    c.pclose(stream)
    return (line.value if got else b"").rstrip(b"\r\n").decode("utf-8", "replace")


def _version_text(handle: int, attribute: int) -> Optional[str]:
    code, value = read_text(handle, attribute)
    return value.decode("utf-8", "replace") if code >= 0 else None


def read_versions(handle: int) -> FirmwareVersions:
    interfaces_code, interfaces = read_u32(handle, h.KESTREL_ATTR_INTERFACES_PRESENT)
    present = interfaces_code >= 0 and interfaces & _COMPANION_PRESENT != 0
    gate_code, gate = read_u32(handle, h.KESTREL_ATTR_FEATURE_ENABLED)
    return FirmwareVersions(
        bios_version=_version_text(handle, h.KESTREL_ATTR_BIOS_VERSION | h.KESTREL_ATTR_SOURCE_SMBIOS),
        companion_present=present,
        companion_firmware_version=(_version_text(handle, h.KESTREL_ATTR_BIOS_VERSION | h.KESTREL_ATTR_SOURCE_COMPANION)
                                    if present else None),
        companion_bios_version_record=_version_text(handle, h.KESTREL_ATTR_BIOS_VERSION) if present else None,
        safe_mode_version=_safe_mode_version(),
        update_allowed=gate == 1 if gate_code >= 0 else None)


def outcomes(order: List[Section], installed: FirmwareVersions, force: bool) -> List[ImageOutcome]:
    """By the library's rules: with force every image goes; otherwise one image that is not newer holds
    back its whole target, and a safe-mode image that is not newer ends the safe-mode images."""
    def not_newer(section: Section, version: Optional[str]) -> bool:
        return parse_version(section.version) <= parse_version(version or "")

    bios, companion, safe_mode = (installed.bios_version, installed.companion_firmware_version,
                                  installed.safe_mode_version)
    bios_current = not force and any(s.target == "BIOS" and not_newer(s, bios) for s in order)
    companion_current = not force and any(s.target == "MARTEN" and not_newer(s, companion) for s in order)
    results, safe_mode_ended = [], False
    for s in order:
        if s.target == "BIOS":
            reason = f"skipped: a BIOS image is not newer than {bios}" if bios_current else "installed"
        elif s.target == "MARTEN":
            reason = f"skipped: a companion image is not newer than {companion}" if companion_current else "installed"
        elif safe_mode is None:
            reason = "skipped: this system has no safe-mode tools"
        elif safe_mode_ended or (not force and not_newer(s, safe_mode)):
            safe_mode_ended = True
            reason = f"skipped: not newer than {safe_mode}"
        else:
            reason = "installed"
        results.append(ImageOutcome(s.target, s.version, s.byte_count, reason == "installed", reason))
    return results


def read_update_file(path: Union[str, "os.PathLike[str]"]) -> bytes:
    """A regular file of at most MAX_FILE_BYTES; anything else is refused before it is read."""
    def checked(info: os.stat_result) -> None:
        if not stat.S_ISREG(info.st_mode):
            raise ValueError(f"{os.fsdecode(path)} is not a regular file; an update file is")
        if info.st_size > MAX_FILE_BYTES:
            raise ValueError(f"{os.fsdecode(path)} has {info.st_size} bytes; update files hold at most "
                             f"{MAX_FILE_BYTES} (the driver takes images of at most 256 MiB)")

    checked(os.stat(path))  # a FIFO would block the open itself
    with open(path, "rb") as file:
        checked(os.fstat(file.fileno()))
        data = file.read(MAX_FILE_BYTES + 1)
    if len(data) > MAX_FILE_BYTES:
        raise ValueError(f"{os.fsdecode(path)} grew beyond {MAX_FILE_BYTES} bytes while it was read")
    return data


def _nothing_to_install(data: bytes) -> str:
    """Why a file without sections installs nothing, in kestrelctl's words."""
    if not data:
        return "the file is empty: an update file holds at least one firmware section; nothing was sent"
    if data[0] == 0:
        return ("the file starts with a NUL byte, where an update file's text ends: it holds no firmware section; "
                "nothing was sent")
    return "the file holds no firmware section (no \"HeaderVersion::\" line); nothing was sent"


def update_firmware(handle: int, image: Union[str, "os.PathLike[str]", bytes], force: bool) -> List[ImageOutcome]:
    operation = "update the firmware"
    if isinstance(image, (bytearray, memoryview)):
        image = bytes(image)
    data = image if isinstance(image, bytes) else read_update_file(image)
    sections = read_sections(data)
    if not sections:
        raise InvalidImageError(h.kestrelerr_invalidImage, operation, detail=_nothing_to_install(data))
    installed = read_versions(handle)
    try:
        check(kestrel().KESTREL_updateFirmware2(handle, data, len(data), 1 if force else 0), operation)
    except InvalidImageError as error:
        # The library refuses a companion image on a board without the chip with the code it uses for
        # malformed images: say which it was.
        if (error.code != h.kestrelerr_invalidImage or installed.companion_present
                or not any(s.target == "MARTEN" for s in sections)):
            raise
        raise InvalidImageError(error.code, operation, detail=(
            "the file carries a MARTEN image, and this controller has no companion chip to take it; nothing was "
            "installed: pack the other images into a file of their own")) from None
    return outcomes(install_order(sections), installed, force)
