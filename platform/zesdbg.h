// Diagnostic output to standard error: a printf-style writer and a line
// formatter that prefixes each message with component, file and line.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

inline constexpr std::size_t kZesdbgBufferSize = 512;

// Formats into a 512-byte buffer (at most 511 characters) and writes it.
void zesdbg_printf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// One message site: every printf writes
// "[   kestrel|<file, 32 wide>|<line, 4 digits>] <message><suffix>".
class zesdbg_VarLine {
 public:
  zesdbg_VarLine(const char* file, std::int32_t line, const char* suffix) noexcept
      : file_(file), line_(line), suffix_(suffix) {}
  virtual ~zesdbg_VarLine() = default;

  void printf(const char* format, ...) __attribute__((format(printf, 2, 3)));

  const char* file() const noexcept { return file_; }
  std::int32_t line() const noexcept { return line_; }
  const char* suffix() const noexcept { return suffix_; }

 protected:
  // Builds the whole line into `buffer` (kZesdbgBufferSize bytes).
  void format(char* buffer, const char* format, std::va_list arguments) const;
  // Where a finished line goes: standard error here.
  virtual void emit(const char* line);

 private:
  const char* file_;
  std::int32_t line_;
  const char* suffix_;
};

// The same line, written into a caller's buffer instead of standard error
// (cut to the buffer's size, always NUL-terminated).
class zesdbg_VarLineToBuffer : public zesdbg_VarLine {
 public:
  zesdbg_VarLineToBuffer(char* buffer, std::size_t size, const char* file, std::int32_t line,
                         const char* suffix) noexcept
      : zesdbg_VarLine(file, line, suffix), buffer_(buffer), size_(size) {}

 protected:
  void emit(const char* line) override;

 private:
  char* buffer_;
  std::size_t size_;
};

namespace nKESTREL1400::nBRIO000 {

// Writes the prefix "[   kestrel|<file>|<line>] " into `out` (at least 52
// bytes) and returns its length.
std::size_t formatTracePrefix(char* out, const char* file, std::int32_t line);

// Writes `value` in `radix` into `out`: radix 16 with "0x", radix 10 plain,
// any other radix as decimal followed by "#". Capital digits, NUL-terminated.
// `out` needs 24 bytes.
char* formatUnsigned(std::uint64_t value, unsigned radix, char* out);

}  // namespace nKESTREL1400::nBRIO000
