// Profiles: what they build in the simulator, and what they refuse.
#include <sys/stat.h>

#include <cerrno>
#include <stdexcept>

#include "kestrel/kestrel.h"
#include "platform/driverWireFormat.h"
#include "sim/models/tHostControllerModel.h"
#include "sim/models/tTriggerRouterModel.h"
#include "sim/profile/tProfile.h"
#include "simulatedController.h"

namespace {

using nKESTRELSIM::tProfile;
using nlohmann::json;

class Profiles : public SimulatedController {};

TEST_F(Profiles, DefaultsBuildAControllerWithTheDefaultBoard) {
  tProfile::defaults().apply(sim(), true);
  EXPECT_EQ(sim().interfaces().size(), 4u);
  EXPECT_FALSE(sim().hostController().smBiosTable().empty());
  EXPECT_FALSE(sim().sandboxPath("/run/zesvc/smbios/smbiosdmp").empty());
  struct stat info {};
  EXPECT_EQ(::stat("/run/zesvc/smbios/smbiosdmp", &info), 0);
}

TEST_F(Profiles, MembersReachTheModels) {
  const auto profile = tProfile::fromJson(json::parse(R"({
    "board": "",
    "interfaces": [
      { "name": "hostController_hostController", "attributes": { "0x20013100": 7, "0x18000000": "hello" } },
      { "name": "hostController_hostControllerTriggerRouter" } ],
    "topographyName": "otherRouter",
    "tools": { "zesafemodeversion": "#!/bin/sh\necho 0.0.0f0\n" },
    "faults": [ { "request": "0xC0207B0B", "count": 2, "errno": 5 },
                { "call": "stat", "errno": 13 } ] })"));
  profile.apply(sim(), true);
  EXPECT_EQ(sim().hostController().attributes().u32(KESTREL_ATTR_DEVICE_VALUE_1), 7u);
  EXPECT_EQ(sim().hostController().attributes().text(KESTREL_ATTR_USER_TEXT), "hello");
  EXPECT_TRUE(sim().hostController().smBiosTable().empty());
  EXPECT_EQ(sim().triggerRouter().topographyName(), "otherRouter");
  struct stat info {};
  EXPECT_EQ(::stat("/usr/local/zecorp/bin/zesafemodeversion", &info), -1);  // the scripted fault
  EXPECT_EQ(errno, EACCES);
  EXPECT_EQ(::stat("/usr/local/zecorp/bin/zesafemodeversion", &info), 0);
}

TEST_F(Profiles, MalformedMembersAreNamed) {
  const char* const refused[][2] = {
      {R"([])", "(top)"},
      {R"({"interfaces": {}})", "interfaces"},
      {R"({"interfaces": [{"name": "x", "attributes": {"zz": 1}}]})", "interfaces[0].attributes"},
      {R"({"interfaces": [{"name": "x", "attributes": {"0x1": -1}}]})", "interfaces[0].attributes.0x1"},
      {R"({"faults": [{"request": "nKESTREL1400::nDriverWire::kUpdateFirmware"}]})", "faults[0]"},
      {R"({"faults": [{"call": "read", "errno": 5}]})", "faults[0].call"},
      {R"({"faults": [{"call": "poll", "request": 1, "errno": 5}]})", "faults[0]"},
      {R"({"smbiosDump": 1})", "smbiosDump"},
  };
  for (const auto& [text, member] : refused) {
    try {
      tProfile::fromJson(json::parse(text));
      ADD_FAILURE() << text;
    } catch (const std::invalid_argument& error) {
      EXPECT_NE(std::string(error.what()).find(member), std::string::npos) << error.what();
    }
  }
}

}  // namespace
