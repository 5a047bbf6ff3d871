// A walk over the terminals of a session's topography, reading each
// terminal's attributes by name.
#pragma once

#include <cstdint>
#include <memory>

#include "routing/TerminalIteratorInterface.h"
#include "routing/TopographyInfoRegistration.h"
#include "routing/tSessionLink.h"
#include "routing/tTerminalInfo.h"

namespace tarn {

class TarnTerminalIterator final : public quill::TerminalIteratorInterface {
 public:
  // The session should outlive the iterator. The iterator keeps no pointer
  // to it: the topography is constant data, and a reset goes through the
  // link, which the session severs when it ends.
  TarnTerminalIterator(const tTopographyInfo& topography, std::shared_ptr<const tSessionLink> link) noexcept
      : topography_(&topography), link_(std::move(link)) {}

  // Stays at the end once there.
  void next(tStatusReport* status) override;
  bool isEnd() override;
  const char* getStringAttribute(const char* name, tStatusReport* status) override;
  bool getBoolAttribute(const char* name, tStatusReport* status) override;
  std::uint32_t getU32Attribute(const char* name, tStatusReport* status) override;
  void resetTerminal(const char* mode, tStatusReport* status) override;

  // The terminal at the current position; null at the end.
  const tTerminalInfo* currentTerminal() const noexcept;

 private:
  std::uint64_t index_ = 0;
  const tTopographyInfo* topography_;
  std::shared_ptr<const tSessionLink> link_;
};

}  // namespace tarn
