// Profile loading as kestrel-sim does it: the text is parsed, then checked
// member by member. Any outcome but a profile or a refusal is a fault.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "sim/profile/profileChecks.h"
#include "sim/profile/tProfile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  nlohmann::json document;
  try {
    document = nlohmann::json::parse(data, data + size);
  } catch (const nlohmann::json::exception& error) {
    const std::string text = nKESTRELSIM::parseErrorText(error.what());
    if (text.empty() || text.front() == '[') __builtin_trap();
    return 0;
  }
  try {
    const auto profile = nKESTRELSIM::tProfile::fromJson(document);
    for (const auto& [name, script] : profile.tools) nKESTRELSIM::refuseEscapingName(name, "tools");
    for (const auto& interface : profile.interfaces) {
      nKESTRELSIM::refuseEscapingName(interface.suffix, "suffix");
      nKESTRELSIM::refuseEscapingName(interface.driver, "driver");
    }
  } catch (const std::invalid_argument&) {
  }
  return 0;
}
