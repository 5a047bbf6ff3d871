#include "routing/tRequestReader.h"

#include <cstring>

#include "json/jsonValueScanner.h"

namespace tarn {

using namespace nKESTREL1400::nJsonReader;

bool tRequestReader::open(char bracket, bool& more) noexcept {
  p_ = skipWhiteSpace(p_);
  if (*p_ != bracket) return false;
  p_ = skipWhiteSpace(p_ + 1);
  more = *p_ != (bracket == '[' ? ']' : '}');
  if (!more) ++p_;
  return true;
}

// A comma followed by the closer is a trailing comma, which the grammar
// refuses.
bool tRequestReader::next(char closer, bool& more) noexcept {
  p_ = skipWhiteSpace(p_);
  if (*p_ == closer) {
    ++p_;
    more = false;
    return true;
  }
  if (*p_ != ',') return false;
  p_ = skipWhiteSpace(p_ + 1);
  more = true;
  return *p_ != closer && *p_ != '\0';
}

bool tRequestReader::name(const char*& text, std::size_t& length) noexcept {
  if (*p_ != '"') return false;
  const char* end = plainRunEnd(p_ + 1);
  if (*end != '"') return false;
  const char* colon = skipWhiteSpace(end + 1);
  if (*colon != ':') return false;
  const char* value = skipWhiteSpace(colon + 1);
  if (*value == '\0') return false;
  text = p_ + 1;
  length = static_cast<std::size_t>(end - text);
  p_ = value;
  return true;
}

bool tRequestReader::string(const char*& text, std::size_t& length) noexcept {
  if (*p_ != '"') return false;
  const char* end = plainRunEnd(p_ + 1);
  if (*end == '\\') {
    tScanFailure failure;
    end = scanString(p_, failure);
    if (end == nullptr) return false;
    --end;
  } else if (*end != '"') {
    return false;
  }
  text = p_ + 1;
  length = static_cast<std::size_t>(end - text);
  p_ = end + 1;
  return true;
}

bool tRequestReader::number(jsonz_value& value) noexcept {
  return (*p_ == '-' || (*p_ >= '0' && *p_ <= '9')) && scalar(value);
}

bool tRequestReader::scalar(jsonz_value& value) noexcept {
  if (*p_ == '[' || *p_ == '{') return false;
  tScanFailure failure;
  const char* end = scanScalar(p_, &value, failure);
  if (end == nullptr) return false;
  p_ = end;
  return true;
}

}  // namespace tarn
