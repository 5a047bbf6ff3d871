// The routing adaptor's exported functions. Each export is one forwarding
// line through one of three wrapper shapes; no exception ever leaves them,
// since an escaping exception would end the framework's process.
#include <exception>
#include <new>
#include <type_traits>

#include "kestrel/kestrel.h"
#include "kestrel/quill_ra_kestrel.h"
#include "platform/tStatusReport.h"
#include "platform/zeerrException.h"
#include "routing/TarnRoutingAdaptor.h"
#include "routing/TarnTerminalIterator.h"
#include "routing/routingFailure.h"

namespace {

using quill::RoutingAdaptorSessionInterface;
using quill::TerminalIteratorInterface;

constexpr const char* kFile = "routingAdaptorExports";
constexpr std::int32_t kApiVersion = 3;
constexpr const char* kNoHandleText = "no session or terminal iterator given";

RoutingAdaptorSessionInterface* asSession(quill_ra_kestrel_session* session) noexcept {
  return reinterpret_cast<tarn::TarnRoutingAdaptorSession*>(session);
}

TerminalIteratorInterface* asIterator(quill_ra_kestrel_iterator* iterator) noexcept {
  return reinterpret_cast<tarn::TarnTerminalIterator*>(iterator);
}

// Exceptions of no kind the adaptor raises (a framework callback's, the
// standard library's) still become an error in the report.
void reportUnexpected(tStatusReport& status, std::uint32_t line, const char* what) noexcept {
  tarn::reportFailure(status, brioerr_systemError, {kFile, line}, "brioerr_systemError", what);
}

// Status-taking exports: nothing runs after an error; every exception
// becomes the caller's status and the failure value.
template <typename Operation, typename Result = std::invoke_result_t<Operation>>
Result withStatus(tStatusReport* status, std::uint32_t line, Operation operation) noexcept {
  if (status == nullptr || status->code < 0) return Result();
  try {
    return operation();
  } catch (const std::bad_alloc&) {
    nKESTREL1400::setCode(*status, brioerr_memoryFull, {kFile, line}, "nBRIOS100::tStatus::kMemoryFull");
  } catch (zeerr::ExceptionBase& exception) {
    nKESTREL1400::mergeFrom(*status, exception.statusReport());
  } catch (const std::exception& exception) {
    reportUnexpected(*status, line, exception.what());
  } catch (...) {
    reportUnexpected(*status, line, "unknown exception");
  }
  return Result();
}

// The same for a session or iterator handle that must not be null.
template <typename Handle, typename Operation, typename Result = std::invoke_result_t<Operation>>
Result onHandle(Handle* handle, tStatusReport* status, std::uint32_t line, Operation operation) noexcept {
  return withStatus(status, line, [&]() -> Result {
    if (handle == nullptr) {
      tarn::raiseFailure(brioerr_invalidParameter, {kFile, line}, "brioerr_invalidParameter", kNoHandleText);
    }
    return operation();
  });
}

// Teardown exports: the caller learns nothing of a failure.
template <typename Operation>
void silently(quill_ra_kestrel_session* session, Operation operation) noexcept {
  if (session == nullptr) return;
  try {
    operation(asSession(session));
  } catch (...) {
  }
}

}  // namespace

