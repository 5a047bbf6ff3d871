"""The profiles that refuse or differ: no controller, refused boards, no
companion, a board that refuses updates, safe-mode tools, driver faults."""
import json
import time
import warnings

import pytest

import kestrel
from kestrel import Notification
from conftest import python_command, run


def error_document(completed):
    """The error object a failed --json info prints, without its hint (each tool advises its own command)."""
    document = json.loads(completed.stdout)
    document["error"].pop("hint")
    return document


@pytest.mark.profile("none", "modelRefused", "unsupportedVersion")
def test_no_usable_controller_fails_with_the_same_verdict_as_kestrelctl(kestrelctl):
    with pytest.raises(kestrel.NotFoundError) as refused:
        kestrel.Controller().open()
    assert refused.value.code == kestrel.StatusCode.kestrelerr_deviceNotAvailable
    ours, theirs = run(python_command("-m", "kestrel", "--json", "info")), run([kestrelctl, "--json", "info"])
    assert ours.returncode == theirs.returncode == 1
    assert error_document(ours) == error_document(theirs)
    assert ours.stderr.startswith(b"kestrel: open the controller: kestrelerr_deviceNotAvailable (-26932)")


@pytest.mark.profile("none")
def test_without_a_driver_every_session_says_so():
    for session in (kestrel.Watchdog(), kestrel.routing.RoutingSession()):
        with pytest.raises(kestrel.KestrelError):
            session.open()
    hint = run(python_command("-m", "kestrel", "info")).stderr.decode()
    assert "is the kernel driver loaded?" in hint and "kestrel-sim -- python3 -m kestrel info" in hint


@pytest.mark.profile("modelRefused")
def test_a_refused_board_still_has_its_watchdog():
    with kestrel.Watchdog() as wd:
        assert wd.state is kestrel.WatchdogState.STOPPED
    hint = run(python_command("-m", "kestrel", "info")).stderr.decode()
    assert "is not a controller this library supports" in hint


@pytest.mark.profile("noCompanion")
def test_without_the_companion(tmp_path, kestrelctl):
    with kestrel.Controller() as ctl:
        info = ctl.info()
        assert not info.companion.present
        assert info.companion.firmware_version is None and info.companion.bios_version_record is None
        versions = ctl.firmware_versions()
        assert not versions.companion_present and versions.companion_firmware_version is None
        assert versions.companion_bios_version_record is None
        # Without the chip, bios-version is SMBIOS's.
        assert ctl["bios-version"] == ctl["smbios-bios-version"] == versions.bios_version
        with pytest.raises(kestrel.NotFoundError):
            ctl["companion-firmware-version"]
        image = tmp_path / "image.bin"
        image.write_bytes(b"\x5a" * 100)
        update = tmp_path / "marten.fw"
        run([kestrelctl, "firmware", "pack", "--target", "MARTEN", "--version", "9.0.0f0", image, "-o", update])
        with pytest.raises(kestrel.InvalidImageError, match="no companion chip to take it"):
            ctl.update_firmware(update)


@pytest.mark.profile("updateLocked")
def test_a_board_that_refuses_updates(firmware_files):
    with kestrel.Controller() as ctl:
        assert ctl.firmware_versions().update_allowed is False
        with pytest.raises(kestrel.NotSupportedError) as refused:
            ctl.update_firmware(firmware_files["all"])
    assert refused.value.code == kestrel.StatusCode.kestrelerr_attributeNotSupported


@pytest.mark.profile("safeMode")
def test_update_outcomes_are_kestrelctls(firmware_files, kestrelctl):
    with kestrel.Controller() as ctl:
        assert ctl.firmware_versions().safe_mode_version == "1.0.0f0"
        for name, force in (("all", False), ("all", True), ("bios", False)):
            theirs = json.loads(run([kestrelctl, "--json", "firmware", "update", firmware_files[name]]
                                    + (["--force"] if force else [])).stdout)["images"]
            ours = ctl.update_firmware(firmware_files[name], force=force)
            assert [{"target": o.target, "version": o.version, "bytes": o.byte_count, "outcome": o.reason}
                    for o in ours] == theirs
            assert [o.installed for o in ours] == [t["outcome"] == "installed" for t in theirs]
        # The file's bytes do as well as its path.
        assert ctl.update_firmware(firmware_files["bios"].read_bytes())[0].reason == "installed"


@pytest.mark.profile("statusFaults")
def test_driver_warnings_warn_and_errno_failures_raise():
    with kestrel.Watchdog() as wd:
        with warnings.catch_warnings(record=True) as seen:
            warnings.simplefilter("always")
            wd.pet()  # the driver answers 5
        assert [w.message.code for w in seen] == [5] and seen[0].filename == __file__
        with pytest.raises(kestrel.KestrelError) as refused:
            wd.start()  # the request fails with EACCES
        assert refused.value.name == "brioerr_permissionDenied"
        wd.start(timeout=50)
        assert wd.wait(timeout=5) is Notification.EXPIRED


@pytest.mark.profile("statusFaults")
def test_a_cancel_the_driver_refuses_is_sent_again_and_the_wait_still_ends():
    with kestrel.Watchdog() as wd:
        started = time.monotonic()
        assert wd.wait(timeout=0.1) is None  # the first cancel fails with EIO
        assert time.monotonic() - started < 5
        wd.start(timeout=50)
        assert wd.wait(timeout=5) is Notification.EXPIRED
