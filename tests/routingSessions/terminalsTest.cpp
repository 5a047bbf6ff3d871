// The terminal iterator: the table in order, each getter's own names, the
// end of the walk, and the two resets the driver serves.
#include "routingFixture.h"
#include "platform/tStatusReport.h"
#include "tests/support/zeroFillingReallocate.h"
#include "tools/quillhost/terminalTable.h"

namespace {

using namespace nKESTREL1400::nDriverWire;

class TerminalsTest : public RoutingTest {
 protected:
  TerminalsTest() : session_(open()) {
    iterator_ = quill_ra_kestrel_getAllTerminals(session_, status_);
    EXPECT_NE(iterator_, nullptr);
  }
  ~TerminalsTest() override {
    quill_ra_kestrel_TerminalIterator_destroy(iterator_);
    quill_ra_kestrel_destroySession(session_);
  }

  void moveTo(const std::string& name) {
    while (!quill_ra_kestrel_TerminalIterator_isEnd(iterator_) &&
           name != quill_ra_kestrel_TerminalIterator_getStringAttribute(iterator_, "name", status_)) {
      quill_ra_kestrel_TerminalIterator_next(iterator_, status_);
    }
    ASSERT_FALSE(quill_ra_kestrel_TerminalIterator_isEnd(iterator_)) << name;
  }
  void moveToEnd() {
    while (!quill_ra_kestrel_TerminalIterator_isEnd(iterator_)) quill_ra_kestrel_TerminalIterator_next(iterator_, status_);
  }

  quill_ra_kestrel_session* session_;
  quill_ra_kestrel_iterator* iterator_ = nullptr;
  tFrameworkStatus status_;
};

TEST_F(TerminalsTest, TheWalkVisitsTheElevenTerminalsInOrder) {
  quillhost::tQuillFunctions adaptor;
  adaptor.getAllTerminals = &quill_ra_kestrel_getAllTerminals;
  adaptor.TerminalIterator_isEnd = &quill_ra_kestrel_TerminalIterator_isEnd;
  adaptor.TerminalIterator_next = &quill_ra_kestrel_TerminalIterator_next;
  adaptor.TerminalIterator_destroy = &quill_ra_kestrel_TerminalIterator_destroy;
  adaptor.TerminalIterator_getStringAttribute = &quill_ra_kestrel_TerminalIterator_getStringAttribute;
  adaptor.TerminalIterator_getU32Attribute = &quill_ra_kestrel_TerminalIterator_getU32Attribute;
  adaptor.TerminalIterator_getBoolAttribute = &quill_ra_kestrel_TerminalIterator_getBoolAttribute;
  const auto rows = quillhost::readTerminals(adaptor, session_, status_);
  ASSERT_EQ(status_.code(), 0) << status_.text();
  const char* names[] = {"FLOAT",     "TRIG_SMB",  "WD_Terminal", "PXI_Trig0", "PXI_Trig1", "PXI_Trig2",
                         "PXI_Trig3", "PXI_Trig4", "PXI_Trig5",   "PXI_Trig6", "PXI_Trig7"};
  ASSERT_EQ(rows.size(), 11u);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const auto& row = rows[i];
    const bool line = i >= 3;
    EXPECT_EQ(row.name, names[i]);
    EXPECT_EQ(row.canonicalName, names[i]);
    EXPECT_EQ(row.id, i + 1);
    EXPECT_EQ(row.isExternal, line) << row.name;
    EXPECT_EQ(row.isOwned, !line) << row.name;
    EXPECT_EQ(row.visibility, (i == 0 || i == 2) ? "private" : "public") << row.name;
    EXPECT_EQ(row.busType, line ? std::optional<std::string>("PXI_Trig") : std::nullopt) << row.name;
    EXPECT_EQ(row.busLine, line ? i - 3 : 0xFFFFFFFFu) << row.name;
  }
}

TEST_F(TerminalsTest, AbsentTextsAreNullWithoutAnError) {
  EXPECT_EQ(quill_ra_kestrel_TerminalIterator_getStringAttribute(iterator_, "busType", status_), nullptr);
  for (; !quill_ra_kestrel_TerminalIterator_isEnd(iterator_); quill_ra_kestrel_TerminalIterator_next(iterator_, status_)) {
    EXPECT_EQ(quill_ra_kestrel_TerminalIterator_getStringAttribute(iterator_, "busName", status_), nullptr);
    EXPECT_FALSE(quill_ra_kestrel_TerminalIterator_getBoolAttribute(iterator_, "isAlias", status_));
    EXPECT_FALSE(quill_ra_kestrel_TerminalIterator_getBoolAttribute(iterator_, "isMaskedOut", status_));
  }
  EXPECT_EQ(status_.code(), 0) << status_.text();
}

