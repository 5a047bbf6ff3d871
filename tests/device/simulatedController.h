// A fixture that runs each test against a fresh simulated controller, and
// helpers to lay out the raw request records the driver receives.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/tStatus.h"
#include "sim/system/tSimulator.h"

// Started in the constructor, so that members of derived fixtures already
// meet the simulator; stopped after they are gone.
class SimulatedController : public ::testing::Test {
 protected:
  SimulatedController() { sim().start(); }
  ~SimulatedController() override { sim().stop(); }

  static nKESTRELSIM::tSimulator& sim() { return nKESTRELSIM::tSimulator::instance(); }
};

// Little-endian record bytes, written field by field at their offsets.
class RecordBytes {
 public:
  explicit RecordBytes(std::size_t size) : bytes_(size, 0) {}
  RecordBytes& u32(std::size_t offset, std::uint32_t value) { return put(offset, &value, sizeof value); }
  RecordBytes& u64(std::size_t offset, std::uint64_t value) { return put(offset, &value, sizeof value); }
  RecordBytes& address(std::size_t offset, const void* pointer) {
    return u64(offset, reinterpret_cast<std::uint64_t>(pointer));
  }
  const std::vector<std::uint8_t>& bytes() const { return bytes_; }

 private:
  RecordBytes& put(std::size_t offset, const void* value, std::size_t size) {
    std::memcpy(bytes_.data() + offset, value, size);
    return *this;
  }
  std::vector<std::uint8_t> bytes_;
};

// A status record holding `code` at a made-up place.
inline nKESTREL1400::tStatus statusHolding(std::int32_t code) {
  nKESTREL1400::tStatus status;
  status.setCode(code, "kestrel", "caller", 1);
  return status;
}
