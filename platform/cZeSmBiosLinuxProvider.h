// The process-wide SMBIOS provider. Besides tables handed over from memory
// it loads the dump file a system service leaves behind:
//   identification text, NUL-terminated | table length, 16-bit little-endian | table
// and the accessors through which the controller code reads it.
#pragma once

#include <cstdint>

#include "platform/cZeSmBiosProvider.h"

namespace nKESTREL1400::nZESMBIOS_1_1 {

inline constexpr const char* kSmBiosDumpFilePath = "/run/zesvc/smbios/smbiosdmp";

class cZeSmBiosLinuxProvider : public cZeSmBiosProvider {
 protected:
  // Loads kSmBiosDumpFilePath.
  void loadTable(tStatus& status) noexcept override;
  // Loads a dump file: -240050 when it cannot be opened, -240053 when it is
  // shorter than its header says or holds an empty table, -52000 without
  // memory. The provider stays unloaded on failure.
  void loadDumpFile(const char* path, tStatus& status) noexcept;

 private:
  void readDump(int descriptor, tStatus& status) noexcept;
};

// The process's provider, built during static initialisation without a table.
cZeSmBiosLinuxProvider& smBiosProvider() noexcept;

// Accessors of the process's provider; each returns the lookup's status code
// (0, the warning 240050, or an error) and writes the value only when the
// code is not an error. Null value or size pointers: -52005.
std::int32_t smBiosReadByte(std::uint32_t selector, std::uint32_t instance, std::uint8_t* value) noexcept;
std::int32_t smBiosReadWord(std::uint32_t selector, std::uint32_t instance, std::uint16_t* value) noexcept;
std::int32_t smBiosReadQword(std::uint32_t selector, std::uint32_t instance, std::uint64_t* value) noexcept;
// `size` is the buffer's capacity in bytes; on -240051 it receives the size
// needed (text plus NUL). `buffer` may be null for the size question.
std::int32_t smBiosReadString(std::uint32_t selector, std::uint32_t instance, char* buffer,
                              std::uint32_t* size) noexcept;
// Loads a table from memory; a table loaded before stays (the result is then 0).
std::int32_t smBiosLoad(const char* identification, const void* table, const std::uint32_t* tableLength) noexcept;

}  // namespace nKESTREL1400::nZESMBIOS_1_1
