// Requests shared by the three host-controller interfaces (attributes,
// firmware, status-only requests); each proxy passes its own file and line.
#pragma once

#include <cstdint>

#include "platform/iInterfaceProxy.h"
#include "platform/tStatus.h"

namespace nKESTREL1400 {

void getAttributeRequest(nBRIO000::iInterfaceProxy& proxy, std::uint32_t attributeId, void* valueAddress,
                         std::uint32_t& valueSize, tStatus& status, const char* file, std::uint32_t line) noexcept;
void setAttributeRequest(nBRIO000::iInterfaceProxy& proxy, std::uint32_t attributeId, const void* valueAddress,
                         std::uint32_t valueSize, tStatus& status, const char* file, std::uint32_t line) noexcept;
// updateFirmware of the controller and the companion chip.
void updateFirmwareRequest(nBRIO000::iInterfaceProxy& proxy, std::uint32_t request, const void* imageAddress,
                           std::uint32_t imageSize, tStatus& status, const char* file, std::uint32_t line) noexcept;
// The requests that carry nothing but the statuses.
void statusOnlyRequest(nBRIO000::iInterfaceProxy& proxy, std::uint32_t request, tStatus& status, const char* file,
                       std::uint32_t line) noexcept;

}  // namespace nKESTREL1400
