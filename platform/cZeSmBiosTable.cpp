#include "platform/cZeSmBiosTable.h"

#include <cstring>

#include "kestrel/kestrel.h"

namespace nKESTREL1400::nZESMBIOS_1_1 {
namespace {

// The walk's codes are the provider's codes and carry its file name.
constexpr kSourceLocation kNoSuchStructure{"cZeSmBiosProvider", 310};
constexpr kSourceLocation kStructureOutsideTable{"cZeSmBiosProvider", 316};
constexpr kSourceLocation kFieldOutsideTable{"cZeSmBiosProvider", 342};
constexpr kSourceLocation kUnknownKind{"cZeSmBiosProvider", 351};
constexpr kSourceLocation kFieldBeyondLength{"cZeSmBiosProvider", 355};
constexpr kSourceLocation kStringSetEnded{"cZeSmBiosProvider", 377};
constexpr kSourceLocation kStringTooLong{"cZeSmBiosProvider", 384};

constexpr std::uint32_t fieldWidth(cZeSmBiosFieldKind kind) noexcept {
  switch (kind) {
    case cZeSmBiosFieldKind::kString:
    case cZeSmBiosFieldKind::kByte:
      return 1;
    case cZeSmBiosFieldKind::kWord:
      return 2;
    case cZeSmBiosFieldKind::kDword:
      return 4;
    case cZeSmBiosFieldKind::kQword:
      return 8;
    default:
      return 0;
  }
}

}  // namespace

std::uint64_t cZeSmBiosTable::structureEnd(std::uint64_t position) const noexcept {
  // 64-bit positions: a structure's end may lie past a table of 4 GiB.
  const std::uint64_t end = length_;
  // Over the formatted area, then to the string-set's two zero bytes.
  std::uint64_t next = position + bytes_[position + 1];
  while (next + 1 < end && (bytes_[next] != 0 || bytes_[next + 1] != 0)) ++next;
  next += 2;
  return next > end ? 0 : next;
}

const std::uint8_t* cZeSmBiosTable::findStructure(std::uint8_t type, std::uint32_t instance,
                                                  tStatus& status) const noexcept {
  if (status.isError()) return nullptr;
  if (index_ == nullptr) return walkToStructure(type, instance, status);
  const std::int64_t offset = index_->find(type, instance);
  if (offset >= 0) return bytes_ + offset;
  // The walk would have met the malformed structure before giving up.
  status.setCode(index_->endedEarly() ? smbioserr_corrupt : smbioserr_notFound,
                 index_->endedEarly() ? kStructureOutsideTable : kNoSuchStructure);
  return nullptr;
}

const std::uint8_t* cZeSmBiosTable::walkToStructure(std::uint8_t type, std::uint32_t instance,
                                                    tStatus& status) const noexcept {
  const std::uint8_t* found = nullptr;
  std::uint32_t matches = 0;
  const bool complete = forEachStructure([&](std::uint32_t offset) {
    if (found == nullptr && bytes_[offset] == type && matches++ == instance) found = bytes_ + offset;
  });
  // The walk stops at the first malformed structure, but a match up to it counts.
  if (found != nullptr) return found;
  status.setCode(complete ? smbioserr_notFound : smbioserr_corrupt,
                 complete ? kNoSuchStructure : kStructureOutsideTable);
  return nullptr;
}

std::uint32_t cZeSmBiosTable::checkField(const std::uint8_t* structure, cZeSmBiosSelector selector,
                                         tStatus& status) const noexcept {
  if (status.isError()) return 0;
  const std::uint64_t position = static_cast<std::uint64_t>(structure - bytes_);
  if (position + 1 >= length_ || position + structure[1] > length_) {
    status.setCode(smbioserr_corrupt, kFieldOutsideTable);
    return 0;
  }
  const std::uint32_t width = fieldWidth(selector.kind());
  if (width == 0) {
    status.setCode(smbioserr_corrupt, kUnknownKind);
    return 0;
  }
  const std::uint32_t fieldEnd = selector.offset() + width;
  if (structure[1] < fieldEnd) {
    status.setCode(smbioserr_notFound, kFieldBeyondLength);
    return 0;
  }
  return fieldEnd;
}

const char* cZeSmBiosTable::findString(const std::uint8_t* structure, std::uint8_t number, std::uint32_t& textLength,
                                       tStatus& status) const noexcept {
  if (status.isError()) return nullptr;
  if (number == 0) {
    status.setCode(smbioserr_corrupt, kStringSetEnded);
    return nullptr;
  }
  const std::uint8_t* const tableEnd = bytes_ + length_;
  const std::uint8_t* text = structure + structure[1];
  for (std::uint8_t current = 1;; ++current) {
    if (text >= tableEnd || *text == 0) {
      status.setCode(smbioserr_corrupt, kStringSetEnded);
      return nullptr;
    }
    const std::size_t room = static_cast<std::size_t>(tableEnd - text);
    if (current == number) {
      const std::size_t limit = room < kMaxStringLength + 1 ? room : kMaxStringLength + 1;
      const void* nul = std::memchr(text, 0, limit);
      if (nul == nullptr) {
        status.setCode(smbioserr_corrupt, kStringTooLong);
        return nullptr;
      }
      textLength = static_cast<std::uint32_t>(static_cast<const std::uint8_t*>(nul) - text);
      return reinterpret_cast<const char*>(text);
    }
    const void* nul = std::memchr(text, 0, room);
    if (nul == nullptr) {
      status.setCode(smbioserr_corrupt, kStringSetEnded);
      return nullptr;
    }
    text = static_cast<const std::uint8_t*>(nul) + 1;
  }
}

}  // namespace nKESTREL1400::nZESMBIOS_1_1
