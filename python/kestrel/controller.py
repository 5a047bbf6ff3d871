"""The controller: its attributes, identity, self test and firmware updates."""
from __future__ import annotations

import os
from typing import TYPE_CHECKING, List, Optional, Tuple, Union

from . import _header as h
from ._library import kestrel
from ._session import HandleSession, read_text
from .attributes import Attribute, AttributeKey, Target, ValueType, attribute_id, find_attribute
from .errors import check

if TYPE_CHECKING:
    from .firmware import FirmwareVersions, ImageOutcome
    from .info import ControllerInfo

Value = Union[int, str]
Key = Union[AttributeKey, Tuple[AttributeKey, int]]


class Controller(HandleSession):
    """A session of the controller, used as a context manager::

        with kestrel.Controller() as ctl:
            print(ctl["serial-number"], ctl["memory-size", 1])
            ctl["user-text"] = "rack 4, slot 2"

    Attributes go by the names of ``kestrelctl list`` or by id; U32
    attributes are ints, text attributes str (bytes that are not UTF-8 read
    as U+FFFD; get_bytes() gives them as they are). Read-only attributes are
    refused with ValueError before anything reaches the library.

    Thread safety, as the library's: every method may be called from any
    thread at any time, calls run concurrently and release the GIL; a close
    while another thread is inside a call is safe (the call then fails with
    SessionEndedError or completes). After a fork the child has no session
    of its parent: open a new Controller there.
    """

    _KIND = "controller"
    _OPEN_NAME = "KESTREL_openController"

    @staticmethod
    def _native_close(handle: int) -> None:
        kestrel().KESTREL_closeController(handle)

    def get(self, attribute: AttributeKey, index: Optional[int] = None) -> Value:
        """The value of an attribute by name, id or Attribute; `index` for indexed ones."""
        found, full_id, operation = self._resolve(attribute, index, write=False)
        if found.type is ValueType.TEXT:
            return self._read_bytes(full_id, operation).decode("utf-8", "replace")
        return self._get_u32(full_id, operation)

    def get_bytes(self, attribute: AttributeKey, index: Optional[int] = None) -> bytes:
        """A text attribute's bytes as the controller holds them."""
        found, full_id, operation = self._resolve(attribute, index, write=False)
        if found.type is not ValueType.TEXT:
            raise TypeError(f"{operation}: {found.name or hex(found.id)} is a U32 attribute; use get()")
        return self._read_bytes(full_id, operation)

    def set(self, attribute: AttributeKey, value: Union[int, str, bytes], index: Optional[int] = None) -> None:
        """Writes an attribute: an int for U32 attributes, a str or bytes for texts.

        Texts are at most 255 bytes (the library refuses longer ones with
        InvalidParameterError) and hold no NUL byte (refused with ValueError)."""
        found, full_id, operation = self._resolve(attribute, index, write=True)
        if found.type is ValueType.U32:
            self._set_u32(full_id, value, operation)  # type: ignore[arg-type]
            return
        self._write_text(full_id, value, operation)

    def __getitem__(self, key: Key) -> Value:
        attribute, index = _split_key(key)
        return self.get(attribute, index)

    def __setitem__(self, key: Key, value: Union[int, str, bytes]) -> None:
        attribute, index = _split_key(key)
        self.set(attribute, value, index)

    def info(self) -> "ControllerInfo":
        """The board, companion chip, processor, memory modules and trigger-router path.

        Values that cannot be read are None, with the reason in the section's
        ``unavailable`` mapping; nothing here raises for a single value."""
        from .info import read_info
        return read_info(self._require_handle("read the controller's identity"))

    def self_test(self) -> None:
        """Runs the controller's self test; raises when it fails."""
        self._call("KESTREL_performSelfTest", "run the self test")

    def firmware_versions(self) -> "FirmwareVersions":
        """The installed BIOS, companion and safe-mode versions, and whether the board allows updates."""
        from .firmware import read_versions
        return read_versions(self._require_handle("read the installed firmware versions"))

    def update_firmware(self, image: Union[str, "os.PathLike[str]", bytes],
                        force: bool = False) -> List["ImageOutcome"]:
        """Installs a firmware update file (a path, or the file's bytes).

        force=False installs only images newer than the installed ones,
        force=True every image. Returns each image of the file in install
        order with what happened to it (installed, or skipped and why). A file
        without any firmware section raises InvalidImageError before anything
        reaches the controller; a file the library refuses raises
        InvalidImageError too, and then nothing of it is installed."""
        from .firmware import update_firmware
        return update_firmware(self._require_handle("update the firmware"), image, force)

    @staticmethod
    def trigger_router_path() -> str:
        """The device path of the trigger router; needs no open session."""
        code, value = read_text(h.kControllerHandle, h.kTriggerRouterPathAttribute)
        check(code, "find the trigger router")
        return os.fsdecode(value)

    def _resolve(self, key: AttributeKey, index: Optional[int], write: bool) -> Tuple[Attribute, int, str]:
        attribute = find_attribute(key, Target.CONTROLLER)
        label = attribute.name or f"{attribute.id:#010x}"
        operation = f"{'set' if write else 'get'} {label}"
        if attribute.target is Target.WATCHDOG:
            raise ValueError(f"{label} is the watchdog's: use kestrel.Watchdog() (opening the watchdog here "
                             "would stop its timer at the close)")
        if write and not attribute.writable:
            raise ValueError(f"{label} is read-only; kestrel.attributes.CATALOG marks the writable attributes")
        if not write and not attribute.readable:
            raise ValueError(f"{label} can only be written; {attribute.description}")
        return attribute, attribute_id(key, attribute, index), operation

    def _read_bytes(self, attribute: int, operation: str) -> bytes:
        code, value = read_text(self._require_handle(operation), attribute)
        check(code, operation)
        return value

    def _write_text(self, attribute: int, value: Union[int, str, bytes], operation: str) -> None:
        if isinstance(value, str):
            try:
                value = value.encode("utf-8")
            except UnicodeEncodeError:
                raise ValueError(f"{operation}: {value!r} is not valid UTF-8 text; give bytes to write bytes as they "
                                 "are") from None
        if not isinstance(value, bytes):
            raise TypeError(f"{operation}: a text attribute takes str or bytes, not {type(value).__name__}")
        if b"\0" in value:
            raise ValueError(f"{operation}: the text holds a NUL byte, which would cut it short")
        handle = self._require_handle(operation)
        check(kestrel().KESTREL_setAttributeUTF8(handle, attribute, value), operation)


def _split_key(key: Key) -> Tuple[AttributeKey, Optional[int]]:
    if isinstance(key, tuple):
        if len(key) != 2:
            raise KeyError(f"an attribute key is NAME, ID or (NAME, INDEX), not {key!r}")
        return key[0], key[1]
    return key, None
