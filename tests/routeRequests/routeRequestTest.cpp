// Route requests through the exported functions on the simulated trigger
// router: what reaches the driver, the answers, and the refusals with their
// reports byte for byte.
#include <clocale>
#include <cstring>

#include <nlohmann/json.hpp>

#include "platform/driverWireFormat.h"
#include "routeSessionFixture.h"

namespace {

using namespace nKESTREL1400::nDriverWire;

std::vector<std::uint32_t> seedTerminals(const nKESTRELSIM::tTriggerRouterModel& model) {
  std::vector<std::uint32_t> ids;
  for (const tRouteSeed& s : model.lastSeeds()) ids.push_back(s.terminalId);
  return ids;
}

std::uint32_t sentOptions(const nKESTRELSIM::tSimulator& simulator) {
  const auto requests = simulator.requests(kCalculateRoute);
  tCalculateRouteInput input{};
  std::memcpy(&input, requests.back().input.data(), sizeof input);
  return input.options;
}

std::string refusal(int line, const std::string& debug) {
  return R"({"error_constant":"brioerr_invalidParameter","file":"QuillUtils","line":)" + std::to_string(line) +
         R"(,"component":"kestrel","quill_debug":)" + debug + "}";
}

TEST_F(RouteSession, HandledConstraintsAreTheConstraintTable) {
  const tRouteCall call = handledConstraints();
  EXPECT_EQ(call.code, 0);
  EXPECT_EQ(call.answer, R"(["inversionNeeded"])");
  EXPECT_EQ(gAllocatorLog.sizes, std::vector<std::size_t>{256});

  gAllocatorLog.refuse = true;
  const tRouteCall refused = handledConstraints();
  EXPECT_EQ(refused.code, -52000);
  EXPECT_NE(refused.report.find(R"("error_constant":"brioerr_memoryFull","file":"QuillUtils")"), std::string::npos)
      << refused.report;
}

TEST_F(RouteSession, RequestsThatAskNothingAnswerAnEmptyArrayWithoutTheDriver) {
  const std::string one = "[" + seed("PXI_Trig0") + "]";
  const struct {
    const char* seeds;
    const char* destinations;
    const char* modifiers;
  } cases[] = {
      {"[]", R"(["PXI_Trig1"])", "{}"},
      {one.c_str(), "[]", "{}"},
      {"not json", R"(["PXI_Trig1"])", "{}"},
      {one.c_str(), R"({"PXI_Trig1":1})", "{}"},
      {one.c_str(), R"(["PXI_Trig1"])", R"({"required":{"sameBus":"yes"}})"},
      {one.c_str(), R"(["PXI_Trig1"])", R"({"required":{"sameBus":true}})"},
  };
  for (const auto& c : cases) {
    gAllocatorLog.sizes.clear();
    const tRouteCall call = calculate(c.seeds, c.destinations, c.modifiers);
    EXPECT_EQ(call.code, 0) << call.report;
    EXPECT_EQ(call.ticket, 0u);
    EXPECT_EQ(call.answer, "[]");
    EXPECT_EQ(gAllocatorLog.sizes, std::vector<std::size_t>{3}) << c.seeds << c.destinations << c.modifiers;
  }
  EXPECT_EQ(driverCalls(kCalculateRoute), 0u);
}

TEST_F(RouteSession, TerminalNamesMatchWithoutRegardToCaseAfterEscapesAreDecoded) {
  const std::string seeds = "[" + seed("pxi_trig0") + "," + seed("TRIG_\xC5\xBFmb") + "," + seed("PXI\\u005fTrig7") +
                            "," + seed("no such terminal") + "," + seed("PXI_Trig0\\u0000") + "]";
  const tRouteCall call = calculate(seeds.c_str(), R"(["wd_TERMINAL", "float"])");
  EXPECT_EQ(call.code, 0) << call.report;
  EXPECT_EQ(seedTerminals(router()), (std::vector<std::uint32_t>{4, 2, 11, 0, 0}));
  EXPECT_EQ(router().lastDestinations(), (std::vector<std::uint32_t>{3, 1}));
}

TEST_F(RouteSession, CostIsTruncatedTowardZeroInAnyLocale) {
  const std::string seeds = "[" + seed("PXI_Trig0", "7.9") + "]";
  ASSERT_EQ(calculate(seeds.c_str(), R"(["PXI_Trig1"])").code, 0);
  EXPECT_EQ(router().lastSeeds().at(0).cost, 7u);

  const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
  bool comma = false;
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8"}) {
    if (std::setlocale(LC_NUMERIC, name) != nullptr && std::localeconv()->decimal_point[0] == ',') {
      comma = true;
      break;
    }
  }
  if (!comma) GTEST_SKIP() << "no locale with a decimal comma (scripts/install-deps.sh makes de_DE.UTF-8)";
  const tRouteCall call = calculate(seeds.c_str(), R"(["PXI_Trig1"])");
  std::setlocale(LC_NUMERIC, previous.c_str());
  ASSERT_EQ(call.code, 0);
  EXPECT_EQ(router().lastSeeds().at(0).cost, 7u);
}

