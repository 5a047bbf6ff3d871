// The terminals of the controller's trigger router: its own three
// terminals, then the eight PXI trigger lines of the backplane.
#pragma once

#include "routing/tTerminalInfo.h"

namespace tarn {

inline constexpr const char* kPxiContTriggerRouterName = "pxiContTriggerRouter";

namespace nTerminalRows {

constexpr tTerminalInfo own(const char* name, std::uint32_t id, const char* visibility) {
  return {name, id, false, true, visibility, nullptr, kNoBusLine, nullptr, false, name, false};
}

constexpr tTerminalInfo pxiTrig(const char* name, std::uint32_t id, std::uint32_t line) {
  return {name, id, true, false, "public", "PXI_Trig", line, nullptr, false, name, false};
}

}  // namespace nTerminalRows

inline constexpr tTerminalInfo kPxiContTriggerRouterTerminals[] = {
    nTerminalRows::own("FLOAT", 1, "private"),
    nTerminalRows::own("TRIG_SMB", 2, "public"),
    nTerminalRows::own("WD_Terminal", 3, "private"),
    nTerminalRows::pxiTrig("PXI_Trig0", 4, 0),
    nTerminalRows::pxiTrig("PXI_Trig1", 5, 1),
    nTerminalRows::pxiTrig("PXI_Trig2", 6, 2),
    nTerminalRows::pxiTrig("PXI_Trig3", 7, 3),
    nTerminalRows::pxiTrig("PXI_Trig4", 8, 4),
    nTerminalRows::pxiTrig("PXI_Trig5", 9, 5),
    nTerminalRows::pxiTrig("PXI_Trig6", 10, 6),
    nTerminalRows::pxiTrig("PXI_Trig7", 11, 7),
};

}  // namespace tarn
