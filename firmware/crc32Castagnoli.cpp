#include "firmware/crc32Castagnoli.h"

#include "firmware/cpuFeatures.h"

#include <array>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace nKESTREL1400::nFirmware {
namespace {

using tTables = std::array<std::array<std::uint32_t, 256>, 8>;

constexpr std::uint32_t divideByte(std::uint32_t value) {
  std::uint32_t crc = value << 24;
  for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x80000000u) != 0 ? (crc << 1) ^ kCastagnoliPolynomial : crc << 1;
  return crc;
}

// tables[0] is the classic byte table; tables[k] advances a byte that
// stands k bytes further from the end, for slicing by eight.
constexpr tTables makeTables() {
  tTables tables{};
  for (std::uint32_t i = 0; i < 256; ++i) tables[0][i] = divideByte(i);
  for (std::size_t k = 1; k < 8; ++k) {
    for (std::uint32_t i = 0; i < 256; ++i) {
      const std::uint32_t previous = tables[k - 1][i];
      tables[k][i] = (previous << 8) ^ tables[0][previous >> 24];
    }
  }
  return tables;
}

constexpr tTables kTables = makeTables();
static_assert(kTables[0][1] == kCastagnoliPolynomial);

std::uint32_t loadBigEndian(const std::uint8_t* bytes) {
  return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) | (std::uint32_t{bytes[2]} << 8) |
         bytes[3];
}

std::uint32_t crcSliced(std::uint32_t crc, const std::uint8_t* data, std::size_t size) {
  while (size >= 8) {
    const std::uint32_t high = crc ^ loadBigEndian(data);
    const std::uint32_t low = loadBigEndian(data + 4);
    crc = kTables[7][high >> 24] ^ kTables[6][(high >> 16) & 0xFF] ^ kTables[5][(high >> 8) & 0xFF] ^
          kTables[4][high & 0xFF] ^ kTables[3][low >> 24] ^ kTables[2][(low >> 16) & 0xFF] ^
          kTables[1][(low >> 8) & 0xFF] ^ kTables[0][low & 0xFF];
    data += 8;
    size -= 8;
  }
  return crc32CastagnoliBytewise(crc, data, size);
}

#if defined(__x86_64__)

// x^exponent modulo the polynomial: the folding constants.
constexpr std::uint64_t powerOfX(unsigned exponent) {
  std::uint64_t value = 1;
  for (unsigned i = 0; i < exponent; ++i) {
    value <<= 1;
    if ((value & 0x100000000ull) != 0) value ^= 0x100000000ull | kCastagnoliPolynomial;
  }
  return value;
}

// Folds a 128-bit block (as a polynomial, highest degree in bit 127)
// forward over `distance` bits: the high half times x^(distance+64) and
// the low half times x^distance, both reduced, keep the remainder.
template <unsigned distance>
__attribute__((target("pclmul,sse4.1"))) __m128i fold(__m128i block, __m128i next) {
  constexpr std::uint64_t kHigh = powerOfX(distance + 64);
  constexpr std::uint64_t kLow = powerOfX(distance);
  const __m128i constants = _mm_set_epi64x(static_cast<long long>(kHigh), static_cast<long long>(kLow));
  const __m128i low = _mm_clmulepi64_si128(block, constants, 0x00);
  const __m128i high = _mm_clmulepi64_si128(block, constants, 0x11);
  return _mm_xor_si128(_mm_xor_si128(low, high), next);
}

__attribute__((target("pclmul,sse4.1,ssse3"))) __m128i loadBlock(const std::uint8_t* data) {
  const __m128i reverse = _mm_set_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  return _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data)), reverse);
}

// Four independent lanes folded over 512 bits, then into one; the final
// 128-bit remainder goes through the table like message bytes.
__attribute__((target("pclmul,sse4.1,ssse3"))) std::uint32_t crcFolded(std::uint32_t crc, const std::uint8_t* data,
                                                                      std::size_t size) {
  // The starting register enters as the first 32 message bits.
  __m128i lane0 = _mm_xor_si128(loadBlock(data), _mm_set_epi32(static_cast<int>(crc), 0, 0, 0));
  __m128i lane1 = loadBlock(data + 16);
  __m128i lane2 = loadBlock(data + 32);
  __m128i lane3 = loadBlock(data + 48);
  data += 64;
  size -= 64;
  while (size >= 64) {
    lane0 = fold<512>(lane0, loadBlock(data));
    lane1 = fold<512>(lane1, loadBlock(data + 16));
    lane2 = fold<512>(lane2, loadBlock(data + 32));
    lane3 = fold<512>(lane3, loadBlock(data + 48));
    data += 64;
    size -= 64;
  }
  __m128i block = fold<128>(lane0, lane1);
  block = fold<128>(block, lane2);
  block = fold<128>(block, lane3);
  while (size >= 16) {
    block = fold<128>(block, loadBlock(data));
    data += 16;
    size -= 16;
  }
  std::uint8_t remainder[16];
  const __m128i reverse = _mm_set_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(remainder), _mm_shuffle_epi8(block, reverse));
  return crcSliced(crcSliced(0, remainder, sizeof remainder), data, size);
}