TEST_F(TerminalsTest, EachGetterKnowsOnlyItsOwnNamesExactly) {
  moveTo("PXI_Trig5");
  const auto refused = [&](auto read, const char* name) {
    tFrameworkStatus status;
    read(name, status);
    return status.code() == zepalerr_badSelector &&
           reportHas(status, "\"error_constant\":\"zepalerr_badSelector\"") &&
           reportHas(status, "\"file\":\"TarnRoutingAdaptor\"");
  };
  const auto u32 = [&](const char* name, tFrameworkStatus& status) {
    EXPECT_EQ(quill_ra_kestrel_TerminalIterator_getU32Attribute(iterator_, name, status), 0u);
  };
  const auto boolean = [&](const char* name, tFrameworkStatus& status) {
    EXPECT_FALSE(quill_ra_kestrel_TerminalIterator_getBoolAttribute(iterator_, name, status));
  };
  const auto text = [&](const char* name, tFrameworkStatus& status) {
    EXPECT_EQ(quill_ra_kestrel_TerminalIterator_getStringAttribute(iterator_, name, status), nullptr);
  };
  EXPECT_TRUE(refused(u32, "isOwned"));
  EXPECT_TRUE(refused(u32, "name"));
  EXPECT_TRUE(refused(u32, "ID"));
  EXPECT_TRUE(refused(boolean, "busLine"));
  EXPECT_TRUE(refused(boolean, "isexternal"));
  EXPECT_TRUE(refused(text, "id"));
  EXPECT_TRUE(refused(text, "Name"));
  EXPECT_TRUE(refused(text, nullptr));
  EXPECT_EQ(quill_ra_kestrel_TerminalIterator_getU32Attribute(iterator_, "busLine", status_), 5u);
  EXPECT_EQ(quill_ra_kestrel_TerminalIterator_getU32Attribute(iterator_, "id", status_), 9u);
}

// The report must grow through a framework's reallocation that leaves no
// sentinel, without reading past a buffer.
TEST_F(TerminalsTest, AReportGrowsThroughAFrameworkReallocationThatLeavesNoSentinel) {
  tStatusReport status{0, 0, &zeroFillingReallocate, nullptr};
  EXPECT_EQ(quill_ra_kestrel_TerminalIterator_getU32Attribute(iterator_, "no such attribute", &status), 0u);
  EXPECT_EQ(status.code, zepalerr_badSelector);
  ASSERT_NE(status.report, nullptr);
  EXPECT_STREQ(status.report, R"({"error_constant":"zepalerr_badSelector","file":"TarnRoutingAdaptor",)"
                              R"("line":402,"component":"kestrel"})");
  zeroFillingReallocate(&status, 0);
}

TEST_F(TerminalsTest, AtTheEndNothingIsReadAndTheIteratorStays) {
  moveToEnd();
  quill_ra_kestrel_TerminalIterator_next(iterator_, status_);
  EXPECT_TRUE(quill_ra_kestrel_TerminalIterator_isEnd(iterator_));
  EXPECT_EQ(status_.code(), 0);
  sim().clearRequests();
  const auto refusedAtEnd = [](tFrameworkStatus& status) {
    return status.code() == brioerr_invalidParameter && reportHas(status, "at its end");
  };
  tFrameworkStatus u32, boolean, text, reset, calculate;
  EXPECT_EQ(quill_ra_kestrel_TerminalIterator_getU32Attribute(iterator_, "id", u32), 0u);
  EXPECT_FALSE(quill_ra_kestrel_TerminalIterator_getBoolAttribute(iterator_, "isOwned", boolean));
  EXPECT_EQ(quill_ra_kestrel_TerminalIterator_getStringAttribute(iterator_, "name", text), nullptr);
  quill_ra_kestrel_TerminalIterator_resetTerminal(iterator_, "default", reset);
  EXPECT_EQ(quill_ra_kestrel_TerminalIterator_calculateResetTerminal(session_, iterator_, "default", calculate), 0u);
  for (auto* status : {&u32, &boolean, &text, &reset, &calculate}) EXPECT_TRUE(refusedAtEnd(*status)) << status->text();
  EXPECT_TRUE(sim().requests().empty());
}

TEST_F(TerminalsTest, ResetSendsTheTerminalAndModeAndKnowsOnlyTwoModeWords) {
  moveTo("PXI_Trig2");
  sim().clearRequests();
  for (const char* word : {"Floating", "FLOATING", "float", "", "default "}) {
    tFrameworkStatus status;
    quill_ra_kestrel_TerminalIterator_resetTerminal(iterator_, word, status);
    EXPECT_EQ(status.code(), zepalerr_badSelector) << word;
  }
  EXPECT_TRUE(sim().requests().empty());
  quill_ra_kestrel_TerminalIterator_resetTerminal(iterator_, "floating", status_);
  quill_ra_kestrel_TerminalIterator_resetTerminal(iterator_, "default", status_);
  EXPECT_EQ(status_.code(), 0) << status_.text();
  const auto resets = sim().requests(kResetTerminal);
  ASSERT_EQ(resets.size(), 2u);
  tResetTerminalInput input{};
  std::memcpy(&input, resets[0].input.data(), sizeof input);
  EXPECT_EQ(input.terminal, 6u);
  EXPECT_EQ(input.floating, 1u);
  EXPECT_EQ(router().terminalResets().at(6), 0u);
}

