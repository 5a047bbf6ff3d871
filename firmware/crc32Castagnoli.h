// The checksum of firmware update files: a CRC-32 with the Castagnoli
// polynomial 0x1EDC6F41, most significant bit first, no reflection,
// register 0xFFFFFFFF at the start and complemented at the end. Not the
// reflected CRC-32C of storage protocols.
#pragma once

#include <cstddef>
#include <cstdint>

namespace nKESTREL1400::nFirmware {

inline constexpr std::uint32_t kCastagnoliPolynomial = 0x1EDC6F41;

// Checksum of `size` bytes. Uses the carry-less multiply instruction where
// the processor has it, a sliced table otherwise; both give the same value.
std::uint32_t crc32Castagnoli(const std::uint8_t* data, std::size_t size) noexcept;

// The portable form, one table step per byte on the running register
// (start 0xFFFFFFFF, no final complement): the reference the fast forms
// are tested against.
std::uint32_t crc32CastagnoliBytewise(std::uint32_t crc, const std::uint8_t* data, std::size_t size) noexcept;

// Each form on its own, for tests: crc32Castagnoli takes the widest the
// processor has (short buffers go through the table in every form).
enum class tCrcForm { sliced, folded, foldedWide };
bool crcFormAvailable(tCrcForm form) noexcept;
std::uint32_t crc32CastagnoliAs(tCrcForm form, const std::uint8_t* data, std::size_t size) noexcept;

}  // namespace nKESTREL1400::nFirmware
