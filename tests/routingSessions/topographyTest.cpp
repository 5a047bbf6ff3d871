// The topography registry.
#include <gtest/gtest.h>

#include <string>

#include "kestrel/kestrel.h"
#include "platform/zeerrException.h"
#include "routing/TopographyInfoRegistration.h"

namespace {

TEST(TopographyTest, TheTriggerRouterIsRegisteredWithItsElevenTerminals) {
  const tarn::tTopographyInfo& topography = tarn::findTopography("pxiContTriggerRouter");
  EXPECT_EQ(topography.terminalCount, 11u);
  EXPECT_STREQ(topography.terminals[0].name, "FLOAT");
  EXPECT_STREQ(topography.terminals[10].name, "PXI_Trig7");
}

TEST(TopographyTest, NamesAreComparedExactly) {
  for (const char* name : {"pxicontTriggerRouter", "pxiContTriggerRouter ", "", "pxiCont"}) {
    try {
      tarn::findTopography(name);
      ADD_FAILURE() << "found '" << name << "'";
    } catch (const zeerr::Exception& exception) {
      EXPECT_EQ(exception.statusReport().code, zepalerr_badSelector);
      EXPECT_NE(std::string(exception.what()).find(std::string("\"Topography not found: ") + name + "\""),
                std::string::npos)
          << exception.what();
    }
  }
}

TEST(TopographyTest, TheRegistryRefusesAThirtyThirdEntry) {
  static const tarn::tTopographyInfo kExtra{"extra", 0, nullptr};
  unsigned accepted = 0;
  while (tarn::registerTopography(&kExtra) && accepted < 100) ++accepted;
  EXPECT_EQ(accepted, tarn::kMaxTopographies - 1) << "one place is the built-in topography's";
  EXPECT_EQ(tarn::findTopography("pxiContTriggerRouter").terminalCount, 11u);
}

}  // namespace
