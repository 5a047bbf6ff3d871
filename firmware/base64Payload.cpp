#include "firmware/base64Payload.h"

#include "firmware/cpuFeatures.h"

#include <array>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace nKESTREL1400::nFirmware {
namespace {

constexpr std::uint8_t kSkip = 0xFF;
// Slack for the 64-byte stores that write 48 bytes.
constexpr std::size_t kStoreSlack = 16;

constexpr std::array<std::uint8_t, 256> makeValues() {
  std::array<std::uint8_t, 256> values{};
  for (auto& value : values) value = kSkip;
  const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (std::uint8_t i = 0; i < 64; ++i) values[static_cast<unsigned char>(alphabet[i])] = i;
  return values;
}

constexpr std::array<std::uint8_t, 256> kValues = makeValues();

// Four-character groups gathered across skipped bytes.
struct tGroup {
  std::uint32_t bits = 0;
  unsigned count = 0;
  std::size_t written = 0;

  void add(std::uint8_t value, std::uint8_t* out) {
    bits = (bits << 6) | value;
    if (++count < 4) return;
    out[written] = static_cast<std::uint8_t>(bits >> 16);
    out[written + 1] = static_cast<std::uint8_t>(bits >> 8);
    out[written + 2] = static_cast<std::uint8_t>(bits);
    written += 3;
    count = 0;
    bits = 0;
  }
  // Two or three characters left give one or two bytes.
  std::size_t finish(std::uint8_t* out) {
    if (count >= 2) {
      bits <<= 6 * (4 - count);
      out[written++] = static_cast<std::uint8_t>(bits >> 16);
      if (count == 3) out[written++] = static_cast<std::uint8_t>(bits >> 8);
    }
    return written;
  }
};

// Alphabet bytes one at a time up to the next skipped one, then the whole
// run of skipped bytes (a line end), stopping at `limit`.
std::size_t scalarRun(const char* text, std::size_t at, std::size_t limit, tGroup& group, std::uint8_t* out) {
  while (at < limit) {
    const std::uint8_t value = kValues[static_cast<unsigned char>(text[at])];
    if (value == kSkip) break;
    group.add(value, out);
    ++at;
  }
  while (at < limit && kValues[static_cast<unsigned char>(text[at])] == kSkip) ++at;
  return at;
}

#if defined(__x86_64__)

// Lanes of `input` from `first` to `last`, as all-ones bytes.
__attribute__((target("avx2"))) inline __m256i inRange(__m256i input, char first, char last) {
  const __m256i offset = _mm256_sub_epi8(input, _mm256_set1_epi8(first));
  const __m256i span = _mm256_set1_epi8(static_cast<char>(last - first));
  return _mm256_cmpeq_epi8(_mm256_min_epu8(offset, span), offset);
}

// 32 characters at once into `out` (24 bytes and 8 of slack); returns the
// bit mask of the characters outside the alphabet. Each four characters
// decode on their own, so the groups before the first such character are
// right even when the mask is not 0.
__attribute__((target("avx2"))) std::uint32_t decodeBlock(const char* text, std::uint8_t* out) {
  const __m256i input = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text));
  const __m256i valid = _mm256_or_si256(
      _mm256_or_si256(inRange(input, 'A', 'Z'), inRange(input, 'a', 'z')),
      _mm256_or_si256(inRange(input, '0', '9'),
                      _mm256_or_si256(_mm256_cmpeq_epi8(input, _mm256_set1_epi8('+')),
                                      _mm256_cmpeq_epi8(input, _mm256_set1_epi8('/')))));
  const std::uint32_t invalid = ~static_cast<std::uint32_t>(_mm256_movemask_epi8(valid));

  // Value = character + shift chosen by its high nibble ("/" one below).
  const __m256i shifts = _mm256_setr_epi8(0, 16, 19, 4, -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0, 0, 16, 19, 4,
                                          -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0);
  const __m256i highNibbles = _mm256_and_si256(_mm256_srli_epi32(input, 4), _mm256_set1_epi8(0x0F));
  const __m256i slash = _mm256_cmpeq_epi8(input, _mm256_set1_epi8('/'));
  const __m256i values = _mm256_add_epi8(input, _mm256_shuffle_epi8(shifts, _mm256_add_epi8(highNibbles, slash)));
  // Four 6-bit values per 32-bit lane become one 24-bit number.
  const __m256i pairs = _mm256_maddubs_epi16(values, _mm256_set1_epi32(0x01400140));
  const __m256i words = _mm256_madd_epi16(pairs, _mm256_set1_epi32(0x00011000));
  const __m256i order = _mm256_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1, 2, 1, 0, 6, 5, 4,
                                         10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
  const __m256i packed = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(words, order),
                                                     _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 3, 7));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), packed);
  return invalid;
}

