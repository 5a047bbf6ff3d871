#include "routing/TarnTerminalIterator.h"

#include <algorithm>
#include <cstring>
#include <span>
#include <string>

#include "json/jsonReader.h"
#include "kestrel/kestrel.h"
#include "platform/tStatus.h"
#include "platform/tStatusReport.h"
#include "routing/TarnRoutingAdaptor.h"
#include "routing/routingFailure.h"
#include "routing/terminalAttributeTables.h"

namespace tarn {
namespace {

using nKESTREL1400::kSourceLocation;
using nKESTREL1400::tStatus;

constexpr const char* kFile = "TarnRoutingAdaptor";
constexpr kSourceLocation kUnknownAttribute{kFile, 402};
constexpr kSourceLocation kUnknownMode{kFile, 431};
constexpr kSourceLocation kAtEnd{kFile, 446};
constexpr const char* kAtEndText = "the terminal iterator is at its end: no terminal to read";

const tTerminalAttribute* findAttribute(std::span<const tTerminalAttribute> table, const char* name) {
  if (name == nullptr) return nullptr;
  for (const tTerminalAttribute& attribute : table) {
    if (std::strcmp(attribute.name, name) == 0) return &attribute;
  }
  return nullptr;
}

const tResetMode* findResetMode(const char* word) {
  if (word == nullptr) return nullptr;
  for (const tResetMode& mode : kResetModes) {
    if (std::strcmp(mode.word, word) == 0) return &mode;
  }
  return nullptr;
}

// The field of the current terminal that a getter's table names, or null
// after reporting why there is none.
const void* attributeField(const TarnTerminalIterator& iterator, std::span<const tTerminalAttribute> table,
                           const char* name, tStatusReport* status) {
  const tTerminalInfo* terminal = iterator.currentTerminal();
  if (terminal == nullptr) {
    reportFailure(*status, brioerr_invalidParameter, kAtEnd, "brioerr_invalidParameter", kAtEndText);
    return nullptr;
  }
  const tTerminalAttribute* attribute = findAttribute(table, name);
  if (attribute == nullptr) {
    reportFailure(*status, zepalerr_badSelector, kUnknownAttribute, "zepalerr_badSelector");
    return nullptr;
  }
  return reinterpret_cast<const unsigned char*>(terminal) + attribute->offset;
}

// The unescaped string value of a report member, or "".
std::string reportMember(const char* report, const char* name) {
  const char* value = report == nullptr ? nullptr : jsonz_findMember(report, name);
  std::size_t length = 0;
  const char* next = nullptr;
  const char* raw = value == nullptr ? nullptr : jsonz_getString(value, nullptr, &length, &next);
  if (raw == nullptr || next == nullptr) return {};
  std::string text(length + 1, '\0');
  if (jsonz_unescape(raw, length, text.data()) == nullptr) return {};
  text.resize(std::strlen(text.c_str()));
  return text;
}

std::uint64_t reportLine(const char* report) {
  const char* value = report == nullptr ? nullptr : jsonz_findMember(report, "line");
  jsonz_value number{};
  std::uint32_t line = 0;
  if (value == nullptr || jsonz_parse(value, &number) == nullptr || !jsonz_toUInt32(number, &line)) return 0;
  return line;
}

// A lower-layer status that starts where the caller's report stands: its
// code and the place the report names (a component of at most 9
// characters, the last 100 characters of the file).
void seedStatus(tStatus& status, const tStatusReport& record) {
  status.code = record.code;
  const std::string component = reportMember(record.report, "component");
  const std::string file = reportMember(record.report, "file");
  const std::size_t componentLength = std::min(component.size(), tStatus::kComponentSize - 1);
  std::memcpy(status.component, component.data(), componentLength);
  status.component[componentLength] = '\0';
  const std::size_t fileLength = std::min(file.size(), tStatus::kFileSize - 1);
  std::memcpy(status.file, file.data() + file.size() - fileLength, fileLength);
  status.file[fileLength] = '\0';
  status.line = reportLine(record.report);
}

}  // namespace

const tTerminalInfo* TarnTerminalIterator::currentTerminal() const noexcept {
  const tTopographyInfo& topography = session_->topography();
  return index_ < topography.terminalCount ? &topography.terminals[index_] : nullptr;
}

void TarnTerminalIterator::next(tStatusReport*) {
  if (!isEnd()) ++index_;
}

bool TarnTerminalIterator::isEnd() { return index_ >= session_->topography().terminalCount; }

const char* TarnTerminalIterator::getStringAttribute(const char* name, tStatusReport* status) {
  const void* field = attributeField(*this, kStringTerminalAttributes, name, status);
  return field == nullptr ? nullptr : *static_cast<const char* const*>(field);
}

bool TarnTerminalIterator::getBoolAttribute(const char* name, tStatusReport* status) {
  const void* field = attributeField(*this, kBoolTerminalAttributes, name, status);
  return field != nullptr && *static_cast<const unsigned char*>(field) != 0;
}

std::uint32_t TarnTerminalIterator::getU32Attribute(const char* name, tStatusReport* status) {
  const void* field = attributeField(*this, kU32TerminalAttributes, name, status);
  std::uint32_t value = 0;
  if (field != nullptr) std::memcpy(&value, field, sizeof value);
  return value;
}

void TarnTerminalIterator::resetTerminal(const char* mode, tStatusReport* status) {
  const tResetMode* resetMode = findResetMode(mode);
  if (resetMode == nullptr) {
    reportFailure(*status, zepalerr_badSelector, kUnknownMode, "zepalerr_badSelector");
    return;
  }
  const tTerminalInfo* terminal = currentTerminal();
  if (terminal == nullptr) {
    reportFailure(*status, brioerr_invalidParameter, kAtEnd, "brioerr_invalidParameter", kAtEndText);
    return;
  }
  tStatus local;
  seedStatus(local, *status);
  session_->routingProxy().resetTerminal(terminal->id, resetMode->value, local);
  if (local.code != 0) local.copyToReport(*status);
}

std::uint32_t TarnRoutingAdaptorSession::calculateResetTerminal(quill::TerminalIteratorInterface* iterator,
                                                                const char* mode) {
  const tResetMode* resetMode = findResetMode(mode);
  if (resetMode == nullptr) raiseFailure(zepalerr_badSelector, kUnknownMode, "zepalerr_badSelector");
  const auto* terminalIterator = static_cast<const TarnTerminalIterator*>(iterator);
  const tTerminalInfo* terminal = terminalIterator == nullptr ? nullptr : terminalIterator->currentTerminal();
  if (terminal == nullptr) raiseFailure(brioerr_invalidParameter, kAtEnd, "brioerr_invalidParameter", kAtEndText);
  tStatus status;
  const std::uint32_t id = routingProxy().calculateResetTerminal(sessionId(), terminal->id, resetMode->value, status);
  status.throwIfError();
  return id;
}

quill::TerminalIteratorInterface* TarnRoutingAdaptorSession::getAllTerminals(tStatusReport*) {
  return new TarnTerminalIterator(*this);
}

}  // namespace tarn
