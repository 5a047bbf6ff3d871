#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace kestrelctl {

// An unsigned 32-bit number written in decimal or as 0x... hexadecimal.
std::optional<std::uint32_t> parseU32(std::string_view text);

}  // namespace kestrelctl
