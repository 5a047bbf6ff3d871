// Writes firmware update files the library accepts: one section per image,
// Base64 in lines of 76 characters ended by CR LF. For kestrelctl, tests,
// benchmarks and fuzz seeds; the library itself only reads files.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace nKESTREL1400::nFirmware {

struct tPackedImage {
  std::string_view targetDevice;
  std::string_view version;
  std::span<const std::uint8_t> bytes;
};

// Base64 of `bytes` with "=" padding, in lines of `lineLength` characters
// each ended by CR LF (0: one line).
std::string encodeBase64Lines(std::span<const std::uint8_t> bytes, std::size_t lineLength = 76);

// One section: the header lines, the empty line and the payload.
std::string packSection(const tPackedImage& image);

// The sections of every image in order.
std::string packFirmwareFile(std::span<const tPackedImage> images);

}  // namespace nKESTREL1400::nFirmware
