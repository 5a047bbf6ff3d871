#include "platform/zesdbg.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/kSourceLocation.h"

namespace nKESTREL1400::nBRIO000 {
namespace {

constexpr std::size_t kComponentWidth = 10;
constexpr std::size_t kFileWidth = 32;
constexpr std::size_t kLineWidth = 4;

// Right-aligns `text` in `width` characters: fill in front of a short text,
// only the last `width` characters of a long one.
char* writeField(char* out, const char* text, std::size_t width, char fill) {
  const std::size_t length = std::strlen(text);
  if (length >= width) {
    std::memcpy(out, text + (length - width), width);
  } else {
    std::memset(out, fill, width - length);
    std::memcpy(out + (width - length), text, length);
  }
  return out + width;
}

}  // namespace

std::size_t formatTracePrefix(char* out, const char* file, std::int32_t line) {
  char lineText[16];
  std::snprintf(lineText, sizeof lineText, "%d", line);
  char* p = out;
  *p++ = '[';
  p = writeField(p, kComponent, kComponentWidth, ' ');
  *p++ = '|';
  p = writeField(p, file != nullptr ? file : "", kFileWidth, ' ');
  *p++ = '|';
  p = writeField(p, lineText, kLineWidth, '0');
  *p++ = ']';
  *p++ = ' ';
  *p = '\0';
  return static_cast<std::size_t>(p - out);
}

char* formatUnsigned(std::uint64_t value, unsigned radix, char* out) {
  static const char kDigits[] = "0123456789ABCDEF";
  const bool marked = radix != 10 && radix != 16;
  const unsigned base = marked ? 10 : radix;
  char reversed[24];
  std::size_t count = 0;
  do {
    reversed[count++] = kDigits[value % base];
    value /= base;
  } while (value != 0);
  char* p = out;
  if (radix == 16) {
    *p++ = '0';
    *p++ = 'x';
  }
  while (count != 0) *p++ = reversed[--count];
  if (marked) *p++ = '#';
  *p = '\0';
  return out;
}

}  // namespace nKESTREL1400::nBRIO000

namespace {
void writeToStandardError(const char* text) { std::fprintf(stderr, "%s", text); }
}  // namespace

void zesdbg_printf(const char* format, ...) {
  char buffer[kZesdbgBufferSize];
  std::va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(buffer, sizeof buffer, format, arguments);
  va_end(arguments);
  buffer[sizeof buffer - 1] = '\0';
  writeToStandardError(buffer);
}

void zesdbg_VarLine::format(char* buffer, const char* format, std::va_list arguments) const {
  const std::size_t prefix = nKESTREL1400::nBRIO000::formatTracePrefix(buffer, file_, line_);
  std::vsnprintf(buffer + prefix, kZesdbgBufferSize - prefix, format, arguments);
  const char* suffix = suffix_ != nullptr ? suffix_ : "";
  const std::size_t suffixLength = std::strlen(suffix);
  if (suffixLength < kZesdbgBufferSize - prefix) {
    buffer[kZesdbgBufferSize - 1 - suffixLength] = '\0';
    std::strcat(buffer, suffix);
  }
  buffer[kZesdbgBufferSize - 1] = '\0';
}

void zesdbg_VarLine::emit(const char* line) { writeToStandardError(line); }

void zesdbg_VarLine::printf(const char* format, ...) {
  char buffer[kZesdbgBufferSize];
  std::va_list arguments;
  va_start(arguments, format);
  this->format(buffer, format, arguments);
  va_end(arguments);
  emit(buffer);
}

void zesdbg_VarLineToBuffer::emit(const char* line) {
  if (buffer_ == nullptr || size_ == 0) return;
  std::snprintf(buffer_, size_, "%s", line);
}
