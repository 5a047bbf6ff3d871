#include "sim/recorder/ownMemory.h"

#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

namespace nKESTRELSIM {

std::optional<std::vector<std::uint8_t>> readOwnMemory(std::uint64_t address, std::size_t size) noexcept {
  if (address == 0) return std::nullopt;
  try {
    std::vector<std::uint8_t> bytes(size);
    if (size == 0) return bytes;
    iovec local{bytes.data(), size};
    iovec remote{reinterpret_cast<void*>(address), size};
    const ssize_t got = ::process_vm_readv(::getpid(), &local, 1, &remote, 1, 0);
    if (got == static_cast<ssize_t>(size)) return bytes;
    // Where the kernel refuses the call itself, the program's own memory
    // is read as the simulator reads it.
    if (got == -1 && (errno == ENOSYS || errno == EPERM)) {
      std::memcpy(bytes.data(), reinterpret_cast<const void*>(address), size);
      return bytes;
    }
    return std::nullopt;
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

}  // namespace nKESTRELSIM
