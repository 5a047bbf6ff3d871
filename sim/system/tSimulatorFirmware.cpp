// Firmware images the simulated system accepted, made visible outside the
// process: under kestrel-sim each is written into the sandbox and
// announced on standard error.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/driverWireFormat.h"
#include "sim/models/tHostControllerModel.h"
#include "sim/models/tMartenModel.h"
#include "sim/models/userMemory.h"
#include "sim/system/tSimulator.h"

namespace nKESTRELSIM {

using namespace nKESTREL1400::nDriverWire;

void tSimulator::noteFirmwareImage(std::uint32_t code, const std::vector<std::uint8_t>& input,
                                   const std::vector<std::uint8_t>& output) {
  if (!announceImages_ || (code != kUpdateFirmware && code != kUpdateMartenFirmware)) return;
  std::int32_t status = -1;
  tBufferInput image{};
  if (output.size() < sizeof status || input.size() < sizeof image) return;
  std::memcpy(&status, output.data() + output.size() - sizeof status, sizeof status);
  std::memcpy(&image, input.data(), sizeof image);
  if (status < 0) return;
  announceImage(code == kUpdateFirmware ? "BIOS" : "MARTEN", copyFromUser(image.address, image.size));
}

void tSimulator::limitReceivedImages(std::size_t count) {
  std::lock_guard lock(lock_);
  for (const auto& node : nodes_) {
    if (auto* controller = dynamic_cast<tHostControllerModel*>(node->model.get())) controller->keepLatestImages(count);
    if (auto* companion = dynamic_cast<tMartenModel*>(node->model.get())) companion->keepLatestImages(count);
  }
}

void tSimulator::announceImage(const char* target, const std::vector<std::uint8_t>& bytes) {
  if (!announceImages_ || root_.empty()) return;
  const std::filesystem::path directory = std::filesystem::path(root_) / "received";
  std::error_code ignored;
  std::filesystem::create_directories(directory, ignored);
  // Every process of a run writes here: the next number no file has yet.
  unsigned number = 0;
  std::filesystem::path file;
  do {
    number = ++announced_[target];
    file = directory / (std::string(target) + "-" + std::to_string(number) + ".bin");
  } while (std::filesystem::exists(file, ignored));
  std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
  std::fprintf(stderr, "kestrel-sim: %s image %u installed (%zu bytes), written to %s (--keep-sandbox keeps it)\n", target, number, bytes.size(),
               file.c_str());
}

}  // namespace nKESTRELSIM
