// One open connection of the routing framework to one trigger-router device:
// the device's proxy, its topography, and a reader thread that relays the
// driver's route demotions to the framework's callback.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

#include "codegen/tInterfaceProxy_routing.h"
#include "kestrel/quill_ra_kestrel.h"
#include "routing/RoutingAdaptorSessionInterface.h"
#include "routing/TopographyInfoRegistration.h"
#include "routing/tDemotionNotification.h"
#include "routing/tSessionLink.h"
#include "routing/tTerminalNames.h"

namespace tarn {

class tSessionReader;

inline constexpr std::uint32_t kReservationConflictCapacity = 8;
inline constexpr std::size_t kMaxDevicePathLength = 256;
inline constexpr std::uint32_t kDemotionNotificationId = 0x80000000u;
inline constexpr std::int32_t kDemotionEvent = 101;
// More conflicts than any driver could hold reservations for: such a count
// is a malformed reply, not an array to allocate.
inline constexpr std::uint32_t kMaxReservationConflicts = 4096;

class TarnRoutingAdaptorSession final : public quill::RoutingAdaptorSessionInterface {
 public:
  // Builds the session completely or throws zeerr::Exception (or
  // std::bad_alloc) after undoing every step already done.
  TarnRoutingAdaptorSession(const char* devicePath, tQuillAnswerAllocator allocator,
                            tQuillDemotionFunction demotionFunction, void* demotionContext);
  // May run inside the session's own demotion callback; it then leaves the
  // reader thread to end on its own instead of waiting for itself.
  ~TarnRoutingAdaptorSession() override;

  void getHandledConstraints(char** answer) override;
  std::uint32_t calculateRoute(const char* seeds, const char* destinations, const char* modifiers,
                               char** answer) override;
  void reserveRoute(std::uint32_t ticket, char** conflicts) override;
  void programRoute(std::uint32_t ticket) override;
  void unprogramRoute(std::uint32_t ticket) override;
  void unreserveRoute(std::uint32_t ticket) override;
  void beginExceptionalRouteDestruction(std::uint32_t ticket) override;
  void destroyRoute(std::uint32_t ticket) override;
  void getRouteTerminalPath(std::uint32_t ticket, char** answer) override;
  quill::TerminalIteratorInterface* getAllTerminals(tStatusReport* status) override;
  std::uint32_t calculateResetTerminal(quill::TerminalIteratorInterface* iterator, const char* mode) override;

  nKESTREL1400::tInterfaceProxy_routing& routingProxy() noexcept { return proxy_; }
  const tTopographyInfo& topography() const noexcept { return *topography_; }
  // The topography's terminal names as route requests match them.
  const tTerminalNames& terminalNames() const noexcept { return *terminalNames_; }
  // Tells the driver which session asks: unique among the live sessions.
  std::uint64_t sessionId() const noexcept { return reinterpret_cast<std::uintptr_t>(this); }
  const char* devicePath() const noexcept { return devicePath_; }

  // Places `text` (`size` bytes with its NUL) into memory from the
  // framework's allocator and stores it in *answer.
  void deliverAnswer(char** answer, const char* text, std::size_t size);
  // The framework's memory of `size` bytes (at least 1) for an answer that
  // is written straight into it, stored in *answer.
  char* answerMemory(char** answer, std::size_t size);

 private:
  void build(const char* devicePath);
  void copyDevicePath(const char* devicePath);
  void openDevice();
  void findDeviceTopography();
  void tearDown() noexcept;
  void stopReader() noexcept;

  nKESTREL1400::tInterfaceProxy_routing proxy_;
  tQuillAnswerAllocator allocator_;
  const tTopographyInfo* topography_ = nullptr;
  std::optional<tTerminalNames> terminalNames_;
  tSessionReader* reader_ = nullptr;
  tDemotionNotification demotion_;
  std::shared_ptr<tSessionLink> link_;
  char devicePath_[kMaxDevicePathLength + 1] = {};
};

}  // namespace tarn
