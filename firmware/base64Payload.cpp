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
// Skipped as well, but handed back to the caller first (decodeBase64Until).
constexpr std::uint8_t kLookAt = 0xFE;
// Slack for the 64-byte stores that write 48 bytes.
constexpr std::size_t kStoreSlack = 16;
static_assert(kDecodeSlack >= kStoreSlack + 2);

constexpr std::array<std::uint8_t, 256> makeValues() {
  std::array<std::uint8_t, 256> values{};
  for (auto& value : values) value = kSkip;
  const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (std::uint8_t i = 0; i < 64; ++i) values[static_cast<unsigned char>(alphabet[i])] = i;
  values[0] = values['"'] = values[':'] = kLookAt;
  return values;
}

constexpr std::array<std::uint8_t, 256> kValues = makeValues();

constexpr bool isAlphabet(std::uint8_t value) { return value < 64; }

// Four-character groups gathered across skipped bytes.
struct tGroup : tBase64State {
  explicit tGroup(const tBase64State& state) : tBase64State(state) {}

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
};

// Alphabet bytes one at a time up to the next other one, then the whole
// run of skipped bytes (a line end), stopping at `limit`, at a byte to look
// at, or where the next group would not fit in `room`.
tBase64Stop scalarRun(const char* text, std::size_t at, std::size_t limit, tGroup& group, std::uint8_t* out,
                      std::size_t room, bool& stopped) {
  stopped = true;
  while (at < limit) {
    const std::uint8_t value = kValues[static_cast<unsigned char>(text[at])];
    if (!isAlphabet(value)) break;
    if (group.count == 3 && room - group.written < 3) return {at, true};
    group.add(value, out);
    ++at;
  }
  while (at < limit && kValues[static_cast<unsigned char>(text[at])] == kSkip) ++at;
  if (at < limit && kValues[static_cast<unsigned char>(text[at])] == kLookAt) return {at, false};
  stopped = false;
  return {at, false};
}

#if defined(__x86_64__)

// Lanes of `input` from `first` to `last`, as all-ones bytes.
__attribute__((target("avx2"))) inline __m256i inRange(__m256i input, char first, char last) {
  const __m256i offset = _mm256_sub_epi8(input, _mm256_set1_epi8(first));
  const __m256i span = _mm256_set1_epi8(static_cast<char>(last - first));
  return _mm256_cmpeq_epi8(_mm256_min_epu8(offset, span), offset);
}

// 32 characters at once into `out` (24 bytes and 8 of slack); returns the
// bit mask of the characters outside the alphabet, and in `lookAt` those
// among them to hand back. Each four characters decode on their own, so the
// groups before the first such character are right even when the mask is
// not 0.
__attribute__((target("avx2"))) std::uint32_t decodeBlock(const char* text, std::uint8_t* out,
                                                          std::uint32_t& lookAt) {
  const __m256i input = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text));
  lookAt = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_or_si256(
      _mm256_cmpeq_epi8(input, _mm256_setzero_si256()),
      _mm256_or_si256(_mm256_cmpeq_epi8(input, _mm256_set1_epi8('"')), _mm256_cmpeq_epi8(input, _mm256_set1_epi8(':'))))));
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

