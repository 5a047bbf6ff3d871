// A walk over the terminals of a session's topography, reading each
// terminal's attributes by name.
#pragma once

#include <cstdint>

#include "routing/TerminalIteratorInterface.h"
#include "routing/tTerminalInfo.h"

namespace tarn {

class TarnRoutingAdaptorSession;

class TarnTerminalIterator final : public quill::TerminalIteratorInterface {
 public:
  // The session must outlive the iterator.
  explicit TarnTerminalIterator(TarnRoutingAdaptorSession& session) noexcept : session_(&session) {}

  // Stays at the end once there.
  void next(tStatusReport* status) override;
  bool isEnd() override;
  const char* getStringAttribute(const char* name, tStatusReport* status) override;
  bool getBoolAttribute(const char* name, tStatusReport* status) override;
  std::uint32_t getU32Attribute(const char* name, tStatusReport* status) override;
  void resetTerminal(const char* mode, tStatusReport* status) override;

  // The terminal at the current position; null at the end.
  const tTerminalInfo* currentTerminal() const noexcept;
  TarnRoutingAdaptorSession& session() const noexcept { return *session_; }

 private:
  std::uint64_t index_ = 0;
  TarnRoutingAdaptorSession* session_;
};

}  // namespace tarn
