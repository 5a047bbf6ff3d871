// Loads fuzzer input as an SMBIOS table, from memory and as a dump file, and
// runs lookups of every kind on it.
//
// Input: byte 0 = number of lookups n (low 4 bits); then n lookups of five
// bytes each (selector, 32-bit little-endian; instance, 8-bit); the rest is
// the table, which is also handed over as a dump file.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/cZeSmBiosLinuxProvider.h"

using namespace nKESTREL1400;
using namespace nKESTREL1400::nZESMBIOS_1_1;

namespace {

constexpr std::size_t kLookupSize = 5;

class tMemoryProvider : public cZeSmBiosProvider {
 protected:
  void loadTable(tStatus& status) noexcept override { status.setCode(-240050, kSourceLocation{"fuzz", 1}); }
};

class tDumpProvider : public cZeSmBiosLinuxProvider {
 public:
  explicit tDumpProvider(std::string path) : path_(std::move(path)) {}

 protected:
  void loadTable(tStatus& status) noexcept override { loadDumpFile(path_.c_str(), status); }

 private:
  std::string path_;
};

void lookup(cZeSmBiosProvider& provider, std::uint32_t selector, std::uint32_t instance) {
  tStatus status;
  provider.readByte(selector, instance, status);
  status = tStatus();
  provider.readWord(selector, instance, status);
  status = tStatus();
  provider.readQword(selector, instance, status);
  // The two-call protocol, then one byte short.
  std::uint32_t size = 0;
  status = tStatus();
  provider.readString(selector, instance, nullptr, size, status);
  if (status.getCode() != -240051) return;
  char buffer[256];
  if (size > sizeof buffer) __builtin_trap();  // strings are at most 128 characters
  status = tStatus();
  provider.readString(selector, instance, buffer, size, status);
  if (status.getCode() != 0 || std::strlen(buffer) + 1 != size) __builtin_trap();
  --size;
  status = tStatus();
  provider.readString(selector, instance, buffer, size, status);
}

void lookupAll(cZeSmBiosProvider& provider, const std::uint8_t* lookups, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* entry = lookups + i * kLookupSize;
    const std::uint32_t selector = entry[0] | entry[1] << 8 | entry[2] << 16 | static_cast<std::uint32_t>(entry[3]) << 24;
    lookup(provider, selector, entry[4]);
    // The same field with each kind.
    for (std::uint32_t kind : {0u, 1u, 2u, 3u, 4u, 15u}) lookup(provider, (selector & 0xFFFF) | kind << 16, entry[4]);
  }
  lookup(provider, kIdentificationSelector, 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::size_t count = data[0] & 0x0F;
  if (1 + count * kLookupSize > size) count = (size - 1) / kLookupSize;
  const std::uint8_t* lookups = data + 1;
  const std::uint8_t* table = lookups + count * kLookupSize;
  const std::size_t tableLength = size - 1 - count * kLookupSize;

  if (tableLength != 0) {
    tMemoryProvider fromMemory;
    tStatus status;
    fromMemory.loadFromMemory("fuzz", table, static_cast<std::uint32_t>(tableLength), status);
    lookupAll(fromMemory, lookups, count);
  }

  const int descriptor = memfd_create("smbiosdmp", 0);
  if (descriptor < 0) return 0;
  if (write(descriptor, table, tableLength) == static_cast<ssize_t>(tableLength)) {
    tDumpProvider fromDump("/proc/self/fd/" + std::to_string(descriptor));
    // A failed load is retried at every lookup: one is enough to parse the file.
    lookup(fromDump, kIdentificationSelector, 0);
    if (fromDump.isLoaded()) lookupAll(fromDump, lookups, count);
  }
  close(descriptor);
  return 0;
}
