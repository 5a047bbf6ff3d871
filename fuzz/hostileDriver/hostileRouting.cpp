// A routing session against the hostile driver, as the routing framework
// drives one: the terminal walk, a route from a JSON request through its
// reservation and programming and back, demotions, then the session's end.
#include <kestrel/kestrel.h>
#include <kestrel/quill_ra_kestrel.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "hostileChecks.h"
#include "platform/driverWireFormat.h"

namespace hostile {
namespace {

using nKESTRELSIM::tByteScript;
using nKESTRELSIM::tSimulator;

constexpr const char* kTerminals[] = {"FLOAT",     "TRIG_SMB",  "WD_Terminal", "PXI_Trig0", "PXI_Trig1", "PXI_Trig2",
                                      "PXI_Trig3", "PXI_Trig4", "PXI_Trig5",   "PXI_Trig6", "PXI_Trig7", "pxi_trig8"};

std::atomic<int> demotions{0};

void onDemotion(void*, std::int32_t, tStatusReport* report) {
  if (report == nullptr) std::abort();
  tReport::checkRecord(*report);
  demotions.fetch_add(1, std::memory_order_relaxed);
}

void walkTerminals(quill_ra_kestrel_session* session, tByteScript& script) {
  tReport status;
  quill_ra_kestrel_iterator* iterator = quill_ra_kestrel_getAllTerminals(session, status);
  status.check();
  if (iterator == nullptr) return;
  const std::uint8_t resetAt = script.next() % 12;
  for (int step = 0; step < 16 && !quill_ra_kestrel_TerminalIterator_isEnd(iterator); ++step) {
    tReport read;
    const char* name = quill_ra_kestrel_TerminalIterator_getStringAttribute(iterator, "name", read);
    if (name != nullptr && std::strlen(name) > 64) std::abort();
    quill_ra_kestrel_TerminalIterator_getU32Attribute(iterator, "busLine", read);
    quill_ra_kestrel_TerminalIterator_getBoolAttribute(iterator, "isExternal", read);
    read.check();
    if (step == resetAt) {
      const char* mode = script.next() % 2 == 0 ? "default" : "floating";
      tReport reset;
      quill_ra_kestrel_TerminalIterator_resetTerminal(iterator, mode, reset);
      reset.check();
      tReport calculate;
      quill_ra_kestrel_TerminalIterator_calculateResetTerminal(session, iterator, mode, calculate);
      calculate.check();
    }
    tReport next;
    quill_ra_kestrel_TerminalIterator_next(iterator, next);
    next.check();
  }
  quill_ra_kestrel_TerminalIterator_destroy(iterator);
}

// A route from the input's seed and destination, reserved, programmed and
// released again, with demotions delivered in between.
void useRoute(quill_ra_kestrel_session* session, tSimulator& sim, tByteScript& script) {
  const std::string seeds = std::string(R"([{"terminal":")") + kTerminals[script.next() % std::size(kTerminals)] +
                            R"(","cost":1,"constraints":{}}])";
  const std::string destinations = std::string(R"([")") + kTerminals[script.next() % std::size(kTerminals)] + R"("])";
  char* answer = nullptr;
  tReport calculate;
  const std::uint32_t ticket =
      quill_ra_kestrel_calculateRoute(session, seeds.c_str(), destinations.c_str(), "{}", &answer, calculate);
  calculate.check();
  checkAnswer(answer);
  tReport reserve;
  quill_ra_kestrel_reserveRoute(session, ticket, &answer, reserve);
  reserve.check();
  checkAnswer(answer);
  tReport program;
  quill_ra_kestrel_programRoute(session, ticket, program);
  program.check();
  tReport path;
  quill_ra_kestrel_getRouteTerminalPath(session, ticket, &answer, path);
  path.check();
  checkAnswer(answer);
  // Demotions as the input says: of this ticket, of any, or raw bytes.
  for (int i = script.next() % 3; i > 0; --i) {
    std::uint8_t payload[8];
    script.fill(payload, sizeof payload);
    if (script.next() % 2 == 0) {
      std::memcpy(payload, &ticket, sizeof ticket);
      sim.sendNotification(nKESTREL1400::nDriverWire::kDemotionNotificationId, {payload, 4});
    } else {
      for (const std::uint32_t port : sim.ports()) sim.sendRaw(port, payload);
    }
  }
  quill_ra_kestrel_unprogramRoute(session, ticket);
  quill_ra_kestrel_unreserveRoute(session, ticket);
  if (script.next() % 2 == 0) quill_ra_kestrel_beginExceptionalRouteDestruction(session, ticket);
  quill_ra_kestrel_destroyRoute(session, ticket);
}

}  // namespace

void useRouting(tSimulator& sim, tByteScript& script) {
  char devicePath[512] = {};
  std::uint64_t length = sizeof devicePath;
  if (KESTREL_getAttributeUTF8(kControllerHandle, kTriggerRouterPathAttribute, devicePath, &length) < 0) return;
  if (std::memchr(devicePath, 0, sizeof devicePath) == nullptr) std::abort();
  tReport created;
  quill_ra_kestrel_session* session = quill_ra_kestrel_createSessionWithDemotionFunc(
      devicePath, [](void* existing, std::size_t size) { return std::realloc(existing, size); }, &onDemotion, nullptr,
      created);
  created.check();
  if (session == nullptr) return;
  char* constraints = nullptr;
  tReport handled;
  quill_ra_kestrel_getHandledConstraints(session, &constraints, handled);
  handled.check();
  checkAnswer(constraints);
  walkTerminals(session, script);
  useRoute(session, sim, script);
  quill_ra_kestrel_destroySession(session);
}

}  // namespace hostile