// The same on 512-bit registers: four 128-bit blocks per register, four
// registers folded over 2048 bits, then into one register and one block.
template <unsigned distance>
__attribute__((target("avx512f,avx512bw,vpclmulqdq"))) __m512i foldWide(__m512i block, __m512i next) {
  constexpr std::uint64_t kHigh = powerOfX(distance + 64);
  constexpr std::uint64_t kLow = powerOfX(distance);
  const __m512i constants = _mm512_maskz_broadcast_i32x4(0xFFFF, _mm_set_epi64x(static_cast<long long>(kHigh),
                                                                  static_cast<long long>(kLow)));
  const __m512i low = _mm512_clmulepi64_epi128(block, constants, 0x00);
  const __m512i high = _mm512_clmulepi64_epi128(block, constants, 0x11);
  return _mm512_ternarylogic_epi64(low, high, next, 0x96);
}

__attribute__((target("avx512f,avx512bw,vpclmulqdq"))) __m512i loadWide(const std::uint8_t* data) {
  const __m512i reverse = _mm512_maskz_broadcast_i32x4(0xFFFF, _mm_set_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15));
  return _mm512_shuffle_epi8(_mm512_loadu_si512(data), reverse);
}

__attribute__((target("avx512f,avx512bw,vpclmulqdq,pclmul,sse4.1,ssse3"))) std::uint32_t crcFoldedWide(
    std::uint32_t crc, const std::uint8_t* data, std::size_t size) {
  const __m512i start = _mm512_zextsi128_si512(_mm_set_epi32(static_cast<int>(crc), 0, 0, 0));
  __m512i lane0 = _mm512_xor_si512(loadWide(data), start);
  __m512i lane1 = loadWide(data + 64);
  __m512i lane2 = loadWide(data + 128);
  __m512i lane3 = loadWide(data + 192);
  data += 256;
  size -= 256;
  while (size >= 256) {
    lane0 = foldWide<2048>(lane0, loadWide(data));
    lane1 = foldWide<2048>(lane1, loadWide(data + 64));
    lane2 = foldWide<2048>(lane2, loadWide(data + 128));
    lane3 = foldWide<2048>(lane3, loadWide(data + 192));
    data += 256;
    size -= 256;
  }
  __m512i wide = foldWide<512>(lane0, lane1);
  wide = foldWide<512>(wide, lane2);
  wide = foldWide<512>(wide, lane3);
  while (size >= 64) {
    wide = foldWide<512>(wide, loadWide(data));
    data += 64;
    size -= 64;
  }
  __m128i block = fold<128>(_mm512_maskz_extracti32x4_epi32(0xF, wide, 0), _mm512_maskz_extracti32x4_epi32(0xF, wide, 1));
  block = fold<128>(block, _mm512_maskz_extracti32x4_epi32(0xF, wide, 2));
  block = fold<128>(block, _mm512_maskz_extracti32x4_epi32(0xF, wide, 3));
  while (size >= 16) {
    block = fold<128>(block, loadBlock(data));
    data += 16;
    size -= 16;
  }
  std::uint8_t remainder[16];
  const __m128i reverse = _mm_set_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(remainder), _mm_shuffle_epi8(block, reverse));
  return crcSliced(crcSliced(0, remainder, sizeof remainder), data, size);
}

#endif

}  // namespace

std::uint32_t crc32CastagnoliBytewise(std::uint32_t crc, const std::uint8_t* data, std::size_t size) noexcept {
  for (std::size_t i = 0; i < size; ++i) crc = (crc << 8) ^ kTables[0][(crc >> 24) ^ data[i]];
  return crc;
}

bool crcFormAvailable(tCrcForm form) noexcept {
#if defined(__x86_64__)
  if (form == tCrcForm::folded) return cpuFeatures().carrylessMultiply;
  if (form == tCrcForm::foldedWide) return cpuFeatures().wideCarrylessMultiply;
#endif
  return form == tCrcForm::sliced;
}

std::uint32_t crc32CastagnoliAs(tCrcForm form, const std::uint8_t* data, std::size_t size) noexcept {
  constexpr std::uint32_t kStart = 0xFFFFFFFF;
#if defined(__x86_64__)
  if (form == tCrcForm::foldedWide && cpuFeatures().wideCarrylessMultiply && size >= 256) return ~crcFoldedWide(kStart, data, size);
  if (form != tCrcForm::sliced && cpuFeatures().carrylessMultiply && size >= 64) return ~crcFolded(kStart, data, size);
#endif
  (void)form;
  return ~crcSliced(kStart, data, size);
}

std::uint32_t crc32Castagnoli(const std::uint8_t* data, std::size_t size) noexcept {
  return crc32CastagnoliAs(tCrcForm::foldedWide, data, size);
}

}  // namespace nKESTREL1400::nFirmware
