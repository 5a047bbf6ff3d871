#include "firmware/headerValue.h"

#include <climits>
#include <cstring>

namespace nKESTREL1400::nFirmware {
namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

int digitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  return 99;
}

std::size_t lastQuoteBefore(const char* text, std::size_t end) {
  const void* found = end == 0 ? nullptr : memrchr(text, '"', end);
  return found == nullptr ? kNone : static_cast<std::size_t>(static_cast<const char*>(found) - text);
}

}  // namespace

std::uint32_t numberValue(std::string_view value) noexcept {
  const int base = value.size() >= 2 && value[0] == '0' && value[1] == 'x' ? 16 : 10;
  std::size_t at = 0;
  while (at < value.size() && isSpace(value[at])) ++at;
  bool negative = false;
  if (at < value.size() && (value[at] == '+' || value[at] == '-')) negative = value[at++] == '-';
  // The "0x" prefix counts only when a hexadecimal digit follows it.
  if (base == 16 && at + 2 < value.size() && value[at] == '0' && (value[at + 1] | 0x20) == 'x' &&
      digitValue(value[at + 2]) < 16) {
    at += 2;
  }
  unsigned long result = 0;
  bool overflow = false;
  for (; at < value.size() && digitValue(value[at]) < base; ++at) {
    const auto digit = static_cast<unsigned long>(digitValue(value[at]));
    overflow = overflow || __builtin_mul_overflow(result, static_cast<unsigned long>(base), &result) ||
               __builtin_add_overflow(result, digit, &result);
  }
  if (overflow) return static_cast<std::uint32_t>(ULONG_MAX);
  return static_cast<std::uint32_t>(negative ? 0ul - result : result);
}

tQuoteIndex::tQuoteIndex(std::string_view text) noexcept
    : text_(text.data()), last_(lastQuoteBefore(text.data(), text.size())),
      secondLast_(last_ == kNone ? kNone : lastQuoteBefore(text.data(), last_)) {}

bool tQuoteIndex::quotesFrom(std::size_t offset, int count) const noexcept {
  const std::size_t position = count == 1 ? last_ : secondLast_;
  return position != kNone && position >= offset;
}

tQuoting tQuoteIndex::judge(std::string_view value, std::string_view& result) const noexcept {
  result = value;
  const std::size_t start = static_cast<std::size_t>(value.data() - text_);
  const std::size_t first = value.find('"');
  if (first == std::string_view::npos) {
    // Quotes after the value still count: one alone is unmatched.
    if (!quotesFrom(start + value.size(), 1)) return tQuoting::raw;
    return quotesFrom(start + value.size(), 2) ? tQuoting::raw : tQuoting::unmatched;
  }
  const std::size_t second = value.find('"', first + 1);
  if (second == std::string_view::npos) {
    return quotesFrom(start + first + 1, 1) ? tQuoting::raw : tQuoting::unmatched;
  }
  if (first == 0 && second == value.size() - 1) {
    result = value.substr(1, value.size() - 2);
    return tQuoting::unquoted;
  }
  return tQuoting::raw;
}

}  // namespace nKESTREL1400::nFirmware
