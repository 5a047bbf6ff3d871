"""``python3 -m kestrel info``: what ``kestrelctl info`` prints, from Python.

The text and JSON output are kestrelctl's byte for byte (a test compares
them): texts from the firmware are escaped the same way, tables keep their
columns the same way, JSON has the same keys in the same order.
"""
from __future__ import annotations

import json
import os
import sys
import warnings
from typing import Any, List, Optional, Sequence, TextIO

from . import _header as h
from ._library import LibraryNotFoundError, glob_paths, libc
from .errors import KestrelError
from .info import InfoField, InfoReport, report_json
from .status import describe, status_meaning, status_name

PROGRAM = "python3 -m kestrel"
PREFIX = "kestrel"
SUCCESS, FAILURE, USAGE = 0, 1, 2

USAGE_TEXT = f"""usage: {PROGRAM} [--json] [--no-headings] info

  info           board identity, processor, memory modules, companion chip,
                 trigger router: what 'kestrelctl info' prints
  --json         print JSON for scripts, also for errors
  --no-headings  leave out the heading lines of tables
  --version      the package's and the C interface's version

Exit status: 0 success, 1 the operation failed, 2 usage error.
Without a controller, run it under the simulated one:
  kestrel-sim -- {PROGRAM} info
"""

# The kernel driver publishes its device interfaces here.
_INTERFACE_PATH_FILES = b"/proc/driver/ze/*/deviceInterfaces/*/interfacePath"


def _utf8_sequence_length(data: bytes, at: int) -> int:
    """Length of the well-formed UTF-8 sequence at `at`, 0 when there is none."""
    lead = data[at]
    if 0xC2 <= lead <= 0xDF:
        length, least = 2, 0x80
    elif 0xE0 <= lead <= 0xEF:
        length, least = 3, 0x800
    elif 0xF0 <= lead <= 0xF4:
        length, least = 4, 0x10000
    else:
        return 0
    if len(data) - at < length:
        return 0
    code_point = lead & (0x7F >> length)
    for byte in data[at + 1:at + length]:
        if byte & 0xC0 != 0x80:
            return 0
        code_point = (code_point << 6) | (byte & 0x3F)
    if code_point < least or code_point > 0x10FFFF or 0xD800 <= code_point <= 0xDFFF:
        return 0
    return length


def printable(data: bytes) -> str:
    """A text as a terminal may show it: control bytes, DEL and bytes that are not UTF-8 as \\xNN, \\ as \\\\."""
    out: List[str] = []
    at = 0
    while at < len(data):
        byte = data[at]
        length = 1
        if byte == 0x5C:
            out.append("\\\\")
        elif byte < 0x20 or byte == 0x7F:
            out.append(f"\\x{byte:02x}")
        elif byte < 0x80:
            out.append(chr(byte))
        else:
            length = _utf8_sequence_length(data, at)
            if length:
                out.append(data[at:at + length].decode("utf-8"))
            else:
                length = 1
                out.append(f"\\x{byte:02x}")
        at += length
    return "".join(out)


def table_lines(headings: Sequence[str], rows: Sequence[Sequence[str]], show_headings: bool, indent: int) -> List[str]:
    """Columns aligned whatever the values' lengths, no line ending in spaces."""
    widths = [len(heading) if show_headings else 0 for heading in headings]
    for row in rows:
        widths = [max(width, len(cell)) for width, cell in zip(widths, row)]
    lines = []
    for cells in ([list(headings)] if show_headings else []) + [list(row) for row in rows]:
        line = " " * indent
        for i, cell in enumerate(cells):
            line += cell
            if i + 1 < len(cells):
                line += " " * (widths[i] - len(cell) + 2)
        lines.append(line.rstrip(" "))
    return lines


def _shown(f: InfoField) -> str:
    return printable(f.text) if f.ok else f"n/a ({status_name(f.code)})"


def _section(title: str, fields: List[InfoField]) -> List[str]:
    return [title] + table_lines(["", ""], [[f.label, _shown(f)] for f in fields], False, 2)


def report_text(report: InfoReport, headings: bool = True) -> str:
    """The text ``kestrelctl info`` prints."""
    lines = _section("Controller", report.board) + _section("Companion chip", report.companion)
    lines += _section("Processor", report.processor)
    lines.append(f"Memory modules ({len(report.modules)} populated)")
    if report.modules:
        columns = ["#"] + [f.label for f in report.modules[0]]
        rows = [[str(i)] + [_shown(f) for f in module] for i, module in enumerate(report.modules)]
        lines += table_lines(columns, rows, headings, 2)
    lines += _section("Trigger routing", [report.router])
    return "\n".join(lines) + "\n"


def json_text(document: Any, pretty: bool) -> str:
    if pretty:
        return json.dumps(document, indent=2, sort_keys=True, ensure_ascii=False) + "\n"
    return json.dumps(document, separators=(",", ":"), sort_keys=True, ensure_ascii=False) + "\n"


