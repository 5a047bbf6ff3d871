"""kestrel: the PXI chassis controller from Python, over libkestrel.so.1.

    import kestrel

    with kestrel.Controller() as ctl:
        print(ctl["serial-number"], ctl.info().board.product)

    with kestrel.Watchdog() as wd:
        wd.start(timeout=5000)
        with wd.keepalive(1.0):
            run_the_sequence()
        wd.stop()

    with kestrel.routing.RoutingSession() as router:
        router.calculate_route(["PXI_Trig0"], ["PXI_Trig3"]).program()

The package loads libkestrel.so.1 by its SONAME; the environment variable
KESTREL_LIBRARY names another file to load instead (a build tree's). Every C
call's status is checked: negative codes raise KestrelError (a subclass per
family), positive ones warn with KestrelWarning. Calls release the GIL; the
thread-safety contract is the C headers' (see each class).

Without a controller, run the program under the simulated one:
``kestrel-sim -- python3 my_sequence.py``.
"""
from . import _header, routing
from ._library import LIBRARY_VARIABLE, SONAME, LibraryNotFoundError, library_path
from .attributes import CATALOG, Attribute, IndexKind, Target, ValueType, find_attribute
from .controller import Controller
from .decoding import MemorySize, decode_memory_size, memory_type_name, value_name
from .errors import (BusyError, InvalidImageError, InvalidParameterError, KestrelError, KestrelWarning,
                     NotFoundError, NotSupportedError, ReservationConflictError, SessionEndedError)
from .firmware import FirmwareVersions, ImageOutcome, Section, parse_version, read_sections
from .info import Board, Companion, ControllerInfo, MemoryModule, Processor
from .status import StatusCode, StatusInfo, describe, status_info, status_meaning, status_name
from .watchdog import ExpiryAction, Keepalive, Notification, Watchdog, WatchdogState

__version__: str = _header.PACKAGE_VERSION

__all__ = [
    "Controller", "Watchdog", "Keepalive", "routing",
    "KestrelError", "KestrelWarning", "NotFoundError", "NotSupportedError", "InvalidParameterError",
    "InvalidImageError", "BusyError", "ReservationConflictError", "SessionEndedError", "LibraryNotFoundError",
    "ExpiryAction", "WatchdogState", "Notification",
    "ControllerInfo", "Board", "Companion", "Processor", "MemoryModule", "MemorySize",
    "FirmwareVersions", "ImageOutcome", "Section", "parse_version", "read_sections",
    "Attribute", "IndexKind", "Target", "ValueType", "CATALOG", "find_attribute",
    "decode_memory_size", "memory_type_name", "value_name",
    "StatusCode", "StatusInfo", "status_info", "status_name", "status_meaning", "describe",
    "SONAME", "LIBRARY_VARIABLE", "library_path",
]