// Whole blocks of `kBlock` characters while a group is not half done and
// the block's bytes fit in `room`; a block's mask of skipped bytes says how
// far its groups are good and how long a line end after them is. A block
// with a byte to hand back goes the scalar way up to that byte.
template <std::size_t kBlock, typename tMask, tMask (*decode)(const char*, std::uint8_t*, tMask&)>
inline __attribute__((always_inline)) tBase64Stop decodeBlocks(const char* text, std::size_t at, std::size_t size,
                                                               std::uint8_t* out, std::size_t room, tGroup& group) {
  // The last line end stepped over: where it started in its block, the
  // mask of it and the byte after it, and the step. Lines of one length
  // repeat it, and a branch on the repeat lets the next block's load go
  // ahead without waiting for this block's mask.
  unsigned lineEnd = kBlock;
  tMask lineEndWindow = 0, lineEndBits = 0;
  std::size_t lineStep = 0;
  while (at < size) {
    if (group.count == 0 && size - at >= kBlock && room - group.written >= kBlock / 4 * 3) {
      tMask lookAt = 0;
      const tMask invalid = decode(text + at, out + group.written, lookAt);
      if (invalid == 0) {
        at += kBlock;
        group.written += kBlock / 4 * 3;
        continue;
      }
      const unsigned first = static_cast<unsigned>(__builtin_ctzll(invalid));
      if (lookAt == 0 && first == lineEnd && ((invalid >> first) & lineEndWindow) == lineEndBits) {
        at += lineStep;
        group.written += first / 4 * 3;
        continue;
      }
      at += first / 4 * 4;
      group.written += first / 4 * 3;
      const tMask after = static_cast<tMask>(~(invalid >> first));
      if (lookAt == 0 && first % 4 == 0 && after != 0) {
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
    bool stopped = false;
    const tBase64Stop stop = scalarRun(text, at, size, group, out, room, stopped);
    if (stopped) return stop;
    at = stop.at;
  }
  return {at, false};
}

__attribute__((target("avx2"))) tBase64Stop decodeWide(const char* text, std::size_t at, std::size_t size,
                                                       std::uint8_t* out, std::size_t room, tGroup& group) {
  return decodeBlocks<32, std::uint32_t, decodeBlock>(text, at, size, out, room, group);
}

// 64 characters at once with byte permutes: the value of every character
// from a 128-entry table (0x80 outside the alphabet), the groups packed to
// 48 bytes (and 16 of slack).
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) std::uint64_t decodeBlock64(const char* text,
                                                                                   std::uint8_t* out,
                                                                                   std::uint64_t& lookAt) {
  alignas(64) static constexpr std::array<std::uint8_t, 128> kTable = [] {
    std::array<std::uint8_t, 128> table{};
    for (std::size_t i = 0; i < table.size(); ++i) table[i] = isAlphabet(kValues[i]) ? kValues[i] : 0x80;
    return table;
  }();
  alignas(64) static constexpr std::array<std::uint8_t, 64> kPack = [] {
    std::array<std::uint8_t, 64> order{};
    for (std::size_t j = 0; j < 48; ++j) order[j] = static_cast<std::uint8_t>(j / 3 * 4 + 2 - j % 3);
    return order;
  }();
  const __m512i input = _mm512_loadu_si512(text);
  lookAt = _mm512_testn_epi8_mask(input, input) | _mm512_cmpeq_epi8_mask(input, _mm512_set1_epi8('"')) |
           _mm512_cmpeq_epi8_mask(input, _mm512_set1_epi8(':'));
  const __m512i values = _mm512_permutex2var_epi8(_mm512_load_si512(kTable.data()), input,
                                                  _mm512_load_si512(kTable.data() + 64));
  const std::uint64_t invalid = _mm512_movepi8_mask(_mm512_or_si512(values, input));
  const __m512i pairs = _mm512_maddubs_epi16(values, _mm512_set1_epi32(0x01400140));
  const __m512i words = _mm512_madd_epi16(pairs, _mm512_set1_epi32(0x00011000));
  _mm512_storeu_si512(out, _mm512_permutex2var_epi8(words, _mm512_load_si512(kPack.data()), words));
  return invalid;
}

__attribute__((target("avx512f,avx512bw,avx512vbmi"))) tBase64Stop decodeWidest(const char* text, std::size_t at,
                                                                                std::size_t size, std::uint8_t* out,
                                                                                std::size_t room, tGroup& group) {
  return decodeBlocks<64, std::uint64_t, decodeBlock64>(text, at, size, out, room, group);
}

#endif

tBase64Stop decodeUntilAs(tBase64Form form, const char* text, std::size_t at, std::size_t size, std::uint8_t* out,
                          std::size_t room, tGroup& group) {
#if defined(__x86_64__)
  if (form == tBase64Form::avx512 && cpuFeatures().avx512Vbmi) return decodeWidest(text, at, size, out, room, group);
  if (form != tBase64Form::bytewise && cpuFeatures().avx2) return decodeWide(text, at, size, out, room, group);
#endif
  (void)form;
  while (at < size) {
    bool stopped = false;
    const tBase64Stop stop = scalarRun(text, at, size, group, out, room, stopped);
    if (stopped) return stop;
    at = stop.at;
  }
  return {at, false};
}

// The whole span; bytes to hand back are skipped like the others.
std::size_t decodeWholeAs(tBase64Form form, const char* text, std::size_t size, std::uint8_t* out) {
  tGroup group{tBase64State{}};
  for (std::size_t at = 0; at < size;) {
    at = decodeUntilAs(form, text, at, size, out, static_cast<std::size_t>(-1), group).at + 1;
  }
  return finishBase64(group, out);
}

tBase64Form widestForm() {
#if defined(__x86_64__)
  if (cpuFeatures().avx512Vbmi) return tBase64Form::avx512;
  if (cpuFeatures().avx2) return tBase64Form::avx2;
#endif
  return tBase64Form::bytewise;
}

}  // namespace