def _device_nodes() -> List[bytes]:
    nodes = []
    for path in glob_paths(_INTERFACE_PATH_FILES):
        try:
            with open(path, "rb") as file:
                node = file.readline().rstrip(b"\n")
        except OSError:
            continue
        if node:
            nodes.append(node)
    return nodes


def hint(code: int) -> str:
    """What to do about a failure; true to what this machine has."""
    if code == h.kestrelerr_deviceNotAvailable:
        if _device_nodes():
            return ("The driver's device interfaces exist, but the board is not a controller this library supports, "
                    "or a needed interface (or the companion chip) is missing; 'kestrelctl info' shows what the "
                    "board offers.")
        return ("No device interface of the controller's driver exists: is the kernel driver loaded? Without "
                f"hardware, run the command under the simulated controller: kestrel-sim -- {PROGRAM} info")
    if code == h.brioerr_permissionDenied:
        denied = [node for node in _device_nodes() if libc().access(node, os.R_OK | os.W_OK) != 0]
        if not denied:
            return "The driver refused the request for lack of permission; try again as root."
        return (f"Reading and writing {', '.join(os.fsdecode(n) for n in denied)} needs permission: run as root, or "
                "ask for access to the device's group.")
    return ""


class _Output:
    def __init__(self, json_output: bool, stdout: TextIO, stderr: TextIO) -> None:
        self.json = json_output
        self.stdout, self.stderr = stdout, stderr

    def failure(self, operation: str, code: int) -> int:
        advice = hint(code)
        message = f"{operation}: {describe(code)}"
        self.stderr.write(f"{PREFIX}: {printable(message.encode())}\n")
        if advice:
            self.stderr.write(f"  {advice}\n")
        if self.json:
            self.stdout.write(json_text({"error": {"code": code, "name": status_name(code),
                                                   "meaning": status_meaning(code), "operation": operation,
                                                   "message": message, "hint": advice or None}}, False))
        return FAILURE

    def usage_error(self, message: str) -> int:
        self.stderr.write(f"{PREFIX}: {message}\n")
        if self.json:
            self.stdout.write(json_text({"error": {"code": None, "name": "usage", "message": message}}, False))
        return USAGE


def _run_info(output: _Output, headings: bool) -> int:
    from .controller import Controller
    try:
        controller = Controller().open()
    except KestrelError as error:
        return output.failure("open the controller", error.code)
    try:
        with warnings.catch_warnings(record=True) as seen:
            warnings.simplefilter("always")
            report = controller.info().report
    finally:
        controller.close()
    for warning in seen:
        output.stderr.write(f"{PREFIX}: warning: {warning.message}\n")
    if output.json:
        output.stdout.write(json_text(report_json(report), True))
    else:
        output.stdout.write(report_text(report, headings))
    return SUCCESS


def _version() -> str:
    from . import __version__
    return (f"kestrel {__version__} (C interface {h.KESTREL_VERSION_MAJOR}.{h.KESTREL_VERSION_MINOR}."
            f"{h.KESTREL_VERSION_PATCH})")


def main(arguments: Optional[Sequence[str]] = None, stdout: TextIO = sys.stdout, stderr: TextIO = sys.stderr) -> int:
    words = list(sys.argv[1:] if arguments is None else arguments)
    flags = {"--json", "--no-headings", "--help", "-h", "--version"}
    options = {word for word in words if word in flags}
    commands = [word for word in words if word not in flags]
    output = _Output("--json" in options, stdout, stderr)
    if options & {"--help", "-h"}:
        stdout.write(USAGE_TEXT)
        return SUCCESS
    if "--version" in options:
        stdout.write(json_text({"version": _version()}, False) if output.json else _version() + "\n")
        return SUCCESS
    if commands != ["info"]:
        unknown = [word for word in commands if word != "info"]
        if unknown:
            what = f"unknown command or option '{unknown[0]}'"
        else:
            what = "a command is required" if not commands else "'info' takes no arguments"
        return output.usage_error(f"{what}; '{PROGRAM} --help' shows the usage")
    try:
        status = _run_info(output, "--no-headings" not in options)
        stdout.flush()
    except LibraryNotFoundError as error:
        stderr.write(f"{PREFIX}: {error}\n")
        if output.json:
            stdout.write(json_text({"error": {"code": None, "name": "library", "message": str(error)}}, False))
        return FAILURE
    except OSError as error:
        # Output that cannot be written (a full disk, a closed pipe) is a failure.
        stderr.write(f"{PREFIX}: cannot write the output: {error.strerror or error}\n")
        _drop_output(stdout)
        return FAILURE
    return status


def _drop_output(stdout: TextIO) -> None:
    """Nothing more can reach the reader: keep Python from trying again at exit."""
    try:
        devnull = os.open(os.devnull, os.O_WRONLY)
        os.dup2(devnull, stdout.fileno())
        os.close(devnull)
    except (OSError, ValueError):
        pass


def run() -> None:
    sys.exit(main())
