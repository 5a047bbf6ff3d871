#include "platform/cZeSmBiosLinuxProvider.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <new>

#include "kestrel/kestrel.h"

namespace nKESTREL1400::nZESMBIOS_1_1 {
namespace {

constexpr const char* kFile = "cZeSmBiosLinuxProvider";
constexpr kSourceLocation kDumpUnavailable{kFile, 61};
constexpr kSourceLocation kDumpTruncated{kFile, 74};
constexpr kSourceLocation kDumpNoMemory{kFile, 92};
constexpr kSourceLocation kNullArgument{kFile, 130};

constexpr std::uint32_t kLengthFieldSize = 2;

cZeSmBiosLinuxProvider gProvider;

// Reads up to `count` bytes, continuing over interruptions and partial
// reads; returns the bytes read (fewer only at end of file or on error).
std::size_t readFully(int descriptor, void* buffer, std::size_t count) noexcept {
  std::size_t done = 0;
  while (done < count) {
    const ssize_t got = ::read(descriptor, static_cast<char*>(buffer) + done, count - done);
    if (got > 0) {
      done += static_cast<std::size_t>(got);
    } else if (got == 0 || errno != EINTR) {
      break;
    }
  }
  return done;
}

// Reads the NUL-terminated identification text one byte at a time. Keeps it
// in `text` when it fits with its NUL, else leaves `text` empty; the rest of
// an overlong text is read and dropped, so nothing grows with the file.
bool readIdentification(int descriptor, char (&text)[cZeSmBiosProvider::kIdentificationSize]) noexcept {
  std::size_t length = 0;
  for (;;) {
    char next = 0;
    if (readFully(descriptor, &next, 1) != 1) return false;
    if (next == '\0') break;
    if (length < sizeof text) text[length] = next;
    ++length;
  }
  text[length < sizeof text ? length : 0] = '\0';
  return true;
}

template <typename T>
std::int32_t readNumber(std::uint32_t selector, std::uint32_t instance, T* value,
                        T (cZeSmBiosProvider::*reader)(std::uint32_t, std::uint32_t, tStatus&)) noexcept {
  tStatus status;
  if (value == nullptr) {
    status.setCode(brioerr_invalidParameter, kNullArgument);
    return status.getCode();
  }
  const T result = (smBiosProvider().*reader)(selector, instance, status);
  if (status.isNotError()) *value = result;
  return status.getCode();
}

}  // namespace

void cZeSmBiosLinuxProvider::loadTable(tStatus& status) noexcept { loadDumpFile(kSmBiosDumpFilePath, status); }

void cZeSmBiosLinuxProvider::loadDumpFile(const char* path, tStatus& status) noexcept {
  if (status.isError()) return;
  const int descriptor = ::open(path, O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) {
    status.setCode(smbioserr_dumpUnavailable, kDumpUnavailable);
    return;
  }
  readDump(descriptor, status);
  ::close(descriptor);
}

void cZeSmBiosLinuxProvider::readDump(int descriptor, tStatus& status) noexcept {
  char identification[kIdentificationSize] = {};
  std::uint8_t lengthField[kLengthFieldSize] = {};
  if (!readIdentification(descriptor, identification) ||
      readFully(descriptor, lengthField, sizeof lengthField) != sizeof lengthField) {
    status.setCode(smbioserr_corrupt, kDumpTruncated);
    return;
  }
  const std::uint32_t tableLength = lengthField[0] | (static_cast<std::uint32_t>(lengthField[1]) << 8);
  if (tableLength == 0) {
    status.setCode(smbioserr_corrupt, kDumpTruncated);
    return;
  }
  auto* table = new (std::nothrow) std::uint8_t[tableLength];
  if (table == nullptr) {
    status.setCode(brioerr_memoryFull, kDumpNoMemory);
    return;
  }
  if (readFully(descriptor, table, tableLength) != tableLength) {
    delete[] table;
    status.setCode(smbioserr_corrupt, kDumpTruncated);
    return;
  }
  installTable(table, tableLength, identification);
}

cZeSmBiosLinuxProvider& smBiosProvider() noexcept { return gProvider; }

std::int32_t smBiosReadByte(std::uint32_t selector, std::uint32_t instance, std::uint8_t* value) noexcept {
  return readNumber(selector, instance, value, &cZeSmBiosProvider::readByte);
}

std::int32_t smBiosReadWord(std::uint32_t selector, std::uint32_t instance, std::uint16_t* value) noexcept {
  return readNumber(selector, instance, value, &cZeSmBiosProvider::readWord);
}

std::int32_t smBiosReadQword(std::uint32_t selector, std::uint32_t instance, std::uint64_t* value) noexcept {
  return readNumber(selector, instance, value, &cZeSmBiosProvider::readQword);
}

std::int32_t smBiosReadString(std::uint32_t selector, std::uint32_t instance, char* buffer,
                              std::uint32_t* size) noexcept {
  tStatus status;
  if (size == nullptr) {
    status.setCode(brioerr_invalidParameter, kNullArgument);
  } else {
    smBiosProvider().readString(selector, instance, buffer, *size, status);
  }
  return status.getCode();
}

std::int32_t smBiosLoad(const char* identification, const void* table, const std::uint32_t* tableLength) noexcept {
  tStatus status;
  if (tableLength == nullptr) {
    status.setCode(brioerr_invalidParameter, kNullArgument);
  } else {
    smBiosProvider().loadFromMemory(identification, static_cast<const std::uint8_t*>(table), *tableLength, status);
  }
  return status.getCode();
}

}  // namespace nKESTREL1400::nZESMBIOS_1_1
