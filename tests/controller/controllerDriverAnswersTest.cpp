// Answers no driver should give, and what the controller session does with
// them: it refuses them as driver errors instead of trusting them.
#include <cstring>
#include <memory>

#include "platform/deviceInterfaceNames.h"
#include "platform/driverWireFormat.h"
#include "simulatedBoard.h"

namespace {

using namespace nKESTREL1400::nDriverWire;

// Answers the SMBIOS size query with a table of almost 4 GiB.
class tHugeTableDriver : public nKESTRELSIM::tDriverModel {
 public:
  explicit tHugeTableDriver(std::unique_ptr<nKESTRELSIM::tDriverModel> inner) : inner_(std::move(inner)) {}
  void handle(nKESTRELSIM::tDriverRequest& request, nKESTRELSIM::iDriverEvents& events) override {
    if (request.code != kGetSmBiosData) {
      inner_->handle(request, events);
      return;
    }
    ++queries;
    request.writeOutput(tGetSmBiosDataOutput{16, 0xF0000000u, smbioserr_bufferTooSmall});
  }
  std::string interfaceName() const override { return inner_->interfaceName(); }
  static inline int queries = 0;

 private:
  std::unique_ptr<nKESTRELSIM::tDriverModel> inner_;
};

// The companion chip answers every text read with a full buffer of 'A' and no NUL.
class tUnterminatedCompanion : public nKESTRELSIM::tDriverModel {
 public:
  explicit tUnterminatedCompanion(std::unique_ptr<nKESTRELSIM::tDriverModel> inner) : inner_(std::move(inner)) {}
  void handle(nKESTRELSIM::tDriverRequest& request, nKESTRELSIM::iDriverEvents& events) override {
    inner_->handle(request, events);
    tAttributeInput input{};
    if (inner_->interfaceName() != nKESTREL1400::kCompanionInterface || request.code != kGetAttribute ||
        request.input.size() != sizeof input || (request.input[3] >> 4) != 1) {
      return;
    }
    std::memcpy(&input, request.input.data(), sizeof input);
    std::memset(reinterpret_cast<void*>(input.valueAddress), 'A', input.valueSize);
    request.error = 0;
    request.writeOutput(tValueOutput{input.valueSize, 0});
  }
  std::string interfaceName() const override { return inner_->interfaceName(); }

 private:
  std::unique_ptr<nKESTRELSIM::tDriverModel> inner_;
};

class ControllerDriverAnswers : public SimulatedBoard {};

TEST_F(ControllerDriverAnswers, ACompanionTextWithoutItsEndIsNotHandedOn) {
  start(defaultProfile());
  sim().wrapModels([](std::unique_ptr<nKESTRELSIM::tDriverModel> model) -> std::unique_ptr<nKESTRELSIM::tDriverModel> {
    if (!model) return model;
    return std::make_unique<tUnterminatedCompanion>(std::move(model));
  });
  tKestrelHandle handle = 0;
  ASSERT_EQ(KESTREL_openController(&handle), 0);
  char text[16];
  std::uint64_t length = sizeof text;
  EXPECT_EQ(KESTREL_getAttributeUTF8(handle, KESTREL_ATTR_BIOS_VERSION, text, &length), brioerr_ioFailure);
  EXPECT_EQ(text[0], '\0');
  KESTREL_closeController(handle);
}

TEST_F(ControllerDriverAnswers, AnImplausibleSmbiosSizeIsADriverErrorNotAnAllocation) {
  start(defaultProfile());
  sim().wrapModels([](std::unique_ptr<nKESTRELSIM::tDriverModel> model) -> std::unique_ptr<nKESTRELSIM::tDriverModel> {
    if (!model) return model;
    return std::make_unique<tHugeTableDriver>(std::move(model));
  });
  tKestrelHandle handle = 0;
  EXPECT_EQ(KESTREL_openController(&handle), brioerr_ioFailure);
  EXPECT_EQ(tHugeTableDriver::queries, 1);  // refused after the size query, nothing fetched
}

}  // namespace