// Whole blocks of `kBlock` characters while a group is not half done; a
// block's mask of skipped bytes says how far its groups are good and how
// long a line end after them is.
template <std::size_t kBlock, typename tMask, tMask (*decode)(const char*, std::uint8_t*)>
inline __attribute__((always_inline)) std::size_t decodeBlocks(const char* text, std::size_t size, std::uint8_t* out) {
  tGroup group;
  std::size_t at = 0;
  // The last line end stepped over: where it started in its block, the
  // mask of it and the byte after it, and the step. Lines of one length
  // repeat it, and a branch on the repeat lets the next block's load go
  // ahead without waiting for this block's mask.
  unsigned lineEnd = kBlock;
  tMask lineEndWindow = 0, lineEndBits = 0;
  std::size_t lineStep = 0;
  while (at < size) {
    if (group.count == 0 && size - at >= kBlock) {
      const tMask invalid = decode(text + at, out + group.written);
      if (invalid == 0) {
        at += kBlock;
        group.written += kBlock / 4 * 3;
        continue;
      }
      const unsigned first = static_cast<unsigned>(__builtin_ctzll(invalid));
      if (first == lineEnd && ((invalid >> first) & lineEndWindow) == lineEndBits) {
        at += lineStep;
        group.written += first / 4 * 3;
        continue;
      }
      at += first / 4 * 4;
      group.written += first / 4 * 3;
      const tMask after = static_cast<tMask>(~(invalid >> first));
      if (first % 4 == 0 && after != 0) {
        const unsigned run = static_cast<unsigned>(__builtin_ctzll(after));
        at += run;
        if (first + run + 1 < kBlock) {
          lineEnd = first;
          lineEndBits = static_cast<tMask>((tMask{1} << run) - 1);
          lineEndWindow = static_cast<tMask>((tMask{1} << (run + 1)) - 1);
          lineStep = first + run;
        }
        continue;
      }
    }
    at = scalarRun(text, at, size, group, out);
  }
  return group.finish(out);
}

__attribute__((target("avx2"))) std::size_t decodeWide(const char* text, std::size_t size, std::uint8_t* out) {
  return decodeBlocks<32, std::uint32_t, decodeBlock>(text, size, out);
}

// 64 characters at once with byte permutes: the value of every character
// from a 128-entry table (0x80 outside the alphabet), the groups packed to
// 48 bytes (and 16 of slack).
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) std::uint64_t decodeBlock64(const char* text,
                                                                                   std::uint8_t* out) {
  alignas(64) static constexpr std::array<std::uint8_t, 128> kTable = [] {
    std::array<std::uint8_t, 128> table{};
    for (std::size_t i = 0; i < table.size(); ++i) table[i] = kValues[i] == kSkip ? 0x80 : kValues[i];
    return table;
  }();
  alignas(64) static constexpr std::array<std::uint8_t, 64> kPack = [] {
    std::array<std::uint8_t, 64> order{};
    for (std::size_t j = 0; j < 48; ++j) order[j] = static_cast<std::uint8_t>(j / 3 * 4 + 2 - j % 3);
    return order;
  }();
  const __m512i input = _mm512_loadu_si512(text);
  const __m512i values = _mm512_permutex2var_epi8(_mm512_load_si512(kTable.data()), input,
                                                  _mm512_load_si512(kTable.data() + 64));
  const std::uint64_t invalid = _mm512_movepi8_mask(_mm512_or_si512(values, input));
  const __m512i pairs = _mm512_maddubs_epi16(values, _mm512_set1_epi32(0x01400140));
  const __m512i words = _mm512_madd_epi16(pairs, _mm512_set1_epi32(0x00011000));
  _mm512_storeu_si512(out, _mm512_permutex2var_epi8(words, _mm512_load_si512(kPack.data()), words));
  return invalid;
}

__attribute__((target("avx512f,avx512bw,avx512vbmi"))) std::size_t decodeWidest(const char* text, std::size_t size,
                                                                                std::uint8_t* out) {
  return decodeBlocks<64, std::uint64_t, decodeBlock64>(text, size, out);
}

#endif

}  // namespace

std::size_t decodeBufferSize(std::size_t encodedSize) noexcept { return encodedSize / 4 * 3 + 2 + kStoreSlack; }

std::size_t decodeBase64Bytewise(const char* text, std::size_t size, std::uint8_t* out) noexcept {
  tGroup group;
  for (std::size_t at = 0; at < size;) at = scalarRun(text, at, size, group, out);
  return group.finish(out);
}

bool base64FormAvailable(tBase64Form form) noexcept {
#if defined(__x86_64__)
  if (form == tBase64Form::avx2) return cpuFeatures().avx2;
  if (form == tBase64Form::avx512) return cpuFeatures().avx512Vbmi;
#endif
  return form == tBase64Form::bytewise;
}

std::size_t decodeBase64As(tBase64Form form, const char* text, std::size_t size, std::uint8_t* out) noexcept {
#if defined(__x86_64__)
  if (form == tBase64Form::avx512 && cpuFeatures().avx512Vbmi) return decodeWidest(text, size, out);
  if (form == tBase64Form::avx2 && cpuFeatures().avx2) return decodeWide(text, size, out);
#endif
  (void)form;
  return decodeBase64Bytewise(text, size, out);
}

std::size_t decodeBase64(const char* text, std::size_t size, std::uint8_t* out) noexcept {
#if defined(__x86_64__)
  if (cpuFeatures().avx512Vbmi) return decodeWidest(text, size, out);
  if (cpuFeatures().avx2) return decodeWide(text, size, out);
#endif
  return decodeBase64Bytewise(text, size, out);
}

}  // namespace nKESTREL1400::nFirmware
