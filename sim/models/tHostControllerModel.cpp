#include "tHostControllerModel.h"

#include "kestrel/kestrel.h"
#include "platform/driverWireFormat.h"
#include "userMemory.h"

namespace nKESTRELSIM {

using namespace nKESTREL1400::nDriverWire;

namespace {

// Device values the controller answers itself.
constexpr std::uint32_t kDeviceValue1 = 0x20013100;
constexpr std::uint32_t kDeviceValue2 = 0x20044C00;
constexpr std::uint32_t kDeviceValue3 = 0x20051400;
constexpr std::uint32_t kUserText = 0x18000000;

}  // namespace

tHostControllerModel::tHostControllerModel() {
  attributes().setU32(kDeviceValue1, 1, false);
  attributes().setU32(kDeviceValue2, 0x0140, false);
  attributes().setU32(kDeviceValue3, 3, false);
  attributes().setText(kUserText, "");
}

void tHostControllerModel::setSmBios(std::string identification, std::vector<std::uint8_t> table) {
  identification_ = std::move(identification);
  table_ = std::move(table);
}

bool tHostControllerModel::handleOwn(tDriverRequest& request, iDriverEvents& /*events*/) {
  if (request.code == kGetSmBiosData) {
    getSmBiosData(request);
  } else if (request.code == kUpdateFirmware) {
    receiveFirmwareImage(request, images_, firmwareStatus_);
  } else {
    return false;
  }
  return true;
}

// First pass (buffers too small): both sizes with -240051. Second pass:
// the text with its NUL and the table. No table: -52003.
void tHostControllerModel::getSmBiosData(tDriverRequest& request) {
  tGetSmBiosDataInput input{};
  if (!request.readInput(input)) return;
  const auto identSize = static_cast<std::uint32_t>(identification_.size() + 1);
  const auto tableSize = static_cast<std::uint32_t>(table_.size());
  tGetSmBiosDataOutput output{identSize, tableSize, 0};
  if (table_.empty()) {
    output.status = brioerr_resourceFailure;
  } else if (input.identSize < identSize || input.tableSize < tableSize || input.identAddress == 0 ||
             input.tableAddress == 0) {
    output.status = smbioserr_bufferTooSmall;
  } else {
    copyToUser(input.identAddress, identification_.c_str(), identSize);
    copyToUser(input.tableAddress, table_.data(), tableSize);
  }
  request.writeOutput(output);
}

}  // namespace nKESTRELSIM
