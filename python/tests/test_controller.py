"""Controller: attributes by name and id against the simulated default board,
refusals before the library, info(), the self test and sessions."""
import os

import pytest

import kestrel


def test_attributes_by_name_id_and_index_with_their_types(controller):
    assert controller["serial-number"] == "01C2F3A4"
    assert controller[kestrel.find_attribute("serial-number").id] == "01C2F3A4"
    assert controller.get("product-name") == "KC-8840 Embedded Controller"
    assert controller["controller-model"] == 1
    assert controller["memory-size", 1] == 8192 and controller.get("memory-locator", 1) == "DIMM2"
    # An id outside the catalog carries its index in its low eight bits.
    assert controller.get(0x1000CF01) == "DIMM2"
    assert controller.get_bytes("serial-number") == b"01C2F3A4"
    assert controller["smbios-bios-version"] == "1.4.0f2" and controller["companion-firmware-version"] == "1.2.0f3"


@pytest.mark.parametrize("call, error", [
    (lambda c: c.set("serial-number", "x"), "read-only"),
    (lambda c: c.set(0x10000200, "x"), "read-only"),
    (lambda c: c.get("user-text"), "can only be written"),
    (lambda c: c.get("watchdog-timeout"), "kestrel.Watchdog"),
    (lambda c: c.get("controller-model", 1), "takes no index"),
    (lambda c: c.get(0x1000CF00, 1), "low 8 bits"),
    (lambda c: c.get("memory-size", 256), "0-255"),
    (lambda c: c.set("user-text", "a\0b"), "NUL"),
    (lambda c: c.set("user-text", os.fsdecode(b"rack \xff")), "not valid UTF-8"),
    (lambda c: c.set(0x20099900, -1), "unsigned 32-bit"),
])
def test_refused_before_the_library_even_with_the_session_closed(call, error):
    # A closed session would answer SessionEndedError if anything reached the library.
    closed = kestrel.Controller()
    with pytest.raises(ValueError, match=error):
        call(closed)


def test_wrong_keys_and_types(controller):
    with pytest.raises(KeyError, match="kestrelctl list"):
        controller["no-such-attribute"]
    with pytest.raises(TypeError):
        controller.set("user-text", 5)
    with pytest.raises(TypeError):
        controller.set(0x20099900, "5")
    with pytest.raises(TypeError):
        controller.get_bytes("controller-model")


def test_library_refusals_raise_their_family(controller):
    with pytest.raises(kestrel.NotSupportedError) as raised:
        controller.get("memory-size", 7)
    assert raised.value.code == kestrel.StatusCode.kestrelerr_attributeNotSupported
    assert raised.value.operation == "get memory-size"
    with pytest.raises(kestrel.InvalidParameterError) as raised:
        controller["user-text"] = "x" * 256
    assert raised.value.code == kestrel.StatusCode.kestrelerr_stringTooLong
    controller["user-text"] = "rack 4, slot 2 \u00e9"
    controller.set("user-text", b"x" * 255)


def test_closed_and_never_opened_sessions_raise_session_ended():
    ctl = kestrel.Controller()
    with pytest.raises(kestrel.SessionEndedError, match="open it"):
        ctl["serial-number"]
    with ctl:
        assert ctl.is_open and ctl["controller-model"] == 1
    assert not ctl.is_open
    with pytest.raises(kestrel.SessionEndedError):
        ctl.self_test()
    ctl.close()  # a second close does nothing


def test_sessions_are_counted_as_the_library_counts_them():
    first, second = kestrel.Controller().open(), kestrel.Controller().open()
    first.close()
    assert second["controller-model"] == 1  # the library's session is still open
    second.close()


def test_info_dataclasses(controller):
    info = controller.info()
    assert info.board.serial_number == "01C2F3A4" and info.board.model == 1 and info.board.unavailable == {}
    assert info.board.bios_version == "1.4.0f2"
    assert info.companion.present and info.companion.firmware_version == "1.2.0f3"
    assert info.companion.bios_version_record == "1.4.0f2" and not info.companion.bios_version_record_cleared
    assert info.processor.max_speed_mhz == 3600 and info.processor.threads == 8
    assert [m.locator for m in info.memory_modules] == ["DIMM0", "DIMM2"]
    module = info.memory_modules[0]
    assert (module.size.text, module.size.mib, module.type, module.type_name) == ("8 GB", 8192, 26, "DDR4")
    assert info.trigger_router_path == kestrel.Controller.trigger_router_path()
    assert info.to_dict()["memoryModules"][1]["serialNumber"] == "E5F6A7B8"


def test_self_test_and_firmware_versions(controller):
    controller.self_test()
    versions = controller.firmware_versions()
    assert versions == kestrel.FirmwareVersions(bios_version="1.4.0f2", companion_present=True,
                                                companion_firmware_version="1.2.0f3",
                                                companion_bios_version_record="1.4.0f2", safe_mode_version=None,
                                                update_allowed=True)


def test_update_refuses_what_is_no_update_file_before_the_library(controller, tmp_path):
    for content, cause in ((b"", "is empty"), (b"\0HeaderVersion::1", "starts with a NUL byte"),
                           (os.urandom(4096).replace(b"HeaderVersion::", b""), "no firmware section")):
        with pytest.raises(kestrel.InvalidImageError, match=cause):
            controller.update_firmware(content)
    with pytest.raises(ValueError, match="not a regular file"):
        controller.update_firmware(tmp_path)
    with pytest.raises(ValueError, match="not a regular file"):
        controller.update_firmware("/dev/zero")
    with pytest.raises(FileNotFoundError):
        controller.update_firmware(tmp_path / "missing.fw")
