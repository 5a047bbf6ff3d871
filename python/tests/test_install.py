"""Where the package is installed, and where it loads the library from."""
import os
import sys

import pytest

from conftest import python_command, run

pytestmark = pytest.mark.profile("none")


def install(build_dir, prefix, destdir=None):
    env = dict(os.environ)
    if destdir is not None:
        env["DESTDIR"] = str(destdir)
    completed = run([os.environ.get("KESTREL_TEST_CMAKE", "cmake"), "--install", build_dir, "--component", "Python",
                     "--prefix", prefix], env=env)
    assert completed.returncode == 0, completed.stdout + completed.stderr


def test_installed_in_the_system_package_directory_of_the_prefix(build_dir, tmp_path):
    install(build_dir, tmp_path / "usr")
    package = tmp_path / "usr" / "lib" / "python3" / "dist-packages" / "kestrel"
    for part in ("__init__.py", "_header.py", "py.typed", "routing/_session.py"):
        assert (package / part).is_file(), part
    assert not list(package.rglob("__pycache__"))
    env = dict(os.environ, PYTHONPATH=str(package.parent))
    completed = run(python_command("-c", "import kestrel; print(kestrel.__file__)"), env=env, cwd=tmp_path)
    assert completed.stdout.decode().startswith(str(package))

    # /usr/local is read by Debian's Python from a directory named after its version.
    install(build_dir, "/usr/local", destdir=tmp_path / "staged")
    version = f"python{sys.version_info.major}.{sys.version_info.minor}"
    staged = tmp_path / "staged" / "usr" / "local" / "lib" / version / "dist-packages"
    assert (staged / "kestrel" / "_header.py").is_file()


def test_the_library_by_its_soname_or_the_file_the_variable_names(build_dir, kestrel_sim):
    by_soname = {key: value for key, value in os.environ.items() if key != "KESTREL_LIBRARY"}
    by_soname["LD_LIBRARY_PATH"] = str(build_dir)
    completed = run([kestrel_sim, "--", *python_command("-m", "kestrel", "info")], env=by_soname)
    assert completed.returncode == 0 and b"serial number          01C2F3A4" in completed.stdout

    missing = dict(os.environ, KESTREL_LIBRARY="/nonexistent/libkestrel.so.1")
    completed = run(python_command("-m", "kestrel", "--json", "info"), env=missing)
    assert completed.returncode == 1
    assert b"cannot load /nonexistent/libkestrel.so.1" in completed.stderr and b"KESTREL_LIBRARY" in completed.stderr
    # Without the library, the status table still answers.
    completed = run(python_command("-c", "import kestrel; print(kestrel.status_name(-52031))"), env=missing)
    assert completed.stdout == b"brioerr_busy\n"
