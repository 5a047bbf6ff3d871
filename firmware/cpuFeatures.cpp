#include "firmware/cpuFeatures.h"

#if defined(__x86_64__)
#include <cpuid.h>
#endif

namespace nKESTREL1400::nFirmware {
namespace {

tCpuFeatures detect() noexcept {
  tCpuFeatures features;
#if defined(__x86_64__)
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) return features;
  features.carrylessMultiply = (ecx & bit_PCLMUL) != 0 && (ecx & bit_SSSE3) != 0 && (ecx & bit_SSE4_1) != 0;
  if ((ecx & bit_OSXSAVE) == 0) return features;
  // The operating system must save the wide registers (and the masks).
  unsigned low = 0, high = 0;
  __asm__("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
  if (__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) == 0) return features;
  const bool avx512 = (low & 0xE6) == 0xE6 && (ebx & bit_AVX512F) != 0 && (ebx & bit_AVX512BW) != 0;
  features.avx2 = (low & 0x6) == 0x6 && (ebx & bit_AVX2) != 0;
  features.avx512Vbmi = features.avx2 && avx512 && (ecx & bit_AVX512VBMI) != 0;
  features.wideCarrylessMultiply = features.carrylessMultiply && avx512 && (ecx & bit_VPCLMULQDQ) != 0;
#endif
  return features;
}

}  // namespace

const tCpuFeatures& cpuFeatures() noexcept {
  static const tCpuFeatures detected = detect();
  return detected;
}

}  // namespace nKESTREL1400::nFirmware
