#!/usr/bin/env python3
"""Prints the controller's identity as one JSON document.

    kestrel-sim -- python3 python/examples/identity_json.py
"""
import json
import sys
from typing import Any, Dict

import kestrel


def identity(info: kestrel.ControllerInfo) -> Dict[str, Any]:
    board = info.board
    return {
        "product": board.product,
        "serialNumber": board.serial_number,
        "model": board.model,
        "biosVersion": board.bios_version,  # as SMBIOS holds it, from the BIOS's last start
        "companionFirmwareVersion": info.companion.firmware_version,
        # The companion chip's record of the BIOS version: "0.0.0f0" once a firmware update cleared it.
        "companionBiosVersionRecord": info.companion.bios_version_record,
        "processor": info.processor.version,
        "memory": [{"slot": m.locator, "size": m.size.text if m.size else None, "type": m.type_name}
                   for m in info.memory_modules],
        # Values the board would not give, with the reason.
        "unavailable": {name: error.name for name, error in board.unavailable.items()},
    }


def main() -> int:
    try:
        with kestrel.Controller() as ctl:
            document = identity(ctl.info())
    except kestrel.KestrelError as error:
        print(f"identity_json: {error}", file=sys.stderr)
        return 1
    json.dump(document, sys.stdout, indent=2)
    print()
    return 0


if __name__ == "__main__":
    sys.exit(main())
