"""``python3 -m kestrel info``: what ``kestrelctl info`` prints, from Python.

The text and JSON output are kestrelctl's byte for byte (a test compares
them): texts from the firmware are escaped the same way, tables keep their
columns the same way, JSON has the same keys in the same order and the same
layouts (compact, or indented with --json=pretty). Failures follow
kestrelctl's conventions too: a message on standard error, one JSON document
under --json, exit status 1 for a failed operation and 2 for a usage error.
"""
from __future__ import annotations

import os
import sys
import warnings
from dataclasses import dataclass
from typing import Any, Dict, List, Optional, Sequence, TextIO, Tuple

from . import _header as h
from ._library import LibraryNotFoundError, glob_paths, libc
from ._text import json_text, printable, table_lines
from .errors import KestrelError
from .info import InfoField, InfoReport, report_json
from .status import status_meaning, status_name

PROGRAM = "python3 -m kestrel"
PREFIX = "kestrel"
SUCCESS, FAILURE, USAGE = 0, 1, 2

# The JSON layouts --json=LAYOUT names; True for the indented one.
_LAYOUTS = {"short": False, "pretty": True}


@dataclass(frozen=True)
class _Option:
    names: Tuple[str, ...]
    shown: str  # as the usage writes it
    description: str


# The command line, for the parser, the help text and the JSON help alike.
OPTIONS = (
    _Option(("--json",), "--json[=pretty]",
            "print one JSON document for scripts, also for errors; compact, or indented with --json=pretty"),
    _Option(("--no-headings",), "--no-headings", "leave out the heading lines of tables"),
    _Option(("--version",), "--version", "print the package's version and the C interface's"),
    _Option(("-h", "--help"), "-h, --help", "show this help"),
)
COMMANDS = (
    ("info", "board identity, processor, memory modules, companion chip, trigger router: what 'kestrelctl info' "
             "prints"),
)
USAGE_LINE = f"{PROGRAM} [--json[=pretty]] [--no-headings] [--version] info"
FOOTER = f"""Exit status: 0 success, 1 the operation failed, 2 usage error.
Without a controller, run it under the simulated one:
  kestrel-sim -- {PROGRAM} info"""


def usage_text() -> str:
    width = max(len(option.shown) for option in OPTIONS)
    lines = [f"usage: {USAGE_LINE}", "", "Commands:"]
    lines += [f"  {name:<{width}}  {description}" for name, description in COMMANDS]
    lines += ["", "Options:"]
    lines += [f"  {option.shown:<{width}}  {option.description}" for option in OPTIONS]
    return "\n".join(lines) + "\n\n" + FOOTER + "\n"


def _option_json(option: _Option) -> Dict[str, Any]:
    return {"description": option.description, "names": list(option.names), "repeatable": False,
            "required": False, "value": None}


def help_json() -> Dict[str, Any]:
    """The help as a document, shaped as ``kestrelctl --json help`` shapes its own."""
    commands = [{"arguments": [], "command": f"{PROGRAM} {name}", "commands": [], "description": description,
                 "footer": "", "options": [], "usage": f"{PROGRAM} {name}"} for name, description in COMMANDS]
    return {"arguments": [], "command": PROGRAM, "commands": commands,
            "description": f"{PROGRAM}: the controller's identity, as 'kestrelctl info' prints it",
            "footer": FOOTER, "options": [_option_json(option) for option in OPTIONS], "usage": USAGE_LINE}


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


# The kernel driver publishes its device interfaces here.
_INTERFACE_PATH_FILES = b"/proc/driver/ze/*/deviceInterfaces/*/interfacePath"


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


@dataclass(frozen=True)
class Problem:
    """A failure as kestrelctl reports it: on standard error, and as the error document under --json."""

    name: str
    meaning: str
    message: str
    code: Optional[int] = None
    operation: Optional[str] = None
    hint: str = ""

    @classmethod
    def of_status(cls, operation: str, code: int) -> "Problem":
        name = status_name(code)
        meaning = status_meaning(code) or "a code of the device or its driver"
        return cls(name, meaning, f"{operation}: {name} ({code}): {meaning}", code, operation, hint(code))

    @classmethod
    def usage(cls, message: str, advice: str = "") -> "Problem":
        return cls("usage", "the command is not valid; it was refused before anything changed", message, hint=advice)

    @classmethod
    def failure(cls, operation: str, message: str, advice: str = "") -> "Problem":
        return cls("failure", "the operation failed", message, operation=operation, hint=advice)

    def document(self) -> Dict[str, Any]:
        return {"error": {"code": self.code, "name": self.name, "meaning": self.meaning, "operation": self.operation,
                          "message": self.message, "hint": self.hint or None}}