TEST_F(RouteSession, SegmentsAreAnsweredInTheDriversOrderWithTwiceTheDestinationsAsRoom) {
  const std::string seeds = R"([{"terminal":"PXI_Trig0","cost":4,"constraints":{"inversionNeeded":true}},)" +
                            seed("TRIG_SMB", "2") + R"(,{"terminal":"FLOAT","cost":9,"srcDeviceToken":"dev","x":[1],)"
                            R"("constraints":{"inversionNeeded":false,"unknownConstraint":7}}])";
  const tRouteCall call = calculate(seeds.c_str(), R"(["PXI_Trig1","TRIG_SMB","PXI_Trig2"])");
  ASSERT_EQ(call.code, 0) << call.report;
  EXPECT_NE(call.ticket, 0u);
  EXPECT_EQ(router().lastSegmentRoom(), 6u);
  const std::string t = std::to_string(call.ticket);
  EXPECT_EQ(call.answer,
            R"([{"ticket":)" + t + R"(,"destination":"PXI_Trig1","cost":3,"indexOfStartingSeed":1,"constraints":{}},)" +
                R"({"ticket":)" + t +
                R"(,"destination":"TRIG_SMB","cost":5,"indexOfStartingSeed":0,"constraints":{"inversionNeeded":true}},)" +
                R"({"ticket":)" + t + R"(,"destination":"PXI_Trig2","cost":3,"indexOfStartingSeed":1,"constraints":{}}])");
  EXPECT_EQ(gAllocatorLog.sizes.back(), 512u);
  EXPECT_EQ(sentOptions(sim()), 0u);
}

TEST_F(RouteSession, ModifierGroupsSetTheOptions) {
  const std::string seeds = "[" + seed("PXI_Trig0") + "]";
  const struct {
    const char* modifiers;
    std::uint32_t options;
  } cases[] = {
      {R"({"optional":{"calculateIgnoresReservations":true}})", 1},
      {R"({"required":{"calculateIgnoresReservations":true}})", 1},
      {R"({"required":{"calculateIgnoresReservations":true},"optional":{"calculateIgnoresReservations":false}})", 0},
      {R"({"optional":{"other":5,"more":"x","flag":true},"vendor":{"a":null}})", 0},
      {R"(["required"])", 0},
  };
  for (const auto& c : cases) {
    const tRouteCall call = calculate(seeds.c_str(), R"(["PXI_Trig1"])", c.modifiers);
    ASSERT_EQ(call.code, 0) << c.modifiers << call.report;
    EXPECT_EQ(sentOptions(sim()), c.options) << c.modifiers;
  }
}

// Seeds as the driver received them: "id:cost" or "id:cost:inv".
std::vector<std::string> sentSeeds() {
  std::vector<std::string> seeds;
  for (const tRouteSeed& s : nKESTRELSIM::tSimulator::instance().triggerRouter().lastSeeds()) {
    seeds.push_back(std::to_string(s.terminalId) + ":" + std::to_string(s.cost) + (s.inversionNeeded != 0 ? ":inv" : ""));
  }
  return seeds;
}

