#include "routing/TarnTerminalIterator.h"

#include <algorithm>
#include <cstring>
#include <span>

#include "kestrel/kestrel.h"
#include "platform/tStatus.h"
#include "platform/tStatusReport.h"
#include "routing/TarnRoutingAdaptor.h"
#include "routing/routingFailure.h"
#include "routing/statusFromReport.h"
#include "routing/terminalAttributeTables.h"

namespace tarn {
namespace {

using nKESTREL1400::kSourceLocation;
using nKESTREL1400::tStatus;

constexpr const char* kFile = "TarnRoutingAdaptor";
constexpr kSourceLocation kUnknownAttribute{kFile, 402};
constexpr kSourceLocation kUnknownMode{kFile, 431};
constexpr kSourceLocation kAtEnd{kFile, 446};
constexpr kSourceLocation kSessionGone{kFile, 448};
constexpr const char* kAtEndText = "the terminal iterator is at its end: no terminal to read";
constexpr const char* kSessionGoneText = "the terminal iterator's session has been destroyed: nothing to reset through";

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

}  // namespace

const tTerminalInfo* TarnTerminalIterator::currentTerminal() const noexcept {
  return index_ < topography_->terminalCount ? &topography_->terminals[index_] : nullptr;
}

void TarnTerminalIterator::next(tStatusReport*) {
  if (!isEnd()) ++index_;
}

bool TarnTerminalIterator::isEnd() { return index_ >= topography_->terminalCount; }

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
  nKESTREL1400::tInterfaceProxy_routing* proxy = link_->proxy();
  if (proxy == nullptr) {
    reportFailure(*status, brioerr_invalidParameter, kSessionGone, "brioerr_invalidParameter", kSessionGoneText);
    return;
  }
  tStatus local;
  seedStatusFromReport(local, *status);
  proxy->resetTerminal(terminal->id, resetMode->value, local);
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
  return new TarnTerminalIterator(*topography_, link_);
}

}  // namespace tarn
