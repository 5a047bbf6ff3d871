#include "source/user/tControllerUserSession.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>

#include "kestrel/kestrel.h"
#include "platform/cZeSmBiosLinuxProvider.h"
#include "platform/deviceInterfaceNames.h"
#include "platform/memoryAllocation.h"
#include "platform/openInterface.h"
#include "platform/tDeviceInterfaceIterator.h"
#include "platform/tStatusReport.h"
#include "source/user/controllerSmBiosFields.h"
#include "source/user/smbiosResult.h"

namespace nKESTREL1400 {
namespace {

using namespace nZESMBIOS_1_1;

constexpr const char* kFile = "tControllerUserSession";
constexpr kSourceLocation kNotOpen{kFile, 211};
constexpr kSourceLocation kNoMemory{kFile, 102};
constexpr kSourceLocation kReentered{kFile, 96};
constexpr kSourceLocation kBoardRefused{kFile, 128};
constexpr kSourceLocation kNoInterface{kFile, 141};
constexpr kSourceLocation kDuplicateInterface{kFile, 152};
constexpr kSourceLocation kSmbiosLoad{kFile, 183};
constexpr kSourceLocation kSmbiosSizeImplausible{kFile, 171};
// Far above any real table (SMBIOS 2 tables are at most 64 KiB): a driver that
// claims more is answering wrongly, and the library must not allocate for it.
constexpr std::uint32_t kMaxSmbiosTableSize = 1u << 20;
constexpr std::uint32_t kMaxSmbiosIdentSize = 1u << 16;
constexpr kSourceLocation kVersionRefused{kFile, 196};
constexpr kSourceLocation kNoPopulatedDevice{kFile, 251};

constexpr std::int32_t kRefusedModel = 5;

using tModule = tSessionModule<tControllerUserSession>;
tModule gModule(tModule::kHandleForks);

bool byteReadable(std::uint32_t selector, std::uint8_t* value = nullptr) {
  std::uint8_t scratch = 0;
  return smBiosReadByte(selector, 0, value != nullptr ? value : &scratch) == 0;
}

}  // namespace

tControllerUserSession* tControllerUserSession::openSession(tStatusReport& report) noexcept {
  return gModule.open(report, kReentered, kNoMemory);
}

void tControllerUserSession::closeSession() noexcept { gModule.close(&tControllerUserSession::waitForOperations); }

tControllerUserSession::tReference tControllerUserSession::currentSession(tStatusReport& report) noexcept {
  return gModule.current(report, kNotOpen);
}

tControllerUserSession::~tControllerUserSession() { closeProxies(); }

void tControllerUserSession::closeProxies() noexcept {
  if (hostControllerProxy_.isOpen()) hostControllerProxy_.close();
  if (martenProxy_.isOpen()) martenProxy_.close();
}

void tControllerUserSession::construct(tStatusReport& report) noexcept {
  if (report.code < 0) return;
  if (boardRefused()) {
    setCode(report, kestrelerr_deviceNotAvailable, kBoardRefused);
    return;
  }
  tStatus local;
  openInterfaces(local, report);
  if (report.code < 0) return;
  if (local.isError()) {
    hostControllerProxy_.close();
    local.copyToReport(report);
    return;
  }
  loadSmbiosTable(report);
  if (report.code < 0) return;
  checkVersion(report);
  findPopulatedMemory(report);
  if (report.code < 0) closeProxies();
}

// A board whose model text is missing and whose SMBIOS says model 5 is not
// a supported controller. A model text that cannot be buffered skips the check.
bool tControllerUserSession::boardRefused() const noexcept {
  tSmbiosText model;
  const std::int32_t result = model.read(nControllerField::kModelText, 0);
  if (result == kestrelerr_memoryFull) return false;
  if (result == 0 || byteReadable(nControllerField::kSlotCount) || byteReadable(nControllerField::kChassisByte))
    return false;
  std::uint8_t modelByte = 0;
  return byteReadable(nControllerField::kModelByte, &modelByte) && modelByte == kRefusedModel;
}

// Opens the interface's one match on `proxy`. Returns false when the
// interface is missing (nothing opened) or, with -52003 in the report and
// every proxy closed, when it exists twice.
bool tControllerUserSession::openSingle(const char* name, nBRIO000::tDeviceInterfaceProxy& proxy, tStatus& local,
                                        tStatusReport& report) noexcept {
  tDeviceInterfaceIterator matches(name, local);
  if (local.isError() || matches.isEnd()) return false;
  openInterface(matches, proxy, local);
  if (local.isNotError()) {
    matches.next();
    if (!matches.isEnd()) {
      closeProxies();
      setCode(report, brioerr_resourceFailure, kDuplicateInterface);
    }
  }
  return true;
}

void tControllerUserSession::openInterfaces(tStatus& local, tStatusReport& report) noexcept {
  if (!openSingle(kControllerInterface, hostControllerProxy_, local, report)) {
    if (local.isNotError()) setCode(report, kestrelerr_deviceNotAvailable, kNoInterface);
    return;
  }
  if (local.isError() || report.code < 0) return;
  // The companion chip is optional.
  openSingle(kCompanionInterface, martenProxy_, local, report);
}

// Asks the driver for the SMBIOS table in two passes (sizes, then data) and
// hands it to the provider, which keeps a table loaded earlier.
void tControllerUserSession::loadSmbiosTable(tStatusReport& report) noexcept {
  tStatus local;
  std::uint32_t identSize = 0;
  std::uint32_t tableSize = 0;
  hostControllerProxy_.getSmBiosData(nullptr, identSize, nullptr, tableSize, local);
  if (local.code == smbioserr_bufferTooSmall) local = tStatus();
  if (local.isNotError() && (tableSize > kMaxSmbiosTableSize || identSize > kMaxSmbiosIdentSize)) {
    local.setCode(brioerr_ioFailure, kSmbiosSizeImplausible);
  }
  if (local.isError()) {
    hostControllerProxy_.close();
    local.copyToReport(report);
    return;
  }
  // One byte more than asked for keeps the identification text terminated
  // whatever the driver writes.
  const std::size_t identCapacity = std::size_t{identSize} + 1;
  const std::uint32_t tableCapacity = tableSize;
  std::unique_ptr<char, decltype(&std::free)> ident(static_cast<char*>(allocateBytes(identCapacity, local)),
                                                    &std::free);
  std::unique_ptr<std::uint8_t, decltype(&std::free)> table(
      static_cast<std::uint8_t*>(allocateBytes(tableCapacity, local)), &std::free);
  if (local.isNotError()) {
    std::memset(ident.get(), 0, identCapacity);
    hostControllerProxy_.getSmBiosData(ident.get(), identSize, table.get(), tableSize, local);
  }
  if (local.isError()) {
    closeProxies();
    local.copyToReport(report);
    return;
  }
  local.copyToReport(report);
  // A driver answering a larger table than it was given room for has not
  // written the rest.
  tableSize = std::min(tableSize, tableCapacity);
  const std::int32_t loaded = smBiosLoad(ident.get(), table.get(), &tableSize);
  if (loaded != 0) setCode(report, loaded, kSmbiosLoad);
  if (report.code < 0) closeProxies();
}

void tControllerUserSession::checkVersion(tStatusReport& report) noexcept {
  std::uint8_t major = 0;
  std::uint8_t minor = 0;
  if (!byteReadable(nControllerField::kInfoVersionMajor, &major) ||
      !byteReadable(nControllerField::kInfoVersionMinor, &minor) || major < 2 || minor > 2) {
    setCode(report, kestrelerr_deviceNotAvailable, kVersionRefused);
  }
}

void tControllerUserSession::findPopulatedMemory(tStatusReport& report) noexcept {
  if (report.code < 0) return;
  std::uint16_t count = 0;
  const std::int32_t countResult = smBiosReadWord(nControllerField::kMemoryDeviceCount, 0, &count);
  mapSmbiosResult(countResult, report);
  if (report.code < 0 || count == 0) return;
  populatedMemoryDevices_.reset(new (std::nothrow) std::int32_t[count]);
  if (!populatedMemoryDevices_) {
    setCode(report, kestrelerr_memoryFull, kNoMemory);
    return;
  }
  for (std::uint32_t instance = 0; instance < count; ++instance) {
    std::uint16_t size = 0;
    mapSmbiosResult(smBiosReadWord(nControllerField::kMemoryDeviceSize, instance, &size), report);
    if (report.code < 0) return;
    if (size != 0) populatedMemoryDevices_[populatedCount_++] = static_cast<std::int32_t>(instance);
  }
}

std::int32_t tControllerUserSession::controllerModel(std::int32_t& model) noexcept {
  tSmbiosText text;
  const std::int32_t result = text.read(nControllerField::kModelText, 0);
  if (result == kestrelerr_memoryFull) return kestrelerr_memoryFull;
  std::uint8_t modelByte = 0;
  if (result == 0) {
    model = 1;
  } else if (byteReadable(nControllerField::kSlotCount)) {
    model = 2;
  } else if (byteReadable(nControllerField::kChassisByte)) {
    model = 3;
  } else if (byteReadable(nControllerField::kModelByte, &modelByte) && modelByte >= 1 && modelByte <= 5) {
    model = modelByte;
  } else {
    model = -1;
  }
  return 0;
}

std::int32_t tControllerUserSession::populatedDeviceInstance(std::uint32_t index,
                                                             tStatusReport& report) const noexcept {
  const std::uint32_t entry = index & 0xFF;
  if (entry < populatedCount_) return populatedMemoryDevices_[entry];
  setCode(report, kestrelerr_attributeNotSupported, kNoPopulatedDevice);
  return 0;
}

void tControllerUserSession::performSelfTest(tStatusReport&) noexcept {}

}  // namespace nKESTREL1400