// Documents of every shape read as they always did: the ordinary ones in
// one pass, the others (escaped names, nested values, repeated members)
// the thorough way, and a document that is not valid contributes nothing,
// even where a refusal stands before the fault. (What the driver answers
// does not matter here, only what it was sent.)
TEST_F(RouteSession, EveryShapeOfDocumentReadsAlike) {
  const struct {
    const char* seeds;
    const char* destinations;
    std::vector<std::string> sent;  // empty: nothing reaches the driver
    std::uint32_t options = 0;
    const char* modifiers = "{}";
  } cases[] = {
      {R"( [ { "terminal" : "pxi_TRIG3" , "cost" : 0012 , "constraints" : { "inversionNeeded" : true } } ] tail)",
       R"([ "float" ] tail)", {"7:12:inv"}},
      {R"([{"cost":1,"terminal":"FLOAT","cost":2e0,"constraints":{"inversionNeeded":true},"constraints":5}])",
       R"(["FLOAT"])", {"1:2"}},
      {R"([{"terminal":"TRIG_SMB","cost":3,"x":[{"y":null}],"constraints":{"other":"s","z":[1],"inversionNeeded":false,"w":null}}])",
       R"(["FLOAT"])", {"2:3"}},
      {R"([{"terminal":"PXI_Trig0_and_more_than_sixteen","cost":4294967295,"constraints":{"unknown":7}}])",
       R"(["PXI_TRIG0"])", {"0:4294967295"}},
      {R"([{"terminal":"FLOAT","cost":1,"constraints":{}}])", R"(["FLOAT"])", {"1:1"}, 1,
       R"({"optional":{"calculateIgnoresReservations":true},"other":{"a":[1]}})"},
      {R"([{"terminal":"FLOAT","cost":1,"constraints":{}},])", R"(["FLOAT"])", {}},
      {R"([{"terminal":"FLOAT","cost":1,"constraints":{},}])", R"(["FLOAT"])", {}},
      {R"([{"terminal":"FLOAT","cost":1,"constraints":{}}])", R"(["FLOAT",])", {}},
      {R"([{"terminal":5,"cost":1,"constraints":{}} x])", R"(["FLOAT"])", {}},
      {R"([{"terminal":"FLOAT","cost":1,"constraints":{"inversionNeeded":1}}, truex])", R"(["FLOAT"])", {}},
      {R"([{"terminal":"FLOAT","cost":1,"constraints":{}}])", "[\"FLO\x01AT\"]", {}},
  };
  for (const auto& c : cases) {
    sim().clearRequests();
    const tRouteCall call = calculate(c.seeds, c.destinations, c.modifiers);
    if (c.sent.empty()) {
      EXPECT_EQ(call.code, 0) << c.seeds << " " << c.destinations << " " << call.report;
      EXPECT_EQ(call.answer, "[]") << c.seeds << " " << c.destinations;
      EXPECT_EQ(driverCalls(kCalculateRoute), 0u) << c.seeds << " " << c.destinations;
      continue;
    }
    ASSERT_EQ(driverCalls(kCalculateRoute), 1u) << c.seeds;
    EXPECT_EQ(sentSeeds(), c.sent) << c.seeds;
    EXPECT_EQ(sentOptions(sim()), c.options) << c.modifiers;
  }
}