TEST_F(TerminalsTest, ResetCarriesTheCallersWarningAndMergesTheDriversError) {
  moveTo("TRIG_SMB");
  // The framework's warning, with a place whose file name is longer than 100 bytes.
  tFrameworkStatus status(42);
  const std::string file = std::string(120, 'a') + "/framework.cpp";
  ASSERT_TRUE(nKESTREL1400::setReportText(*status.get(), ("{\"file\":\"" + file + "\",\"line\":77,\"component\":\"quillframework\"}").c_str()));
  sim().failRequests(kResetTerminal, 1, {.error = 0, .status = brioerr_busy});
  quill_ra_kestrel_TerminalIterator_resetTerminal(iterator_, "default", status);
  tResetTerminalInput input{};
  std::memcpy(&input, sim().requests(kResetTerminal).at(0).input.data(), sizeof input);
  EXPECT_EQ(input.statusIn, 42);
  EXPECT_EQ(input.terminal, 2u);
  EXPECT_EQ(status.code(), brioerr_busy);
  EXPECT_TRUE(reportHas(status, "\"file\":\"tInterfaceProxy_routing\"")) << status.text();

  tFrameworkStatus warned(42);
  quill_ra_kestrel_TerminalIterator_resetTerminal(iterator_, "default", warned);
  EXPECT_EQ(warned.code(), 42) << "a success leaves the caller's record alone";
}

TEST_F(TerminalsTest, CalculateResetTerminalAsksTheDriverForTheCurrentTerminal) {
  moveTo("PXI_Trig7");
  EXPECT_EQ(quill_ra_kestrel_TerminalIterator_calculateResetTerminal(session_, iterator_, "floating", status_), 1u);
  EXPECT_EQ(quill_ra_kestrel_TerminalIterator_calculateResetTerminal(session_, iterator_, "default", status_), 11u);
  EXPECT_EQ(status_.code(), 0) << status_.text();
  tCalculateResetTerminalInput input{};
  std::memcpy(&input, sim().requests(kCalculateResetTerminal).at(0).input.data(), sizeof input);
  EXPECT_EQ(input.sessionId, reinterpret_cast<std::uintptr_t>(session_));
  EXPECT_EQ(input.terminal, 11u);
  EXPECT_EQ(input.floating, 1u);
  tFrameworkStatus status;
  EXPECT_EQ(quill_ra_kestrel_TerminalIterator_calculateResetTerminal(session_, iterator_, "Default", status), 0u);
  EXPECT_EQ(status.code(), zepalerr_badSelector);
  EXPECT_EQ(sim().requests(kCalculateResetTerminal).size(), 2u);
}

}  // namespace

namespace {

// Mended: keeping the session alive is the caller's duty, but an iterator
// used after its session was destroyed reads the topography's constant
// table instead of freed memory, and a reset through it is refused without
// reaching the driver.
TEST_F(RoutingTest, AnIteratorThatOutlivesItsSessionReadsConstantDataAndResetsNothing) {
  quill_ra_kestrel_session* session = open();
  tFrameworkStatus status;
  quill_ra_kestrel_iterator* iterator = quill_ra_kestrel_getAllTerminals(session, status);
  ASSERT_NE(iterator, nullptr);
  quill_ra_kestrel_TerminalIterator_next(iterator, status);
  quill_ra_kestrel_destroySession(session);
  sim().clearRequests();

  EXPECT_STREQ(quill_ra_kestrel_TerminalIterator_getStringAttribute(iterator, "name", status), "TRIG_SMB");
  EXPECT_EQ(quill_ra_kestrel_TerminalIterator_getU32Attribute(iterator, "id", status), 2u);
  EXPECT_TRUE(quill_ra_kestrel_TerminalIterator_getBoolAttribute(iterator, "isOwned", status));
  std::size_t walked = 1;  // FLOAT, passed before the session went
  for (; !quill_ra_kestrel_TerminalIterator_isEnd(iterator); quill_ra_kestrel_TerminalIterator_next(iterator, status)) {
    ++walked;
  }
  EXPECT_EQ(walked, 11u);
  EXPECT_EQ(status.code(), 0) << status.text();

  quill_ra_kestrel_iterator* other = nullptr;
  {
    quill_ra_kestrel_session* second = open();
    other = quill_ra_kestrel_getAllTerminals(second, status);
    quill_ra_kestrel_destroySession(second);
  }
  tFrameworkStatus reset;
  quill_ra_kestrel_TerminalIterator_resetTerminal(other, "default", reset);
  EXPECT_EQ(reset.code(), brioerr_invalidParameter);
  EXPECT_TRUE(reportHas(reset, "\"line\":448")) << reset.text();
  EXPECT_TRUE(reportHas(reset, "session has been destroyed")) << reset.text();
  EXPECT_TRUE(sim().requests(kResetTerminal).empty());
  quill_ra_kestrel_TerminalIterator_destroy(other);
  quill_ra_kestrel_TerminalIterator_destroy(iterator);
}

}  // namespace
