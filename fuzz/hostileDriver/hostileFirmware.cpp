// A firmware update against the hostile driver: a small valid update file
// with images for the BIOS, the companion chip and the safe mode, chosen by
// the input, forced or not. The safe-mode tools are the simulator's own:
// the install command is answered without a shell, and the version tool
// is never run (popen fails), so nothing real runs while fuzzing.
#include <kestrel/kestrel.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "firmware/firmwareFileWriter.h"
#include "hostileChecks.h"

namespace hostile {
namespace {

using nKESTREL1400::nFirmware::tPackedImage;

constexpr std::uint8_t kPayload[] = {0x55, 0xAA, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06};

// The update file of the images whose bits are set in `targets`.
std::string updateFile(std::uint8_t targets) {
  static const char* const kTargets[] = {"BIOS", "MARTEN", "SAFEMODE"};
  std::vector<tPackedImage> images;
  for (std::size_t i = 0; i < std::size(kTargets); ++i) {
    if ((targets & (1u << i)) != 0) images.push_back({kTargets[i], "9.0.0f1", {kPayload, sizeof kPayload}});
  }
  return nKESTREL1400::nFirmware::packFirmwareFile(images);
}

}  // namespace

void useFirmwareUpdate(nKESTRELSIM::tSimulator& sim, nKESTRELSIM::tByteScript& script) {
  const std::uint8_t choice = script.next();
  if ((choice & 0x80) == 0) return;  // most runs leave the firmware alone
  sim.installTool("zesafemodeversion", "#!/bin/sh\necho 1.0.0f0\n");
  sim.failCalls(nKESTRELSIM::tCall::kPopen, UINT_MAX, ENOENT);
  sim.safeModeInstaller().setExitStatus(script.next() % 4 == 0 ? 1 : 0);
  const std::string file = updateFile(choice & 0x07);
  KESTREL_updateFirmware2(kControllerHandle, reinterpret_cast<const std::uint8_t*>(file.data()), file.size(),
                          (choice & 0x08) != 0 ? 1 : 0);
}

}  // namespace hostile
