// A routing session on a fresh simulated trigger router, driven through the
// exported functions as the framework drives it.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "kestrel/quill_ra_kestrel.h"
#include "platform/deviceInterfaceNames.h"
#include "platform/tStatusReport.h"
#include "sim/models/tTriggerRouterModel.h"
#include "sim/system/tSimulator.h"

// What the framework's allocator was asked for, and whether it refuses.
struct tAllocatorLog {
  std::vector<std::size_t> sizes;
  bool refuse = false;
};
inline tAllocatorLog gAllocatorLog;

inline void* loggingAllocator(void* existing, std::size_t size) {
  gAllocatorLog.sizes.push_back(size);
  return gAllocatorLog.refuse ? nullptr : std::realloc(existing, size);
}

// One call's outcome: its result, answer and status report.
struct tRouteCall {
  std::uint32_t ticket = 0;
  bool answered = false;
  std::string answer;
  std::int32_t code = 0;
  std::string report;
};

class RouteSession : public ::testing::Test {
 protected:
  RouteSession() {
    sim().start();
    devicePath_ = sim().addInterface(nKESTREL1400::kTriggerRouterInterface).devicePath;
    gAllocatorLog = {};
  }
  ~RouteSession() override {
    quill_ra_kestrel_destroySession(session_);
    sim().stop();
  }
  void SetUp() override {
    nKESTREL1400::tScopedStatusReport status;
    session_ = quill_ra_kestrel_createSession(devicePath_.c_str(), &loggingAllocator, &status.get());
    ASSERT_NE(session_, nullptr) << nKESTREL1400::reportText(status.get());
  }

  static nKESTRELSIM::tSimulator& sim() { return nKESTRELSIM::tSimulator::instance(); }
  static nKESTRELSIM::tTriggerRouterModel& router() { return sim().triggerRouter(); }
  static std::size_t driverCalls(std::uint32_t code) { return sim().requests(code).size(); }

  tRouteCall calculate(const char* seeds, const char* destinations, const char* modifiers = "{}") {
    return call([&](char** answer, tStatusReport* status) {
      return quill_ra_kestrel_calculateRoute(session_, seeds, destinations, modifiers, answer, status);
    });
  }
  tRouteCall path(std::uint32_t ticket) {
    return call([&](char** answer, tStatusReport* status) {
      quill_ra_kestrel_getRouteTerminalPath(session_, ticket, answer, status);
      return 0u;
    });
  }
  tRouteCall handledConstraints() {
    return call([&](char** answer, tStatusReport* status) {
      quill_ra_kestrel_getHandledConstraints(session_, answer, status);
      return 0u;
    });
  }

  template <class Operation>
  static tRouteCall call(Operation operation) {
    nKESTREL1400::tScopedStatusReport status;
    char* answer = nullptr;
    tRouteCall result;
    result.ticket = operation(&answer, &status.get());
    result.answered = answer != nullptr;
    if (answer != nullptr) result.answer = answer;
    std::free(answer);
    result.code = status.code();
    result.report = nKESTREL1400::reportText(status.get());
    return result;
  }

  quill_ra_kestrel_session* session_ = nullptr;
  std::string devicePath_;
};

// A seed object naming `terminal` at `cost` without constraints.
inline std::string seed(const std::string& terminal, const std::string& cost = "1") {
  return R"({"terminal":")" + terminal + R"(","cost":)" + cost + R"(,"constraints":{}})";
}
