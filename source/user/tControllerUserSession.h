// The process-wide controller session behind kControllerHandle: the
// controller's device interfaces, the board check, the SMBIOS table and the
// populated memory modules. Attribute access, self test and firmware update
// are its operations.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "codegen/tInterfaceProxy_hostController.h"
#include "codegen/tInterfaceProxy_hostMarten.h"
#include "kestrel/quill_ra_kestrel.h"
#include "source/user/tSessionModule.h"

namespace nKESTREL1400 {

struct tIndexedField;
struct tSmbiosField;
struct tTextAttribute;
struct tU32Attribute;

class tControllerUserSession final : public tSharedSession {
 public:
  using tReference = tSessionReference<tControllerUserSession>;

  // Opens the session or adds a reference to the open one.
  static tControllerUserSession* openSession(tStatusReport& report) noexcept;
  // Drops one reference; the last one waits for the operations in flight on
  // other threads to return, then closes the session.
  static void closeSession() noexcept;
  // The open session, held for one operation, or -26931.
  static tReference currentSession(tStatusReport& report) noexcept;

  // The controller model from SMBIOS (1 to 5, or -1); returns a status code.
  static std::int32_t controllerModel(std::int32_t& model) noexcept;
  // The SMBIOS instance of the index-th populated memory module (low 8 bits
  // of the index), or 0 with -26934.
  std::int32_t populatedDeviceInstance(std::uint32_t index, tStatusReport& report) const noexcept;
  std::uint32_t populatedCount() const noexcept { return populatedCount_; }

  void getAttributeU32(std::uint32_t attribute, std::uint32_t& value, tStatusReport& report) noexcept;
  void setAttributeU32(std::uint32_t attribute, std::uint32_t value, tStatusReport& report) noexcept;
  void getAttributeI32(std::uint32_t attribute, std::int32_t& value, tStatusReport& report) noexcept;
  void getAttributeDBL(std::uint32_t attribute, double& value, tStatusReport& report) noexcept;
  void getAttributeUTF8(std::uint32_t attribute, char* buffer, std::uint64_t& length, tStatusReport& report) noexcept;
  void setAttributeUTF8(std::uint32_t attribute, const char* text, std::size_t size, tStatusReport& report) noexcept;
  void performSelfTest(tStatusReport& report) noexcept;
  void updateFirmware(const std::uint8_t* image, std::uint64_t size, std::int32_t force,
                      tStatusReport& report) noexcept;

  tInterfaceProxy_hostController& hostControllerProxy() noexcept { return hostControllerProxy_; }
  tInterfaceProxy_hostMarten& martenProxy() noexcept { return martenProxy_; }

 private:
  friend class tSessionModule<tControllerUserSession>;

  tControllerUserSession() noexcept = default;
  ~tControllerUserSession() override;

  void construct(tStatusReport& report) noexcept;
  bool boardRefused() const noexcept;
  void openInterfaces(tStatus& local, tStatusReport& report) noexcept;
  bool openSingle(const char* name, nBRIO000::tDeviceInterfaceProxy& proxy, tStatus& local,
                  tStatusReport& report) noexcept;
  void loadSmbiosTable(tStatusReport& report) noexcept;
  void checkVersion(tStatusReport& report) noexcept;
  void findPopulatedMemory(tStatusReport& report) noexcept;
  void closeProxies() noexcept;

  // The field the index of an attribute picks, or false with the error in
  // the report: -26934 for a module that is not populated, and for an entry
  // that does not exist (at `noEntry`).
  bool locateField(const tIndexedField& indexed, std::uint32_t index, const kSourceLocation& noEntry,
                   tSmbiosField& field, tStatusReport& report) const noexcept;

  // Numeric attributes.
  void readU32Row(const tU32Attribute& row, std::uint32_t id, std::uint32_t& value, tStatusReport& report) noexcept;
  void readSmbiosU32(const tU32Attribute& row, std::uint32_t id, std::uint32_t& value,
                     tStatusReport& report) noexcept;
  void companionFallback(std::uint32_t id, std::uint32_t& value, tStatusReport& report) noexcept;
  void readDeviceU32(iInterfaceProxy_hostControllerBase& proxy, std::uint32_t id, std::uint32_t& value,
                     tStatusReport& report) noexcept;

  // Text attributes.
  void readTextRow(const tTextAttribute& row, std::uint32_t id, char* buffer, std::uint64_t& length,
                   tStatusReport& report) noexcept;
  void readNormalizedText(std::uint32_t selector, std::uint32_t instance, std::uint32_t id, char* buffer,
                          std::uint64_t& length, tStatusReport& report) noexcept;
  void writeControllerText(std::uint32_t id, const char* text, std::size_t size, tStatusReport& report) noexcept;
  void writeCompanionText(std::uint32_t id, const char* text, std::size_t size, tStatusReport& report) noexcept;

  std::uint32_t populatedCount_ = 0;
  std::unique_ptr<std::int32_t[]> populatedMemoryDevices_;
  tInterfaceProxy_hostController hostControllerProxy_;
  tInterfaceProxy_hostMarten martenProxy_;
};

}  // namespace nKESTREL1400
