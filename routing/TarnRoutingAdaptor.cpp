#include "routing/TarnRoutingAdaptor.h"

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "kestrel/kestrel.h"
#include "platform/driverWireFormat.h"
#include "platform/tStatusReport.h"
#include "platform/zesdbgAssert.h"
#include "routing/QuillUtils.h"
#include "routing/routingFailure.h"
#include "routing/tAnswerText.h"
#include "routing/tSessionReader.h"

namespace tarn {
namespace {

using nKESTREL1400::kSourceLocation;
using nKESTREL1400::tStatus;
using nKESTREL1400::nDriverWire::tReservationConflict;

constexpr const char* kFile = "TarnRoutingAdaptor";
constexpr kSourceLocation kNoDevicePath{kFile, 58};
constexpr kSourceLocation kPathTooLong{kFile, 64};
constexpr kSourceLocation kNoAllocator{kFile, 70};
constexpr kSourceLocation kTooManyConflicts{kFile, 182};
constexpr kSourceLocation kNoAnswerPointer{kFile, 212};
constexpr kSourceLocation kAnswerNoMemory{kFile, 214};
constexpr std::int32_t kArrayAssertLine = 120;
constexpr std::size_t kConflictAnswerCapacity = 256;

// The reader's handler: relays a demotion to the framework's callback on
// the reader thread, with a report of its own released afterwards.
void dispatchDemotion(std::int32_t kind, nKESTREL1400::nBRIO000::tIONotification* notification, void*,
                      std::uint32_t, tStatus& status) noexcept {
  if (status.isError() || kind != nKESTREL1400::nBRIO000::tIONotificationReader::kNotify || notification == nullptr)
    return;
  auto* demotion = static_cast<tDemotionNotification*>(notification);
  const tQuillDemotionFunction function = demotion->demotionFunction;
  if (function == nullptr) return;
  // Read everything before the call: the callback may destroy the session.
  void* const context = demotion->demotionContext;
  const tSessionReader::tCallbackScope scope(demotion->sessionReader);
  tStatusReport report = nKESTREL1400::makeStatusReport();
  try {
    function(context, kDemotionEvent, &report);
  } catch (...) {
    // Nothing may unwind into the reader's loop.
  }
  if (report.report != nullptr && report.reallocate != nullptr) report.reallocate(&report, 0);
}

void runOrRaise(const tStatus& status) { status.throwIfError(); }

std::string conflictAnswer(const std::vector<tReservationConflict>& conflicts) {
  tAnswerText answer("[]", kConflictAnswerCapacity);
  char* arrayEnd = answer.last();
  for (const tReservationConflict& conflict : conflicts) {
    char* object = tAnswerText::checked(jsonz_addObject(arrayEnd, nullptr, answer.grow()));
    object = tAnswerText::checked(jsonz_addUInt64(object, "sessionId", conflict.sessionId, answer.grow()));
    object = tAnswerText::checked(jsonz_addUInt32(object, "ticket", conflict.ticket, answer.grow()));
    arrayEnd = object + 1;
  }
  return std::string(answer.text());
}

}  // namespace

TarnRoutingAdaptorSession::TarnRoutingAdaptorSession(const char* devicePath, tQuillAnswerAllocator allocator,
                                                     tQuillDemotionFunction demotionFunction, void* demotionContext)
    : allocator_(allocator), demotion_(demotionFunction, demotionContext) {
  try {
    build(devicePath);
  } catch (...) {
    tearDown();
    throw;
  }
}

TarnRoutingAdaptorSession::~TarnRoutingAdaptorSession() { tearDown(); }

void TarnRoutingAdaptorSession::build(const char* devicePath) {
  if (allocator_ == nullptr) {
    raiseFailure(brioerr_invalidParameter, kNoAllocator, "brioerr_invalidParameter", "an answer allocator is required");
  }
  tStatus status;
  reader_ = tSessionReader::start(&dispatchDemotion, status);
  runOrRaise(status);
  demotion_.sessionReader = reader_;
  copyDevicePath(devicePath);
  link_ = std::make_shared<tSessionLink>(proxy_);
  openDevice();
  findDeviceTopography();
  demotion_.enable(reader_->reader(), proxy_, kDemotionNotificationId, status);
  runOrRaise(status);
}

void TarnRoutingAdaptorSession::copyDevicePath(const char* devicePath) {
  if (devicePath == nullptr) {
    raiseFailure(brioerr_invalidParameter, kNoDevicePath, "brioerr_invalidParameter", "no device path given");
  }
  // A path is copied whole or refused: a shortened path could name another
  // device.
  const std::size_t length = std::strlen(devicePath);
  if (!nKESTREL1400::nBRIO000::checkAssertion(length <= kMaxDevicePathLength, "tArray", kArrayAssertLine,
                                              "ASSERT(n <= kMaxSize)")) {
    raiseFailure(brioerr_invalidParameter, kPathTooLong, "brioerr_invalidParameter",
                 "device path longer than 256 bytes");
  }
  std::memcpy(devicePath_, devicePath, length + 1);
}

void TarnRoutingAdaptorSession::openDevice() {
  tStatus status;
  proxy_.open(devicePath_, status);
  runOrRaise(status);
}

void TarnRoutingAdaptorSession::findDeviceTopography() {
  char name[nKESTREL1400::nDriverWire::kTopographyNameSize] = {};
  tStatus status;
  proxy_.getTopographyName(name, sizeof name, status);
  runOrRaise(status);
  name[nKESTREL1400::nDriverWire::kTopographyNameSize - 1] = '\0';  // the driver's text need not end in the buffer
  topography_ = &findTopography(name);
  terminalNames_.emplace(*topography_);
}

void TarnRoutingAdaptorSession::tearDown() noexcept {
  if (link_ != nullptr) link_->sever();
  demotion_.disable();
  stopReader();
  proxy_.close();
}

void TarnRoutingAdaptorSession::stopReader() noexcept {
  if (reader_ == nullptr) return;
  // Off the reader's list first, so its loop never hands out this
  // notification again; then the thread ends (after a running callback
  // has returned) before the device is closed and the memory released.
  reader_->reader().registry().remove(&demotion_);
  demotion_.forgetReader();
  reader_->release();
  reader_ = nullptr;
}

void TarnRoutingAdaptorSession::getHandledConstraints(char** answer) {
  QuillUtils::getHandledConstraints(*this, answer);
}

std::uint32_t TarnRoutingAdaptorSession::calculateRoute(const char* seeds, const char* destinations,
                                                        const char* modifiers, char** answer) {
  return QuillUtils::calculateRoute(*this, seeds, destinations, modifiers, answer);
}

void TarnRoutingAdaptorSession::getRouteTerminalPath(std::uint32_t ticket, char** answer) {
  QuillUtils::getRouteTerminalPath(*this, ticket, answer);
}

void TarnRoutingAdaptorSession::reserveRoute(std::uint32_t ticket, char** conflicts) {
  std::vector<tReservationConflict> records(kReservationConflictCapacity);
  std::uint32_t count = kReservationConflictCapacity;
  tStatus status;
  proxy_.reserveRoute(ticket, records.data(), count, status);
  if (status.isNotError() || status.getCode() != quillerr_reservationConflict) return runOrRaise(status);
  if (count > kMaxReservationConflicts) {
    char text[96];
    std::snprintf(text, sizeof text, "the driver reported %u reservation conflicts, more than %u", count,
                  kMaxReservationConflicts);
    raiseFailure(brioerr_ioFailure, kTooManyConflicts, "brioerr_ioFailure", text);
  }
  if (conflicts != nullptr) {
    records.resize(count);  // records the driver could not fill read as zero
    const std::string answer = conflictAnswer(records);
    deliverAnswer(conflicts, answer.c_str(), answer.size() + 1);
  }
  runOrRaise(status);
}

void TarnRoutingAdaptorSession::programRoute(std::uint32_t ticket) {
  tStatus status;
  proxy_.programRoute(ticket, status);
  runOrRaise(status);
}

void TarnRoutingAdaptorSession::unprogramRoute(std::uint32_t ticket) {
  tStatus status;
  proxy_.unprogramRoute(ticket, status);
  runOrRaise(status);
}

void TarnRoutingAdaptorSession::unreserveRoute(std::uint32_t ticket) {
  tStatus status;
  proxy_.unreserveRoute(ticket, status);
  runOrRaise(status);
}

void TarnRoutingAdaptorSession::beginExceptionalRouteDestruction(std::uint32_t) {}

void TarnRoutingAdaptorSession::destroyRoute(std::uint32_t ticket) {
  tStatus status;
  proxy_.destroyRoute(ticket, status);
  runOrRaise(status);
}

char* TarnRoutingAdaptorSession::answerMemory(char** answer, std::size_t size) {
  if (answer == nullptr) {
    raiseFailure(brioerr_invalidParameter, kNoAnswerPointer, "brioerr_invalidParameter", "no answer pointer given");
  }
  void* memory = allocator_(*answer, size);
  if (memory == nullptr) {
    raiseFailure(brioerr_memoryFull, kAnswerNoMemory, "nBRIOS100::tStatus::kMemoryFull");
  }
  *answer = static_cast<char*>(memory);
  return *answer;
}

void TarnRoutingAdaptorSession::deliverAnswer(char** answer, const char* text, std::size_t size) {
  char* memory = answerMemory(answer, size);
  if (size == 0) return;
  const std::size_t length = std::min(std::strlen(text), size - 1);
  std::memcpy(memory, text, length);
  memory[length] = '\0';
}

}  // namespace tarn
