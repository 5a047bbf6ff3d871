// Refusals of route request documents: code -52005 with the error constant
// "brioerr_invalidParameter" at its place in "QuillUtils", and the member
// "quill_debug" that tells the framework what was wrong.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarn {

// Lines of the refusals, as reports show them.
inline constexpr std::uint32_t kTerminalsMustBeStringsLine = 60;
inline constexpr std::uint32_t kUnexpectedConstraintTypeLine = 238;
inline constexpr std::uint32_t kTerminalNameLine = 452;
inline constexpr std::uint32_t kSrcDeviceTokenLine = 464;
inline constexpr std::uint32_t kCostTypeLine = 475;
inline constexpr std::uint32_t kTerminalMissingLine = 493;
inline constexpr std::uint32_t kCostMissingLine = 501;
inline constexpr std::uint32_t kConstraintsMissingLine = 509;
inline constexpr std::uint32_t kSeedNotObjectLine = 559;
inline constexpr std::uint32_t kModifierTypeLine = 1089;
inline constexpr std::uint32_t kModifiersNotObjectLine = 1118;

// A span of the request text that the refusal shows.
struct tDocumentSpan {
  const char* text;
  std::size_t length;
};

// "quill_debug" is the message.
[[noreturn]] void refuseRequest(std::uint32_t line, const char* message);
// "quill_debug" is {"msg": message, "json": document}. The document goes in
// as it stands when it is one complete strict JSON value in well-formed
// UTF-8, else as a string (ill-formed bytes replaced by '?'), so the report
// stays valid JSON whatever the framework sent.
[[noreturn]] void refuseRequest(std::uint32_t line, const char* message, tDocumentSpan document);
// "Unexpected constraint type" with "constraint" (the unescaped key, given
// raw), "expected_type" and "actual_type".
[[noreturn]] void refuseConstraintType(tDocumentSpan rawName, std::int32_t expectedType, std::int32_t actualType);

}  // namespace tarn