TEST_F(RouteSession, InvalidDocumentsAreRefusedWithTheirMessageAndLeaveTheAnswerAlone) {
  const struct {
    const char* seeds;
    const char* destinations;
    const char* modifiers;
    std::string report;
  } cases[] = {
      {R"([5])", "[]", "{}", refusal(559, R"("seed must be an object")")},
      {R"([{"terminal":4}])", "[]", "{}",
       refusal(452, R"({"msg":"terminal name must be a string","json":{"terminal":4}})")},
      {R"([{"terminal":"FLOAT","srcDeviceToken":1}])", "[]", "{}",
       refusal(464, R"({"msg":"srcDeviceToken name must be a string","json":{"terminal":"FLOAT","srcDeviceToken":1}})")},
      {R"([{"cost":"1"}])", "[]", "{}", refusal(475, R"({"msg":"cost must be a number","json":{"cost":"1"}})")},
      {R"([{"constraints":{}}])", "[]", "{}",
       refusal(493, R"({"msg":"terminal field missing","json":{"constraints":{}}})")},
      {R"([{"terminal":"FLOAT","cost":-1,"constraints":{}}])", "[]", "{}",
       refusal(501, R"({"msg":"cost field missing or invalid","json":{"terminal":"FLOAT","cost":-1,"constraints":{}}})")},
      {R"([ {"terminal":"FLOAT","cost":1} ])", "[]", "{}",
       refusal(509, R"({"msg":"constraints field missing","json":{"terminal":"FLOAT","cost":1}})")},
      {R"([{"terminal":"FLOAT","cost":1,"constraints":{"inversion\u004eeeded":1}}])", "[]", "{}",
       refusal(238, R"({"msg":"Unexpected constraint type","constraint":"inversionNeeded","expected_type":2,"actual_type":3})")},
      {R"([{"terminal":"FLOAT","cost":1,"constraints":{"inversionNeeded":"yes"}}])", "[]", "{}",
       refusal(238, R"({"msg":"Unexpected constraint type","constraint":"inversionNeeded","expected_type":2,"actual_type":4})")},
      {"[]", R"(["FLOAT", 2])", "{}", refusal(60, R"({"msg":"Terminals must be strings","json":["FLOAT", 2]})")},
      {"[]", "[]", R"({"required":{"x":5}})", refusal(1089, R"("Required route modifier has unrecognized type")")},
      {"[]", "[]", R"({"required":5})", refusal(1118, R"({"msg":"modifiers type must be object","json":{"required":5}})")},
  };
  for (const auto& c : cases) {
    const tRouteCall call = calculate(c.seeds, c.destinations, c.modifiers);
    EXPECT_EQ(call.code, -52005);
    EXPECT_EQ(call.report, c.report);
    EXPECT_FALSE(call.answered);
    EXPECT_EQ(call.ticket, 0u);
  }
  EXPECT_EQ(driverCalls(kCalculateRoute), 0u);
}

// Strict UTF-8 by the table of well-formed byte sequences: each lead byte
// range with the range its first continuation byte must fall in.
bool isStrictUtf8(const std::string& text) {
  struct tRow {
    unsigned char leadFirst, leadLast, secondFirst, secondLast;
    int length;
  };
  static constexpr tRow kRows[] = {{0xC2, 0xDF, 0x80, 0xBF, 2}, {0xE0, 0xE0, 0xA0, 0xBF, 3},
                                   {0xE1, 0xEC, 0x80, 0xBF, 3}, {0xED, 0xED, 0x80, 0x9F, 3},
                                   {0xEE, 0xEF, 0x80, 0xBF, 3}, {0xF0, 0xF0, 0x90, 0xBF, 4},
                                   {0xF1, 0xF3, 0x80, 0xBF, 4}, {0xF4, 0xF4, 0x80, 0x8F, 4}};
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
      ++i;
      continue;
    }
    const tRow* row = nullptr;
    for (const tRow& r : kRows) {
      if (lead >= r.leadFirst && lead <= r.leadLast) row = &r;
    }
    if (row == nullptr || i + static_cast<std::size_t>(row->length) > text.size()) return false;
    const auto second = static_cast<unsigned char>(text[i + 1]);
    if (second < row->secondFirst || second > row->secondLast) return false;
    for (int k = 2; k < row->length; ++k) {
      if ((static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]) & 0xC0) != 0x80) return false;
    }
    i += static_cast<std::size_t>(row->length);
  }
  return true;
}

