// Runs a test against the simulated controller built from a profile, and
// helpers for reading attributes through the public interface.
#pragma once

#include <gtest/gtest.h>
#include <kestrel/kestrel.h>

#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "platform/deviceInterfaceNames.h"
#include "sim/models/tHostControllerModel.h"
#include "sim/models/tMartenModel.h"
#include "sim/profile/tProfile.h"
#include "sim/system/tSimulator.h"

class SimulatedBoard : public ::testing::Test {
 protected:
  ~SimulatedBoard() override {
    while (opens_-- > 0) KESTREL_closeController(kControllerHandle);
    if (sim().isStarted()) sim().stop();
  }

  static nKESTRELSIM::tSimulator& sim() { return nKESTRELSIM::tSimulator::instance(); }

  // The default controller: every interface, the default board.
  static nKESTRELSIM::tProfile defaultProfile() { return nKESTRELSIM::tProfile::defaults(); }
  static nKESTRELSIM::tProfile withoutCompanion() {
    auto profile = defaultProfile();
    std::erase_if(profile.interfaces,
                  [](const auto& entry) { return entry.name == nKESTREL1400::kCompanionInterface; });
    return profile;
  }
  // The default board's description, to change before use.
  static nlohmann::json defaultBoard() {
    std::ifstream file(std::string(KESTREL_SIM_SMBIOS_BOARDS_DIR) + "/default.json");
    return nlohmann::json::parse(file);
  }
  // The structure of `type` (the n-th of it) in a board description.
  static nlohmann::json& structure(nlohmann::json& board, int type, int n = 0) {
    for (auto& entry : board["smbios"]["structures"]) {
      if (entry["type"] == type && n-- == 0) return entry;
    }
    throw std::out_of_range("no such structure");
  }

  void start(nKESTRELSIM::tProfile profile) {
    sim().start();
    profile.apply(sim(), true);
  }
  void start(nKESTRELSIM::tProfile profile, const nlohmann::json& board) {
    sim().start();
    const std::string path = sim().root() + "/board.json";
    std::ofstream(path) << board.dump();
    profile.board = path;
    profile.apply(sim(), true);
  }

  std::int32_t open() {
    tKestrelHandle handle = 0;
    const std::int32_t code = KESTREL_openController(&handle);
    if (code >= 0) {
      ++opens_;
      EXPECT_EQ(handle, kControllerHandle);
    }
    return code;
  }
  void close() {
    if (opens_ > 0) --opens_;
    KESTREL_closeController(kControllerHandle);
  }

  struct U32 {
    std::int32_t code;
    std::uint32_t value;
  };
  static U32 u32(std::uint32_t id, std::uint32_t initial = 0xDEADBEEF) {
    U32 result{0, initial};
    result.code = KESTREL_getAttributeU32(kControllerHandle, id, &result.value);
    return result;
  }
  struct Text {
    std::int32_t code;
    std::string value;
    std::uint64_t needed;
  };
  // The two-call protocol: the size, then the text.
  static Text text(std::uint32_t id) {
    Text result{0, "", 0};
    result.code = KESTREL_getAttributeUTF8(kControllerHandle, id, nullptr, &result.needed);
    if (result.code != kestrelerr_bufferTooSmall) return result;
    std::string buffer(result.needed, '\0');
    std::uint64_t length = buffer.size();
    result.code = KESTREL_getAttributeUTF8(kControllerHandle, id, buffer.data(), &length);
    if (result.code >= 0) result.value = buffer.c_str();
    return result;
  }

 private:
  int opens_ = 0;
};

// Runs `body` in a child process, so that it may load an SMBIOS table of its
// own; the test fails when the child reports a failure.
#define IN_OWN_PROCESS(body)                                                      \
  EXPECT_EXIT(                                                                    \
      {                                                                           \
        body;                                                                     \
        if (sim().isStarted()) sim().stop();                                      \
        std::_Exit(::testing::Test::HasFailure() ? 1 : 0);                        \
      },                                                                          \
      ::testing::ExitedWithCode(0), "")