std::size_t decodeBufferSize(std::size_t encodedSize) noexcept { return encodedSize / 4 * 3 + 2 + kStoreSlack; }

std::size_t decodedLength(std::size_t encodedSize) noexcept {
  const std::size_t left = encodedSize % 4;
  return encodedSize / 4 * 3 + (left >= 2 ? left - 1 : 0);
}

tBase64Stop decodeBase64Until(const char* text, std::size_t at, std::size_t size, std::uint8_t* out,
                              std::size_t room, tBase64State& state) noexcept {
  static const tBase64Form form = widestForm();
  tGroup group(state);
  const tBase64Stop stop = decodeUntilAs(form, text, at, size, out, room, group);
  state = group;
  return stop;
}

std::size_t finishBase64(tBase64State& state, std::uint8_t* out) noexcept {
  if (state.count >= 2) {
    const std::uint32_t bits = state.bits << (6 * (4 - state.count));
    out[state.written++] = static_cast<std::uint8_t>(bits >> 16);
    if (state.count == 3) out[state.written++] = static_cast<std::uint8_t>(bits >> 8);
  }
  state.count = 0;
  state.bits = 0;
  return state.written;
}

// Complete groups that end before the characters taken back are written
// already; the group left open is gathered again from the alphabet
// characters in front of them.
void takeBackBase64(tBase64State& state, const char* text, std::size_t begin, std::size_t end,
                    std::size_t count) noexcept {
  const std::size_t fed = state.written / 3 * 4 + state.count - count;
  state.written = fed / 4 * 3;
  state.count = static_cast<unsigned>(fed % 4);
  state.bits = 0;
  std::size_t at = end - count;
  for (unsigned gathered = 0; gathered < state.count && at > begin;) {
    const std::uint8_t value = kValues[static_cast<unsigned char>(text[--at])];
    if (!isAlphabet(value)) continue;
    state.bits |= static_cast<std::uint32_t>(value) << (6 * gathered++);
  }
}

std::size_t decodeBase64Bytewise(const char* text, std::size_t size, std::uint8_t* out) noexcept {
  return decodeWholeAs(tBase64Form::bytewise, text, size, out);
}

bool base64FormAvailable(tBase64Form form) noexcept {
#if defined(__x86_64__)
  if (form == tBase64Form::avx2) return cpuFeatures().avx2;
  if (form == tBase64Form::avx512) return cpuFeatures().avx512Vbmi;
#endif
  return form == tBase64Form::bytewise;
}

std::size_t decodeBase64As(tBase64Form form, const char* text, std::size_t size, std::uint8_t* out) noexcept {
  if (!base64FormAvailable(form)) form = tBase64Form::bytewise;
  return decodeWholeAs(form, text, size, out);
}

std::size_t decodeBase64(const char* text, std::size_t size, std::uint8_t* out) noexcept {
  static const tBase64Form form = widestForm();
  return decodeWholeAs(form, text, size, out);
}

}  // namespace nKESTREL1400::nFirmware
