// The pieces of the update file format: checksum, Base64, number values
// and version texts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "firmware/base64Payload.h"
#include "firmware/crc32Castagnoli.h"
#include "firmware/firmwareFileWriter.h"
#include "firmware/headerValue.h"
#include "firmware/versionText.h"

using namespace nKESTREL1400::nFirmware;

namespace {

std::vector<std::uint8_t> randomBytes(std::size_t size, unsigned seed) {
  std::mt19937 generator(seed);
  std::vector<std::uint8_t> bytes(size);
  for (auto& byte : bytes) byte = static_cast<std::uint8_t>(generator());
  return bytes;
}

std::uint32_t crcOf(const std::string& text) {
  return crc32Castagnoli(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

std::vector<std::uint8_t> decode(const std::string& text) {
  std::vector<std::uint8_t> out(decodeBufferSize(text.size()));
  out.resize(decodeBase64(text.data(), text.size(), out.data()));
  return out;
}

}  // namespace

TEST(Crc32Castagnoli, CheckValues) {
  EXPECT_EQ(crcOf("abc"), 0x2C2E6092u);
  EXPECT_EQ(crcOf("123456789"), 0x05440F15u);
  EXPECT_EQ(crcOf(""), 0u);
}

// Each form the processor has against one table step per byte, over every
// length around the block sizes and at odd start addresses.
TEST(Crc32Castagnoli, FastFormsAgreeWithTheBytewiseForm) {
  const auto bytes = randomBytes(5000, 1);
  for (const tCrcForm form : {tCrcForm::sliced, tCrcForm::folded, tCrcForm::foldedWide}) {
    if (!crcFormAvailable(form)) continue;
    for (std::size_t offset : {0u, 1u, 3u, 7u}) {
      for (std::size_t size = 0; size < 600; ++size) {
        const std::uint32_t expected = ~crc32CastagnoliBytewise(0xFFFFFFFF, bytes.data() + offset, size);
        ASSERT_EQ(crc32CastagnoliAs(form, bytes.data() + offset, size), expected) << offset << "/" << size;
      }
      const std::uint32_t expected = ~crc32CastagnoliBytewise(0xFFFFFFFF, bytes.data() + offset, 4990);
      EXPECT_EQ(crc32CastagnoliAs(form, bytes.data() + offset, 4990), expected);
    }
  }
}

TEST(Base64Payload, LineLayoutsAndPaddingDecodeTheSame) {
  const auto bytes = randomBytes(1000, 2);
  for (std::size_t size : {0u, 1u, 2u, 3u, 4u, 5u, 57u, 58u, 999u}) {
    const std::span<const std::uint8_t> image(bytes.data(), size);
    std::string single = encodeBase64Lines(image, 0);
    for (std::size_t line : {1u, 3u, 4u, 76u, 77u}) {
      std::string crlf = encodeBase64Lines(image, line);
      EXPECT_EQ(decode(crlf), std::vector(image.begin(), image.end())) << size << "/" << line;
      std::erase(crlf, '\r');
      EXPECT_EQ(decode(crlf), std::vector(image.begin(), image.end())) << size << "/" << line << " LF";
    }
    std::erase(single, '=');
    EXPECT_EQ(decode(single), std::vector(image.begin(), image.end())) << size << " unpadded";
  }
}

TEST(Base64Payload, LeftOverCharacters) {
  EXPECT_EQ(decode("QQ"), std::vector<std::uint8_t>{'A'});
  EXPECT_EQ(decode("QUI"), (std::vector<std::uint8_t>{'A', 'B'}));
  EXPECT_EQ(decode("QUJDR"), (std::vector<std::uint8_t>{'A', 'B', 'C'}));  // one left over: nothing
  EXPECT_EQ(decode("Q=U=J=D= \t\x80\xff"), (std::vector<std::uint8_t>{'A', 'B', 'C'}));
}

// Every byte value at every position of a wide block, and random noise
// between alphabet runs: each wide decoder the processor has against the
// bytewise one.
TEST(Base64Payload, WideDecodersAgreeWithTheBytewiseOne) {
  const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  const auto agree = [](tBase64Form form, const std::string& text) {
    std::vector<std::uint8_t> wide(decodeBufferSize(text.size())), narrow(decodeBufferSize(text.size()));
    wide.resize(decodeBase64As(form, text.data(), text.size(), wide.data()));
    narrow.resize(decodeBase64Bytewise(text.data(), text.size(), narrow.data()));
    return wide == narrow;
  };
  std::string base;
  for (int i = 0; i < 192; ++i) base.push_back(alphabet[(i * 7) % 64]);
  for (const tBase64Form form : {tBase64Form::avx2, tBase64Form::avx512}) {
    if (!base64FormAvailable(form)) continue;
    for (int value = 0; value < 256; ++value) {
      for (std::size_t at : {0u, 5u, 31u, 40u, 63u, 64u, 100u}) {
        std::string text = base;
        text[at] = static_cast<char>(value);
        ASSERT_TRUE(agree(form, text)) << "byte " << value << " at " << at;
      }
    }
    // Lines of one length whose ends change now and then: the decoders
    // learn a line end and must notice when the next one differs.
    for (std::size_t length = 4; length <= 132; length += 4) {
      std::string text;
      for (int line = 0; line < 40; ++line) {
        for (std::size_t i = 0; i < length; ++i) text.push_back(alphabet[(line * 31 + i) % 64]);
        text += line % 7 == 3 ? "\n" : line % 11 == 5 ? "\r\n\r\n" : "\r\n";
      }
      ASSERT_TRUE(agree(form, text)) << length;
    }
    std::mt19937 generator(3);
    for (int round = 0; round < 300; ++round) {
      std::string text;
      while (text.size() < 600) {
        const std::size_t run = generator() % 150;
        for (std::size_t i = 0; i < run; ++i) text.push_back(alphabet[generator() % 64]);
        for (std::size_t i = generator() % 3 + 1; i > 0; --i) text.push_back(static_cast<char>(generator()));
      }
      ASSERT_TRUE(agree(form, text)) << text;
    }
  }
}

// Number values follow strtoul's rules, cut to 32 bits.
TEST(HeaderValue, NumbersReadAsStrtoulDoes) {
  for (const char* value : {"1", "0x1", "0x", "0xg", "0x0x5", "0xFFFFFFFF", "0x1FFFFFFFF", "0x10000000000000000",
                            "4294967296", "99999999999999999999999", "  42", "\t+7", "-1", "-5", "+", "-",
                            "12abc", "0x1F2e", "0X10", "007", "1.5", " -0x10", "0x-1"}) {
    const int base = value[0] == '0' && value[1] == 'x' ? 16 : 10;
    EXPECT_EQ(numberValue(value), static_cast<std::uint32_t>(std::strtoul(value, nullptr, base))) << value;
  }
}

TEST(HeaderValue, StringQuoting) {
  struct tCase {
    std::string text;   // the value is the text up to the first CR
    tQuoting quoting;
    std::string result;
  };
  const tCase cases[] = {
      {"BIOS\r\n", tQuoting::raw, "BIOS"},
      {"\"BIOS\"\r\n", tQuoting::unquoted, "BIOS"},
      {"\"BIOS\r\n", tQuoting::unmatched, ""},
      {"\"BIOS\r\nx\"\r\n", tQuoting::raw, "\"BIOS"},
      {"BIOS\r\n\"", tQuoting::unmatched, ""},
      {"BIOS\r\n\"\"", tQuoting::raw, "BIOS"},
      {"\"BI\"OS\r\n", tQuoting::raw, "\"BI\"OS"},
      {"\"\r\n\"", tQuoting::raw, "\""},
      {"\"\"\r\n", tQuoting::unquoted, ""},
  };
  for (const tCase& entry : cases) {
    const tQuoteIndex index(entry.text);
    std::string_view result;
    const std::string_view value(entry.text.data(), entry.text.find('\r'));
    EXPECT_EQ(index.judge(value, result), entry.quoting) << entry.text;
    if (entry.quoting != tQuoting::unmatched) {
      EXPECT_EQ(result, entry.result) << entry.text;
    }
  }
}

TEST(VersionText, PackedForm) {
  EXPECT_EQ(parseVersionText("0.0.0f0"), 0x0000C000u);
  EXPECT_EQ(parseVersionText("1.4.0f2"), 0x0140C002u);
  EXPECT_EQ(parseVersionText("255.15.15f16383"), 0xFFFFFFFFu);
  EXPECT_EQ(parseVersionText("2.1.3b17\n"), 0x02138011u);
  EXPECT_EQ(parseVersionText("1.0.0d5 and more"), 0x01000005u);
  EXPECT_EQ(parseVersionText("1.0.0a1"), 0x01004001u);
  for (const char* bad : {"", "256.0.0f0", "1.16.0f0", "1.0.16f0", "1.0.0f16384", "01.0.0f0", "1.00.0f0",
                          "1.0.0f01", "1.0.0x0", "1.0.0F0", "1.0f0", "1.0.0f", "a.0.0f0", " 1.0.0f0", "1..0f0"}) {
    EXPECT_EQ(parseVersionText(bad), 0u) << bad;
  }
  // Phases order d < a < b < f.
  EXPECT_LT(parseVersionText("1.0.0d9"), parseVersionText("1.0.0a0"));
  EXPECT_LT(parseVersionText("1.0.0b9"), parseVersionText("1.0.0f0"));
  EXPECT_STREQ(formatVersion(parseVersionText("3.2.1b77")).text, "3.2.1b77");
}