extern "C" {

int32_t quill_ra_kestrel_getAPIVersion(void) { return kApiVersion; }

quill_ra_kestrel_session* quill_ra_kestrel_createSession(const char* devicePath, tQuillAnswerAllocator allocator,
                                                         tStatusReport* status) {
  return quill_ra_kestrel_createSessionWithDemotionFunc(devicePath, allocator, nullptr, nullptr, status);
}

quill_ra_kestrel_session* quill_ra_kestrel_createSessionWithDemotionFunc(const char* devicePath,
                                                                         tQuillAnswerAllocator allocator,
                                                                         tQuillDemotionFunction demotionFunction,
                                                                         void* demotionContext, tStatusReport* status) {
  return withStatus(status, 103, [&] {
    auto* session = new tarn::TarnRoutingAdaptorSession(devicePath, allocator, demotionFunction, demotionContext);
    return reinterpret_cast<quill_ra_kestrel_session*>(session);
  });
}

void quill_ra_kestrel_destroySession(quill_ra_kestrel_session* session) {
  silently(session, [](RoutingAdaptorSessionInterface* s) { delete s; });
}

void quill_ra_kestrel_getHandledConstraints(quill_ra_kestrel_session* session, char** answer, tStatusReport* status) {
  onHandle(session, status, 126, [&] { asSession(session)->getHandledConstraints(answer); });
}

uint32_t quill_ra_kestrel_calculateRoute(quill_ra_kestrel_session* session, const char* seeds,
                                         const char* destinations, const char* modifiers, char** answer,
                                         tStatusReport* status) {
  return onHandle(session, status, 143,
                  [&] { return asSession(session)->calculateRoute(seeds, destinations, modifiers, answer); });
}

void quill_ra_kestrel_reserveRoute(quill_ra_kestrel_session* session, uint32_t ticket, char** conflicts,
                                   tStatusReport* status) {
  onHandle(session, status, 160, [&] { asSession(session)->reserveRoute(ticket, conflicts); });
}

void quill_ra_kestrel_programRoute(quill_ra_kestrel_session* session, uint32_t ticket, tStatusReport* status) {
  onHandle(session, status, 176, [&] { asSession(session)->programRoute(ticket); });
}

void quill_ra_kestrel_unprogramRoute(quill_ra_kestrel_session* session, uint32_t ticket) {
  silently(session, [&](RoutingAdaptorSessionInterface* s) { s->unprogramRoute(ticket); });
}

void quill_ra_kestrel_unreserveRoute(quill_ra_kestrel_session* session, uint32_t ticket) {
  silently(session, [&](RoutingAdaptorSessionInterface* s) { s->unreserveRoute(ticket); });
}

void quill_ra_kestrel_beginExceptionalRouteDestruction(quill_ra_kestrel_session* session, uint32_t ticket) {
  silently(session, [&](RoutingAdaptorSessionInterface* s) { s->beginExceptionalRouteDestruction(ticket); });
}

void quill_ra_kestrel_destroyRoute(quill_ra_kestrel_session* session, uint32_t ticket) {
  silently(session, [&](RoutingAdaptorSessionInterface* s) { s->destroyRoute(ticket); });
}

void quill_ra_kestrel_getRouteTerminalPath(quill_ra_kestrel_session* session, uint32_t ticket, char** answer,
                                           tStatusReport* status) {
  onHandle(session, status, 236, [&] { asSession(session)->getRouteTerminalPath(ticket, answer); });
}

quill_ra_kestrel_iterator* quill_ra_kestrel_getAllTerminals(quill_ra_kestrel_session* session, tStatusReport* status) {
  return onHandle(session, status, 251, [&] {
    return reinterpret_cast<quill_ra_kestrel_iterator*>(
        static_cast<tarn::TarnTerminalIterator*>(asSession(session)->getAllTerminals(status)));
  });
}

uint32_t quill_ra_kestrel_TerminalIterator_calculateResetTerminal(quill_ra_kestrel_session* session,
                                                                  quill_ra_kestrel_iterator* iterator,
                                                                  const char* mode, tStatusReport* status) {
  return onHandle(session, status, 266,
                  [&] { return asSession(session)->calculateResetTerminal(asIterator(iterator), mode); });
}

void quill_ra_kestrel_TerminalIterator_resetTerminal(quill_ra_kestrel_iterator* iterator, const char* mode,
                                                     tStatusReport* status) {
  onHandle(iterator, status, 280, [&] { asIterator(iterator)->resetTerminal(mode, status); });
}

uint32_t quill_ra_kestrel_TerminalIterator_getU32Attribute(quill_ra_kestrel_iterator* iterator, const char* name,
                                                           tStatusReport* status) {
  return onHandle(iterator, status, 294, [&] { return asIterator(iterator)->getU32Attribute(name, status); });
}

bool quill_ra_kestrel_TerminalIterator_getBoolAttribute(quill_ra_kestrel_iterator* iterator, const char* name,
                                                        tStatusReport* status) {
  return onHandle(iterator, status, 308, [&] { return asIterator(iterator)->getBoolAttribute(name, status); });
}

const char* quill_ra_kestrel_TerminalIterator_getStringAttribute(quill_ra_kestrel_iterator* iterator,
                                                                 const char* name, tStatusReport* status) {
  return onHandle(iterator, status, 322, [&] { return asIterator(iterator)->getStringAttribute(name, status); });
}

void quill_ra_kestrel_TerminalIterator_next(quill_ra_kestrel_iterator* iterator, tStatusReport* status) {
  onHandle(iterator, status, 335, [&] { asIterator(iterator)->next(status); });
}

bool quill_ra_kestrel_TerminalIterator_isEnd(quill_ra_kestrel_iterator* iterator) {
  if (iterator == nullptr) return true;
  try {
    return asIterator(iterator)->isEnd();
  } catch (...) {
    return true;
  }
}

void quill_ra_kestrel_TerminalIterator_destroy(quill_ra_kestrel_iterator* iterator) {
  try {
    delete asIterator(iterator);
  } catch (...) {
  }
}

}  // extern "C"
