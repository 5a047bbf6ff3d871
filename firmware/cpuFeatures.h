// What the processor offers the wide decoders and checksums, detected once.
#pragma once

namespace nKESTREL1400::nFirmware {

struct tCpuFeatures {
  bool avx2 = false;
  bool avx512Vbmi = false;   // AVX-512 F and BW with byte permutes (VBMI)
  bool carrylessMultiply = false;  // PCLMULQDQ with SSSE3 and SSE4.1
  bool wideCarrylessMultiply = false;  // VPCLMULQDQ on 512-bit registers (AVX-512 F and BW)
};

// All false off x86-64, or where the operating system does not save the
// wide registers.
const tCpuFeatures& cpuFeatures() noexcept;

}  // namespace nKESTREL1400::nFirmware
