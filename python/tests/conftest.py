"""pytest setup for the kestrel package's tests.

CTest runs this folder once per simulated profile, each time under
``kestrel-sim --profile PROFILE``, and once without any controller
(``--sim-profile=none``). A test names the profiles it belongs to with
``@pytest.mark.profile(...)``; unmarked tests belong to "default". The
paths of the build's programs come from the environment CTest sets.
"""
from __future__ import annotations

import os
import pathlib
import subprocess
import sys
from typing import Dict, List, Optional

import pytest


def pytest_addoption(parser: pytest.Parser) -> None:
    parser.addoption("--sim-profile", default="default",
                     help="the kestrel-sim profile this run is under ('none': no controller)")


def pytest_configure(config: pytest.Config) -> None:
    config.addinivalue_line("markers", "profile(*names): the simulated profiles the test runs under")


def pytest_collection_modifyitems(config: pytest.Config, items: List[pytest.Item]) -> None:
    profile = config.getoption("--sim-profile")
    selected, deselected = [], []
    for item in items:
        marker = item.get_closest_marker("profile")
        names = marker.args if marker is not None else ("default",)
        (selected if profile in names else deselected).append(item)
    if deselected:
        config.hook.pytest_deselected(items=deselected)
    items[:] = selected


def _path(variable: str) -> pathlib.Path:
    value = os.environ.get(variable)
    if not value:
        pytest.skip(f"{variable} is not set: run the tests through ctest")
    return pathlib.Path(value)


@pytest.fixture(scope="session")
def kestrelctl() -> pathlib.Path:
    return _path("KESTREL_TEST_KESTRELCTL")


@pytest.fixture(scope="session")
def kestrel_sim() -> pathlib.Path:
    return _path("KESTREL_TEST_SIM")


@pytest.fixture(scope="session")
def source_dir() -> pathlib.Path:
    return _path("KESTREL_TEST_SOURCE_DIR")


@pytest.fixture(scope="session")
def build_dir() -> pathlib.Path:
    return _path("KESTREL_TEST_BUILD_DIR")


@pytest.fixture(scope="session")
def profiles(source_dir: pathlib.Path) -> pathlib.Path:
    return source_dir / "sim" / "profiles"


def run(command: List[str], env: Optional[Dict[str, str]] = None, timeout: float = 60,
        cwd: Optional[pathlib.Path] = None) -> subprocess.CompletedProcess:
    """A program to its end, its output captured as bytes.

    kestrel-sim gets no LD_PRELOAD of ours: it preloads what its program needs itself, sanitizer runtimes
    first, and it would put a runtime that is already preloaded behind its simulator library."""
    if pathlib.Path(str(command[0])).name == "kestrel-sim":
        env = {key: value for key, value in (os.environ if env is None else env).items() if key != "LD_PRELOAD"}
    return subprocess.run([str(part) for part in command], capture_output=True, env=env, timeout=timeout, cwd=cwd)


def python_command(*arguments: str) -> List[str]:
    """This interpreter with the package the tests import."""
    return [sys.executable, *arguments]


@pytest.fixture
def controller():
    import kestrel
    with kestrel.Controller() as ctl:
        yield ctl


@pytest.fixture
def watchdog():
    import kestrel
    with kestrel.Watchdog() as wd:
        yield wd


@pytest.fixture(scope="session")
def firmware_files(tmp_path_factory, kestrelctl) -> Dict[str, pathlib.Path]:
    """Update files packed by kestrelctl: 'bios' (BIOS 1.5.0f0), 'all' (BIOS 1.5.0f0, SAFEMODE 1.1.0f0,
    BIOS 1.3.0f0, MARTEN 1.3.0f0), and 'quoted' (the BIOS file with quoted values, keys in another order
    and text before its section)."""
    folder = tmp_path_factory.mktemp("firmware")
    image = folder / "image.bin"
    image.write_bytes(bytes(range(256)) * 256)
    packed = {}
    for name, target, version in (("bios", "BIOS", "1.5.0f0"), ("safemode", "SAFEMODE", "1.1.0f0"),
                                  ("old", "BIOS", "1.3.0f0"), ("marten", "MARTEN", "1.3.0f0")):
        packed[name] = folder / f"{name}.fw"
        made = run([kestrelctl, "firmware", "pack", "--target", target, "--version", version, image,
                    "-o", packed[name]])
        assert made.returncode == 0, made.stderr
    files = {"bios": packed["bios"], "all": folder / "all.fw", "quoted": folder / "quoted.fw"}
    files["all"].write_bytes(b"".join(packed[n].read_bytes() for n in ("bios", "safemode", "old", "marten")))
    bios = packed["bios"].read_bytes()
    header, payload = bios.split(b"\r\n\r\n", 1)
    lines = header.split(b"\r\n")
    lines = [lines[0]] + [line.replace(b"::", b'::"', 1) + b'"' if line.startswith(b"TargetDevice") else line
                          for line in reversed(lines[1:])]
    files["quoted"].write_bytes(b"notes before the first section\n" + b"\r\n".join(lines) + b"\r\n\r\n" + payload)
    return files
