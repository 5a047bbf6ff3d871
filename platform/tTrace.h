#pragma once

#include <pthread.h>

#include <cstddef>
#include <cstdint>

#include "platform/iTraceDestination.h"

namespace nKESTREL1400::nBRIO000 {

// The process-wide trace object, bound to the console destination.
class tTrace {
 public:
  static constexpr std::size_t kSwitchCount = 12;
  static constexpr std::size_t kLineBufferSize = 512;
  static constexpr std::size_t kLockExistsSwitch = 9;

  explicit tTrace(iTraceDestination* destination) noexcept;
  ~tTrace();
  tTrace(const tTrace&) = delete;
  tTrace& operator=(const tTrace&) = delete;

  iTraceDestination* destination() const noexcept { return destination_; }
  bool switchValue(std::size_t index) const noexcept { return switches_[index] != 0; }
  bool lockExists() const noexcept { return switches_[kLockExistsSwitch] != 0; }

 private:
  iTraceDestination* destination_;
  std::uint8_t switches_[kSwitchCount];
  [[maybe_unused]] std::uint32_t limit_;
  [[maybe_unused]] std::uint32_t count_;
  pthread_mutex_t lock_;
  bool lockInitialised_;
  [[maybe_unused]] char lineBuffer_[kLineBufferSize];
  [[maybe_unused]] char* writePosition_;
  [[maybe_unused]] bool atEnd_;
};

tTrace& processTrace() noexcept;

}  // namespace nKESTREL1400::nBRIO000
