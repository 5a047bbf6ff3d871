#include "sim/system/tImageAnnouncer.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace nKESTRELSIM {

void tImageAnnouncer::announce(const std::string& root, const char* target, std::span<const std::uint8_t> bytes) {
  if (!on_ || root.empty()) return;
  const std::filesystem::path directory = std::filesystem::path(root) / "received";
  std::error_code ignored;
  std::filesystem::create_directories(directory, ignored);
  // Every process of a run writes here: the next number no file has yet.
  unsigned number = 0;
  std::filesystem::path file;
  do {
    number = ++numbers_[target];
    file = directory / (std::string(target) + "-" + std::to_string(number) + ".bin");
  } while (std::filesystem::exists(file, ignored));
  std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
  std::fprintf(stderr, "kestrel-sim: %s image %u installed (%zu bytes), written to %s (--keep-sandbox keeps it)\n", target, number, bytes.size(),
               file.c_str());
}

}  // namespace nKESTRELSIM