def _write(stream: TextIO, text: str) -> None:
    """UTF-8 whatever the locale, as kestrelctl writes; a stream without bytes beneath takes the text."""
    raw = getattr(stream, "buffer", None)
    if raw is None:
        stream.write(text)
        return
    stream.flush()
    raw.write(text.encode("utf-8"))


class _Output:
    def __init__(self, stdout: TextIO, stderr: TextIO) -> None:
        self.stdout, self.stderr = stdout, stderr
        self.json = False
        self.pretty = False
        self.headings = True

    def document(self, document: Any) -> None:
        _write(self.stdout, json_text(document, self.pretty))

    def report(self, problem: Problem, status: int) -> int:
        text = f"{PREFIX}: {printable(problem.message.encode())}\n"
        if problem.hint:
            text += f"  {printable(problem.hint.encode())}\n"
        _write(self.stderr, text)
        if self.json:
            self.document(problem.document())
        return status


def _run_info(output: _Output) -> int:
    from .controller import Controller
    try:
        controller = Controller().open()
    except KestrelError as error:
        return output.report(Problem.of_status("open the controller", error.code), FAILURE)
    try:
        with warnings.catch_warnings(record=True) as seen:
            warnings.simplefilter("always")
            report = controller.info().report
    finally:
        controller.close()
    for warning in seen:
        _write(output.stderr, f"{PREFIX}: warning: {printable(str(warning.message).encode())}\n")
    if output.json:
        output.document(report_json(report))
    else:
        _write(output.stdout, report_text(report, output.headings))
    return SUCCESS


def _version() -> str:
    from . import __version__
    return (f"kestrel {__version__} (C interface {h.KESTREL_VERSION_MAJOR}.{h.KESTREL_VERSION_MINOR}."
            f"{h.KESTREL_VERSION_PATCH})")


def _print_version(output: _Output) -> int:
    from . import __version__
    if output.json:
        output.document({"program": PROGRAM, "version": __version__, "interfaceVersion":
                         f"{h.KESTREL_VERSION_MAJOR}.{h.KESTREL_VERSION_MINOR}.{h.KESTREL_VERSION_PATCH}"})
    else:
        _write(output.stdout, _version() + "\n")
    return SUCCESS


def _json_layout(words: Sequence[str], output: _Output) -> Optional[str]:
    """Takes --json[=LAYOUT] from anywhere on the line; the layout that is not one, if any."""
    wrong = None
    for word in words:
        if word == "--json" or word.startswith("--json="):
            output.json = True
            layout = word.partition("=")[2] or "short"
            if layout in _LAYOUTS:
                output.pretty = _LAYOUTS[layout]
            elif wrong is None:
                wrong = layout
    return wrong


def _command_line_problem(commands: List[str], unknown: List[str]) -> Optional[Problem]:
    advice = f"'{PROGRAM} --help' shows the usage."
    if unknown:
        return Problem.usage(f"'{unknown[0]}' is not an option of '{PROGRAM}'", advice)
    if not commands:
        return Problem.usage("a command is required", advice)
    if commands[0] != "info":
        return Problem.usage(f"'{commands[0]}' is not a command of '{PROGRAM}'", advice)
    if len(commands) > 1:
        return Problem.usage(f"unexpected argument '{commands[1]}' for '{PROGRAM} info'", advice)
    return None


def _run(words: List[str], output: _Output) -> int:
    wrong_layout = _json_layout(words, output)
    if wrong_layout is not None:
        return output.report(Problem.usage(f"--json={wrong_layout} is not a layout: give --json (compact) or "
                                           "--json=pretty"), USAGE)
    flags = {name for option in OPTIONS for name in option.names}
    options = {word for word in words if word in flags or word.startswith("--json=")}
    output.headings = "--no-headings" not in options
    if options & {"--help", "-h"}:
        if output.json:
            output.document(help_json())
        else:
            _write(output.stdout, usage_text())
        return SUCCESS
    if "--version" in options:
        return _print_version(output)
    rest = [word for word in words if word not in options]
    unknown = [word for word in rest if word.startswith("-") and word != "-"]
    problem = _command_line_problem([word for word in rest if word not in unknown], unknown)
    if problem is not None:
        return output.report(problem, USAGE)
    return _run_info(output)


def main(arguments: Optional[Sequence[str]] = None, stdout: TextIO = sys.stdout, stderr: TextIO = sys.stderr) -> int:
    words = list(sys.argv[1:] if arguments is None else arguments)
    output = _Output(stdout, stderr)
    try:
        status = _run(words, output)
        stdout.flush()
    except LibraryNotFoundError as error:
        return output.report(Problem.failure("load the library", str(error)), FAILURE)
    except OSError as error:
        # Output that cannot be written (a full disk, a closed pipe) is a failure.
        _write(stderr, f"{PREFIX}: cannot write the output: {error.strerror or error}\n")
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
