#include "firmware/firmwareFileWriter.h"

#include <cstdio>

#include "firmware/crc32Castagnoli.h"

namespace nKESTREL1400::nFirmware {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string encodeBase64(std::span<const std::uint8_t> bytes) {
  std::string text;
  text.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t at = 0;
  for (; at + 3 <= bytes.size(); at += 3) {
    const std::uint32_t group = (std::uint32_t{bytes[at]} << 16) | (std::uint32_t{bytes[at + 1]} << 8) | bytes[at + 2];
    for (int shift = 18; shift >= 0; shift -= 6) text.push_back(kAlphabet[(group >> shift) & 0x3F]);
  }
  const std::size_t left = bytes.size() - at;
  if (left > 0) {
    std::uint32_t group = std::uint32_t{bytes[at]} << 16;
    if (left == 2) group |= std::uint32_t{bytes[at + 1]} << 8;
    text.push_back(kAlphabet[(group >> 18) & 0x3F]);
    text.push_back(kAlphabet[(group >> 12) & 0x3F]);
    text.push_back(left == 2 ? kAlphabet[(group >> 6) & 0x3F] : '=');
    text.push_back('=');
  }
  return text;
}

}  // namespace

std::string encodeBase64Lines(std::span<const std::uint8_t> bytes, std::size_t lineLength) {
  const std::string text = encodeBase64(bytes);
  if (lineLength == 0) return text + "\r\n";
  std::string lines;
  lines.reserve(text.size() + text.size() / lineLength * 2 + 2);
  for (std::size_t at = 0; at < text.size(); at += lineLength) {
    lines.append(text, at, lineLength);
    lines.append("\r\n");
  }
  return lines;
}

std::string packSection(const tPackedImage& image) {
  char numbers[64];
  std::snprintf(numbers, sizeof numbers, "CRC::0x%08X\r\nByteCount::%zu\r\n",
                crc32Castagnoli(image.bytes.data(), image.bytes.size()), image.bytes.size());
  std::string section = "HeaderVersion::1\r\nUpdateType::FWUpdate\r\nVersion::";
  section.append(image.version).append("\r\nTargetDevice::").append(image.targetDevice).append("\r\n");
  section.append(numbers).append("\r\n");
  section.append(encodeBase64Lines(image.bytes));
  return section;
}

std::string packFirmwareFile(std::span<const tPackedImage> images) {
  std::string file;
  for (const tPackedImage& image : images) file += packSection(image);
  return file;
}

}  // namespace nKESTREL1400::nFirmware
