#include "platform/cZeSmBiosProvider.h"

#include <cstring>
#include <new>

#include "kestrel/kestrel.h"

namespace nKESTREL1400::nZESMBIOS_1_1 {
namespace {

constexpr const char* kFile = "cZeSmBiosProvider";
constexpr kSourceLocation kInvalidLoad{kFile, 148};
constexpr kSourceLocation kNoTableMemory{kFile, 155};
constexpr kSourceLocation kWrongKind{kFile, 221};
constexpr kSourceLocation kUnknownItem{kFile, 262};
constexpr kSourceLocation kStringNotPresent{kFile, 281};
constexpr kSourceLocation kBufferTooSmall{kFile, 296};
constexpr kSourceLocation kNullBuffer{kFile, 300};

// Holds a pthread mutex for a scope. Locking a default mutex only fails on
// misuse, which this file never does.
class tLoadLockGuard {
 public:
  explicit tLoadLockGuard(pthread_mutex_t& mutex) noexcept : mutex_(mutex) { pthread_mutex_lock(&mutex_); }
  ~tLoadLockGuard() { pthread_mutex_unlock(&mutex_); }
  tLoadLockGuard(const tLoadLockGuard&) = delete;
  tLoadLockGuard& operator=(const tLoadLockGuard&) = delete;

 private:
  pthread_mutex_t& mutex_;
};

// Little-endian, unaligned.
template <typename T>
T readLittleEndian(const std::uint8_t* field) noexcept {
  T value = 0;
  for (std::size_t i = sizeof(T); i-- > 0;) value = static_cast<T>((value << 8) | field[i]);
  return value;
}

}  // namespace

cZeSmBiosProvider::~cZeSmBiosProvider() {
  delete[] table_.load(std::memory_order_acquire);
  pthread_mutex_destroy(&loadLock_);
}

void cZeSmBiosProvider::loadFromMemory(const char* identification, const std::uint8_t* table,
                                       std::uint32_t tableLength, tStatus& status) noexcept {
  if (status.isError()) return;
  tLoadLockGuard guard(loadLock_);
  if (isLoaded()) return;
  if (identification == nullptr || table == nullptr || tableLength == 0) {
    status.setCode(brioerr_invalidParameter, kInvalidLoad);
    return;
  }
  auto* copy = new (std::nothrow) std::uint8_t[tableLength];
  if (copy == nullptr) {
    status.setCode(brioerr_memoryFull, kNoTableMemory);
    return;
  }
  std::memcpy(copy, table, tableLength);
  installTable(copy, tableLength, identification);
}

void cZeSmBiosProvider::installTable(std::uint8_t* table, std::uint32_t tableLength,
                                     const char* identification) noexcept {
  const std::size_t textLength = identification == nullptr ? 0 : strnlen(identification, kIdentificationSize);
  if (textLength < kIdentificationSize) {
    std::memcpy(identification_, identification, textLength);
    identification_[textLength] = '\0';
  } else {
    identification_[0] = '\0';
  }
  tableLength_ = tableLength;
  // Without memory for the index, lookups walk the table.
  static_cast<void>(index_.build(cZeSmBiosTable(table, tableLength)));
  // Publishes the length, the text and the index together with the pointer.
  table_.store(table, std::memory_order_release);
}

cZeSmBiosTable cZeSmBiosProvider::loadedTable(tStatus& status) noexcept {
  if (status.isError()) return {nullptr, 0};
  std::uint8_t* table = table_.load(std::memory_order_acquire);
  if (table == nullptr) {
    tLoadLockGuard guard(loadLock_);
    table = table_.load(std::memory_order_acquire);
    if (table == nullptr) {
      loadTable(status);
      table = table_.load(std::memory_order_acquire);
    }
  }
  if (status.isError() || table == nullptr) return {nullptr, 0};
  return {table, tableLength_, &index_};
}

const std::uint8_t* cZeSmBiosProvider::locateField(const cZeSmBiosTable& table, cZeSmBiosSelector selector,
                                                   std::uint32_t instance, tStatus& status) const noexcept {
  const std::uint8_t* structure = table.findStructure(selector.type(), instance, status);
  if (structure == nullptr || table.checkField(structure, selector, status) == 0) return nullptr;
  return structure + selector.offset();
}

template <typename T>
T cZeSmBiosProvider::readNumber(std::uint32_t selector, std::uint32_t instance, cZeSmBiosFieldKind kind,
                                tStatus& status) noexcept {
  const cZeSmBiosTable table = loadedTable(status);
  if (status.isError()) return 0;
  const cZeSmBiosSelector wanted{selector};
  if (wanted.kind() != kind) {
    status.setCode(smbioserr_notFound, kWrongKind);
    return 0;
  }
  const std::uint8_t* field = locateField(table, wanted, instance, status);
  return field == nullptr ? 0 : readLittleEndian<T>(field);
}

std::uint8_t cZeSmBiosProvider::readByte(std::uint32_t selector, std::uint32_t instance, tStatus& status) noexcept {
  return readNumber<std::uint8_t>(selector, instance, cZeSmBiosFieldKind::kByte, status);
}

std::uint16_t cZeSmBiosProvider::readWord(std::uint32_t selector, std::uint32_t instance, tStatus& status) noexcept {
  return readNumber<std::uint16_t>(selector, instance, cZeSmBiosFieldKind::kWord, status);
}

std::uint64_t cZeSmBiosProvider::readQword(std::uint32_t selector, std::uint32_t instance, tStatus& status) noexcept {
  return readNumber<std::uint64_t>(selector, instance, cZeSmBiosFieldKind::kQword, status);
}

void cZeSmBiosProvider::readString(std::uint32_t selector, std::uint32_t instance, char* buffer, std::uint32_t& size,
                                   tStatus& status) noexcept {
  const cZeSmBiosTable table = loadedTable(status);
  if (status.isError()) return;
  const cZeSmBiosSelector wanted{selector};
  if (wanted.kind() == cZeSmBiosFieldKind::kProviderItem) {
    if (selector != kIdentificationSelector || instance != 0) {
      status.setCode(smbioserr_notFound, kUnknownItem);
      return;
    }
    deliverText(identification_, static_cast<std::uint32_t>(std::strlen(identification_)), buffer, size, status);
    return;
  }
  if (wanted.kind() != cZeSmBiosFieldKind::kString) {
    status.setCode(smbioserr_notFound, kWrongKind);
    return;
  }
  const std::uint8_t* field = locateField(table, wanted, instance, status);
  if (field == nullptr) return;
  if (*field == 0) {
    if (buffer != nullptr && size != 0) buffer[0] = '\0';
    status.setCode(smbioserr_stringNotPresent, kStringNotPresent);
    return;
  }
  std::uint32_t textLength = 0;
  const char* text = table.findString(field - wanted.offset(), *field, textLength, status);
  if (text != nullptr) deliverText(text, textLength, buffer, size, status);
}

void cZeSmBiosProvider::deliverText(const char* text, std::uint32_t textLength, char* buffer, std::uint32_t& size,
                                    tStatus& status) const noexcept {
  const std::uint32_t required = textLength + 1;
  if (size < required) {
    size = required;
    status.setCode(smbioserr_bufferTooSmall, kBufferTooSmall);
    return;
  }
  if (buffer == nullptr) {
    status.setCode(brioerr_invalidParameter, kNullBuffer);
    return;
  }
  std::memcpy(buffer, text, textLength);
  buffer[textLength] = '\0';
}

}  // namespace nKESTREL1400::nZESMBIOS_1_1
