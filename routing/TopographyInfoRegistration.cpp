#include "routing/TopographyInfoRegistration.h"

#include <cstring>
#include <iterator>
#include <string>

#include "kestrel/kestrel.h"
#include "routing/routingFailure.h"
#include "routing/pxiContTriggerRouterTerminals.h"
#include "routing/wellFormedText.h"

namespace tarn {
namespace {

constexpr nKESTREL1400::kSourceLocation kNotFoundLocation{"TopographyInfoRegistration", 36};
constexpr const char* kNotFoundText = "Topography not found: ";

// Filled during static initialisation only; zero at load.
constinit const tTopographyInfo* gTopographies[kMaxTopographies] = {};
constinit std::uint32_t gTopographyCount = 0;

constexpr tTopographyInfo kPxiContTriggerRouter{kPxiContTriggerRouterName,
                                                std::size(kPxiContTriggerRouterTerminals),
                                                kPxiContTriggerRouterTerminals};
const tTopographyRegistration gPxiContTriggerRouterRegistration{&kPxiContTriggerRouter};

// The name may be the driver's answer: only well-formed UTF-8 of it goes
// into the report, which must stay valid JSON.
[[noreturn]] void raiseNotFound(const char* name) {
  std::string text = kNotFoundText;
  text += wellFormedText(name);
  raiseFailure(zepalerr_badSelector, kNotFoundLocation, "zepalerr_badSelector", text.c_str());
}

}  // namespace

bool registerTopography(const tTopographyInfo* topography) noexcept {
  if (topography == nullptr || gTopographyCount >= kMaxTopographies) return false;
  gTopographies[gTopographyCount] = topography;
  ++gTopographyCount;
  return true;
}

const tTopographyInfo& findTopography(const char* name) {
  for (std::uint32_t i = 0; i < gTopographyCount; ++i) {
    if (std::strcmp(gTopographies[i]->name, name) == 0) return *gTopographies[i];
  }
  raiseNotFound(name);
}

}  // namespace tarn
