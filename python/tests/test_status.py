"""The generated status table and header numbers against what the C compiler
makes of the headers, and codes mapped to exceptions and warnings."""
import os
import pathlib
import re
import subprocess
import warnings

import pytest

import kestrel
from kestrel import _header, errors

pytestmark = pytest.mark.profile("none")

C_PROGRAM = r"""
#include <stdio.h>
#include <kestrel/kestrel_status.h>
#define ROW(code, name, meaning) printf("row\t%s\t%d\t%s\t%s\n", #code, (int)(code), name, meaning);
#define VALUE(name) printf("define\t%s\t%llu\n", #name, (unsigned long long)(name));
int main(void) {
  KESTREL_STATUS_TABLE(ROW)
@BODY@
  return 0;
}
"""


def compiler_output(source_dir: pathlib.Path, tmp_path: pathlib.Path, body: str) -> str:
    cc = os.environ.get("KESTREL_TEST_CC") or "cc"
    source = tmp_path / "dump.c"
    source.write_text(C_PROGRAM.replace("@BODY@", body))
    program = tmp_path / "dump"
    include = source_dir / "include"
    compiled = subprocess.run([cc, "-std=c11", "-I", str(include), str(source), "-o", str(program)],
                              capture_output=True, text=True)
    assert compiled.returncode == 0, compiled.stderr
    # The sanitizers' runtime is no part of this program: it must not inherit a preload.
    env = {key: value for key, value in os.environ.items() if key != "LD_PRELOAD"}
    return subprocess.run([str(program)], capture_output=True, text=True, check=True, env=env).stdout


def header_macros(source_dir: pathlib.Path) -> dict:
    """Every object-like macro kestrel.h defines, with its body, as the preprocessor lists them."""
    cc = os.environ.get("KESTREL_TEST_CC") or "cc"
    header = source_dir / "include" / "kestrel" / "kestrel.h"
    listed = subprocess.run([cc, "-dM", "-E", "-x", "c", str(header)], capture_output=True, text=True, check=True)
    builtin = subprocess.run([cc, "-dM", "-E", "-x", "c", "/dev/null"], capture_output=True, text=True, check=True)
    builtins = set(builtin.stdout.splitlines())
    own = set(re.findall(r"^#define\s+(\w+)", header.read_text(), re.MULTILINE))  # not those of stdint.h
    macros = {}
    for line in listed.stdout.splitlines():
        match = re.match(r"#define (\w+) (.*)", line)
        if line not in builtins and match and match.group(1) in own:
            macros[match.group(1)] = match.group(2)
    return macros


def test_generated_module_holds_what_the_compiler_makes_of_the_headers(source_dir, tmp_path):
    names = [name for name in vars(_header) if re.match(r"^(KESTREL_|k[A-Z])", name)
             and isinstance(getattr(_header, name), int) and name != "KESTREL_STATUS_SUCCESS"]
    output = compiler_output(source_dir, tmp_path, "\n".join(f"  VALUE({name})" for name in names))
    rows = [tuple(line.split("\t")[1:]) for line in output.splitlines() if line.startswith("row\t")]
    values = {line.split("\t")[1]: int(line.split("\t")[2]) for line in output.splitlines()
              if line.startswith("define\t")}

    assert [(symbol, str(code), name, meaning) for symbol, code, name, meaning in _header.STATUS_ROWS] == rows
    for symbol, code, _, _ in _header.STATUS_ROWS:
        assert getattr(_header, symbol) == code
    assert {name: getattr(_header, name) & 0xFFFFFFFFFFFFFFFF for name in names} == values

    # Every numeric macro of the header made it into the module.
    numeric = {name for name, body in header_macros(source_dir).items()
               if re.fullmatch(r"\(*(\(\w+\))?\s*(0x[0-9A-Fa-f]+|\d+)u?\)*", body)}
    assert "KESTREL_WATCHDOG_NOTIFY_ENDED" in numeric and numeric - set(names) == set()


def test_status_lookups_answer_as_the_header_does():
    assert kestrel.status_name(-52031) == "brioerr_busy"
    assert kestrel.status_meaning(-52031) == "device or resource busy (EBUSY)"
    assert kestrel.status_name(-1) == "unknown status" and kestrel.status_meaning(-1) == ""
    assert kestrel.describe(-1) == "status -1 (a code of the device or its driver)"
    assert kestrel.StatusCode.quillerr_reservationConflict == -89137
    assert kestrel.StatusCode(240050).name == "smbioserr_stringNotPresent"


@pytest.mark.parametrize("code, family", [
    (-26931, kestrel.SessionEndedError),
    (-26932, kestrel.NotFoundError), (-52006, kestrel.NotFoundError), (-240052, kestrel.NotFoundError),
    (-26934, kestrel.NotSupportedError), (-52002, kestrel.NotSupportedError), (-50003, kestrel.NotSupportedError),
    (-52005, kestrel.InvalidParameterError), (-26935, kestrel.InvalidParameterError),
    (-26938, kestrel.InvalidImageError), (-26941, kestrel.InvalidImageError),
    (-52031, kestrel.BusyError), (-52011, kestrel.BusyError), (-89137, kestrel.ReservationConflictError),
    (-52024, kestrel.KestrelError), (-123456, kestrel.KestrelError),
])
def test_negative_codes_raise_their_family(code, family):
    with pytest.raises(family) as raised:
        errors.check(code, "do something", {"tarn_debug": "what the adaptor says"})
    error = raised.value
    assert type(error) is family
    assert (error.code, error.name, error.meaning) == (code, kestrel.status_name(code), kestrel.status_meaning(code))
    assert error.report == {"tarn_debug": "what the adaptor says"}
    assert str(error).startswith(f"do something: {kestrel.describe(code)}")
    assert "what the adaptor says" in str(error)


def test_positive_codes_warn_at_the_callers_line_and_zero_is_silent():
    with warnings.catch_warnings(record=True) as seen:
        warnings.simplefilter("always")
        assert errors.check(0, "quiet") == 0
        assert errors.check(240050, "read a text") == 240050; line = __import__("inspect").currentframe().f_lineno
    assert len(seen) == 1
    warning = seen[0]
    assert issubclass(warning.category, kestrel.KestrelWarning)
    assert (warning.message.code, warning.message.name) == (240050, "smbioserr_stringNotPresent")
    assert warning.filename == __file__ and warning.lineno == line


def test_warnings_can_be_made_errors():
    with warnings.catch_warnings():
        warnings.simplefilter("error", kestrel.KestrelWarning)
        with pytest.raises(kestrel.KestrelWarning):
            errors.check(5, "warned")
