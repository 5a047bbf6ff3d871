// The caller memory a request names, copied as the driver beneath is given
// it. The records and buffers are the library's own, read directly: a read
// through the kernel (process_vm_readv) would answer a bad address with
// EFAULT as a kernel driver does, but costs more than a microsecond per
// region, several times what recording may add to a request.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace nKESTRELSIM {

// Nothing for a null address.
std::optional<std::vector<std::uint8_t>> readOwnMemory(std::uint64_t address, std::size_t size);

}  // namespace nKESTRELSIM
