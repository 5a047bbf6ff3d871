// Reads of the program's own memory that a bad address cannot crash: a
// request's records and buffers are named by the program, and a kernel
// driver answers a bad one with EFAULT rather than a fault.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace nKESTRELSIM {

std::optional<std::vector<std::uint8_t>> readOwnMemory(std::uint64_t address, std::size_t size) noexcept;

}  // namespace nKESTRELSIM
