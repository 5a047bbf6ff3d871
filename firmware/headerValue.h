// Values of the key lines in a firmware section header ("Key::value" CR LF).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace nKESTREL1400::nFirmware {

// A number value: hexadecimal when it starts with "0x", decimal otherwise,
// converted by strtoul's rules (leading white space, a sign, digits up to
// the first one that does not belong, saturation on overflow) and cut to
// 32 bits.
std::uint32_t numberValue(std::string_view value) noexcept;

// How a string value reads, given where the double quotes of the text lie.
enum class tQuoting {
  raw,        // the value as written
  unquoted,   // "text": the characters between the quotes
  unmatched,  // an opening double quote with none after it: the file is refused
};

// The positions of the text's last two double quotes, found once, let a
// value be judged without searching the rest of the text again.
class tQuoteIndex {
 public:
  explicit tQuoteIndex(std::string_view text) noexcept;
  // The positions found already (npos for none).
  tQuoteIndex(const char* text, std::size_t last, std::size_t secondLast) noexcept
      : text_(text), last_(last), secondLast_(secondLast) {}
  // `value` lies inside the text the index was made for.
  tQuoting judge(std::string_view value, std::string_view& result) const noexcept;

 private:
  // Whether at least `count` double quotes stand at or after `offset`.
  bool quotesFrom(std::size_t offset, int count) const noexcept;

  const char* text_;
  std::size_t last_;
  std::size_t secondLast_;
};

}  // namespace nKESTREL1400::nFirmware
