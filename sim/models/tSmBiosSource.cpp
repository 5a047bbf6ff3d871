#include "sim/models/tSmBiosSource.h"

#include "kestrel/kestrel.h"
#include "platform/driverWireFormat.h"
#include "sim/models/userMemory.h"

namespace nKESTRELSIM {

using namespace nKESTREL1400::nDriverWire;

void tSmBiosSource::set(std::string identification, std::vector<std::uint8_t> table) {
  identification_ = std::move(identification);
  table_ = std::move(table);
}

void tSmBiosSource::answer(tDriverRequest& request) const {
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