// Whatever the framework sends, the report stays one JSON object in UTF-8:
// a document that is not exactly one strict JSON value goes in as a string,
// and so does one with bytes that are not well-formed UTF-8 (replaced).
TEST_F(RouteSession, ReportsStayJsonAndUtf8WhateverTheDocumentsHold) {
  const struct {
    const char* seeds;
    const char* destinations;
    const char* modifiers;
    const char* json;
  } cases[] = {
      {"[]", R"(["FLOAT", 2] trailing text)", "{}", R"("[\"FLOAT\", 2] trailing text")"},
      {"[]", "[1.]", "{}", R"("[1.]")"},
      {"[]", "[-]", "{}", R"("[-]")"},
      {"[]", "[\"FLOAT\", 2]\x01", "{}", R"("[\"FLOAT\", 2]\u0001")"},
      {"[]", "[]", R"({"required":[1]}})", R"("{\"required\":[1]}}")"},
      {"[]", "[]", R"({"required":[1e+]})", R"("{\"required\":[1e+]}")"},
      {"[]", "[]", R"({"required":[-0.5e-3]} )", R"({"required":[-0.5e-3]} )"},
      {"[{\"cost\":1,\"constraints\":{},\"note\":\"\xff\xfe\"}]", "[]", "{}",
       R"("{\"cost\":1,\"constraints\":{},\"note\":\"??\"}")"},
      {"[]", "[\"FLOAT\", 2, \"\xC0\xAF\xED\xA0\x80\xF4\x90\x80\x80\xE2\x82\"]", "{}",
       R"("[\"FLOAT\", 2, \"???????????\"]")"},
      {"[]", "[2, \"PXI_Trig\xC3\xA9\xF0\x9F\x98\x80\"]", "{}", "[2, \"PXI_Trig\xC3\xA9\xF0\x9F\x98\x80\"]"},
  };
  for (const auto& c : cases) {
    const tRouteCall call = calculate(c.seeds, c.destinations, c.modifiers);
    ASSERT_EQ(call.code, -52005) << c.seeds << c.destinations << c.modifiers;
    EXPECT_TRUE(isStrictUtf8(call.report)) << call.report;
    EXPECT_TRUE(nlohmann::json::accept(call.report)) << call.report;
    EXPECT_NE(call.report.find(std::string(R"("json":)") + c.json + "}}"), std::string::npos) << call.report;
  }
}

TEST_F(RouteSession, ADriverRefusalLeavesAnEmptyAnswerAndReportsTheDriver) {
  const std::string seeds = "[" + seed("PXI_Trig0") + "]";
  const tRouteCall call = calculate(seeds.c_str(), R"(["PXI_Trig1","unknown"])");
  EXPECT_EQ(call.code, -52005);
  EXPECT_EQ(call.ticket, 0u);
  EXPECT_EQ(call.answer, "[]");
  EXPECT_EQ(call.report, R"({"file":"tInterfaceProxy_routing","line":97,"component":"kestrel"})");
  EXPECT_EQ(router().lastDestinations(), (std::vector<std::uint32_t>{5, 0}));
}

// A driver that answers more segments than it had room for: the records it
// could not write read as zero, up to a bound; beyond it the reply is
// malformed and nothing is allocated for it.
TEST_F(RouteSession, SegmentsBeyondTheRoomReadAsZeroUpToABound) {
  const std::string seeds = "[" + seed("PXI_Trig0") + "]";
  router().answerSegmentCount(5);
  const tRouteCall padded = calculate(seeds.c_str(), R"(["PXI_Trig1","PXI_Trig2"])");
  ASSERT_EQ(padded.code, 0) << padded.report;
  const std::string zero = R"({"ticket":0,"destination":"","cost":0,"indexOfStartingSeed":0,"constraints":{}})";
  EXPECT_EQ(padded.answer.substr(padded.answer.size() - zero.size() * 1 - 1), zero + "]");
  EXPECT_EQ(nlohmann::json::parse(padded.answer).size(), 5u);

  router().answerSegmentCount(4097);
  const tRouteCall refused = calculate(seeds.c_str(), R"(["PXI_Trig1"])");
  EXPECT_EQ(refused.code, -52024);
  EXPECT_EQ(refused.answer, "[]");
  EXPECT_NE(refused.report.find(R"("tarn_debug":"the driver reported 4097 route segments, more than 4096")"),
            std::string::npos)
      << refused.report;
}

}  // namespace
