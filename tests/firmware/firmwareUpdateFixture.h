// Firmware updates through the public interface on the simulated
// controller: update files made by the writer, and what the simulated
// devices and tools received.
#pragma once

#include <kestrel/kestrel.h>

#include <string>
#include <vector>

#include "firmware/firmwareFileWriter.h"
#include "simulatedBoard.h"

class FirmwareUpdate : public SimulatedBoard {
 protected:
  struct tImage {
    std::string target;
    std::string version;
    std::string content;
  };

  // The default controller; with a safe-mode version tool printing
  // `safeModeVersion` unless it is empty.
  void startController(const std::string& safeModeVersion = "1.0.0f0",
                       nKESTRELSIM::tProfile profile = defaultProfile()) {
    if (!safeModeVersion.empty()) profile.firmware = nKESTRELSIM::tFirmwareProfile{{}, {}, {{safeModeVersion, 0}}};
    start(profile);
    ASSERT_EQ(open(), 0);
  }

  static std::string file(const std::vector<tImage>& images) {
    std::vector<nKESTREL1400::nFirmware::tPackedImage> packed;
    for (const tImage& image : images) {
      packed.push_back({image.target, image.version,
                        {reinterpret_cast<const std::uint8_t*>(image.content.data()), image.content.size()}});
    }
    return nKESTREL1400::nFirmware::packFirmwareFile(packed);
  }
  static std::int32_t update(const std::string& file, std::int32_t force) {
    return KESTREL_updateFirmware2(kControllerHandle, reinterpret_cast<const std::uint8_t*>(file.data()), file.size(),
                                   force);
  }

  static std::vector<std::string> texts(const std::vector<std::vector<std::uint8_t>>& images) {
    std::vector<std::string> result;
    for (const auto& image : images) result.emplace_back(image.begin(), image.end());
    return result;
  }
  static std::vector<std::string> biosImages() { return texts(sim().hostController().receivedImages()); }
  static std::vector<std::string> companionImages() { return texts(sim().marten().receivedImages()); }
  static std::vector<std::string> safeModeImages() {
    std::vector<std::string> result;
    for (const auto& entry : sim().safeModeInstaller().installed()) result.emplace_back(entry.bytes.begin(), entry.bytes.end());
    return result;
  }
  static std::string companionRecord() {
    return sim().marten().attributes().text(KESTREL_ATTR_BIOS_VERSION).value_or("?");
  }
};
