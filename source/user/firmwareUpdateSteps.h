// The steps of a firmware update that need no session: reading installed
// version texts by the two-call protocol, and the safe-mode step with its
// external tools.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "firmware/tFirmwareImageParser.h"
#include "kestrel/quill_ra_kestrel.h"
#include "platform/tStatus.h"

namespace nKESTREL1400 {

class tInterfaceProxy_hostMarten;

inline constexpr const char* kUpdateFile = "tControllerUserSession";

// A text fetched by the two-call protocol: the size first, then the bytes
// into a zero-filled buffer of that size.
class tFetchedText {
 public:
  enum class tOutcome {
    read,          // the text is here (possibly empty)
    sizeRefused,   // the size question failed: no text, its code (if any) is reported
    readFailed,    // the second call failed: the update ends at once
  };

  tFetchedText() noexcept = default;
  ~tFetchedText() { std::free(bytes_); }
  tFetchedText(const tFetchedText&) = delete;
  tFetchedText& operator=(const tFetchedText&) = delete;

  // The board's BIOS version from SMBIOS.
  tOutcome fetchBiosVersion(tStatusReport& report) noexcept;
  // A text attribute of the companion chip.
  tOutcome fetchCompanion(tInterfaceProxy_hostMarten& proxy, std::uint32_t id, tStatusReport& report) noexcept;

  std::string_view text() const noexcept;
  const char* bytes() const noexcept { return bytes_; }
  std::uint32_t size() const noexcept { return size_; }

 private:
  bool allocate(std::uint32_t size, tStatusReport& report) noexcept;

  char* bytes_ = nullptr;
  std::uint32_t size_ = 0;
};

// Installs the list's SAFEMODE images with the external tools; with
// `force` 0 only while each is newer than the installed safe mode.
void installSafeModeImages(const tFirmwareImage* images, std::int32_t force, tStatus& status) noexcept;

}  // namespace nKESTREL1400
