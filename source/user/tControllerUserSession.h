// The process-wide controller session behind kControllerHandle.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kestrel/quill_ra_kestrel.h"
#include "source/user/tSessionModule.h"

namespace nKESTREL1400 {

class tControllerUserSession final : public tSharedSession {
 public:
  using tReference = tSessionReference<tControllerUserSession>;

  // Opens the session or adds a reference to the open one.
  static tControllerUserSession* openSession(tStatusReport& report) noexcept;
  // Drops one reference; the last one closes the session.
  static void closeSession() noexcept;
  // The open session, held for one operation, or -26931.
  static tReference currentSession(tStatusReport& report) noexcept;

  void getAttributeU32(std::uint32_t attribute, std::uint32_t& value, tStatusReport& report) noexcept;
  void setAttributeU32(std::uint32_t attribute, std::uint32_t value, tStatusReport& report) noexcept;
  void getAttributeI32(std::uint32_t attribute, std::int32_t& value, tStatusReport& report) noexcept;
  void getAttributeDBL(std::uint32_t attribute, double& value, tStatusReport& report) noexcept;
  void getAttributeUTF8(std::uint32_t attribute, char* buffer, std::uint64_t& length, tStatusReport& report) noexcept;
  void setAttributeUTF8(std::uint32_t attribute, const char* text, std::size_t size, tStatusReport& report) noexcept;
  void performSelfTest(tStatusReport& report) noexcept;
  void updateFirmware(const std::uint8_t* image, std::uint64_t size, std::int32_t force,
                      tStatusReport& report) noexcept;

 private:
  tControllerUserSession() noexcept = default;
  ~tControllerUserSession() override = default;
  void construct(tStatusReport& report) noexcept;

  std::int64_t openCount_ = 1;
};

}  // namespace nKESTREL1400
