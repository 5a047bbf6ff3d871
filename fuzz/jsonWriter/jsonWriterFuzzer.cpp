// The in-place writer under random sequences of insertions, starting from a
// small buffer that must grow: the text is always one valid JSON object (a
// strict parser reads it) and holds exactly the values that were added, in
// the order they were added.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "json/jsonWriter.h"

namespace {

using tDocument = nlohmann::ordered_json;

struct tBuffer {
  char* data = nullptr;
  std::size_t size = 0;
};

// Doubles the buffer, as the status reports grow theirs.
char* grow(char* position, void* userData) {
  auto& buffer = *static_cast<tBuffer*>(userData);
  const std::size_t offset = static_cast<std::size_t>(position - buffer.data);
  const std::size_t size = buffer.size * 2;
  char* larger = static_cast<char*>(std::malloc(size));
  if (larger == nullptr || jsonz_initBuffer(larger, size, buffer.data) == nullptr) std::abort();
  std::free(buffer.data);
  buffer = {larger, size};
  return larger + offset;
}

// Texts with the characters a writer must escape, and multi-byte UTF-8.
std::string text(FuzzedDataProvider& input) {
  static const char* const kPieces[] = {"a", "Z", "0", " ", "\"", "\\", "/", "\n", "\t", "\x01", "\x1f", "\x7f",
                                        "\xc3\xbc", "\xe2\x82\xac", "\xf0\x9f\x98\x80", "{", "}", ",", ":"};
  std::string result;
  const std::size_t count = input.ConsumeIntegralInRange<std::size_t>(0, 12);
  for (std::size_t i = 0; i < count; ++i) result += kPieces[input.ConsumeIntegralInRange<std::size_t>(0, std::size(kPieces) - 1)];
  return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  FuzzedDataProvider input(bytes, size);
  tBuffer buffer{static_cast<char*>(std::malloc(16)), 16};
  char* position = jsonz_initBuffer(buffer.data, buffer.size, "{}");
  const jsonz_growHandler handler{&grow, &buffer};
  tDocument expected = tDocument::object();
  std::vector<tDocument*> open{&expected};
  unsigned keys = 0;
  while (input.remaining_bytes() > 0 && position != nullptr) {
    // Keys are made unique: a JSON object with repeated keys has no single reading.
    const std::string key = text(input) + "#" + std::to_string(keys++);
    tDocument& object = *open.back();
    switch (input.ConsumeIntegralInRange(0, 6)) {
      case 0: {
        const std::string value = text(input);
        position = jsonz_addString(position, key.c_str(), value.c_str(), handler);
        object[key] = value;
        break;
      }
      case 1: {
        const bool value = input.ConsumeBool();
        position = jsonz_addBool(position, key.c_str(), value, handler);
        object[key] = value;
        break;
      }
      case 2: {
        const auto value = input.ConsumeIntegral<std::uint32_t>();
        position = jsonz_addUInt32(position, key.c_str(), value, handler);
        object[key] = value;
        break;
      }
      case 3: {
        const auto value = input.ConsumeIntegral<std::uint64_t>();
        position = jsonz_addUInt64(position, key.c_str(), value, handler);
        object[key] = value;
        break;
      }
      case 4: {
        const auto value = input.ConsumeIntegral<std::int32_t>();
        position = jsonz_addInt32(position, key.c_str(), value, handler);
        object[key] = value;
        break;
      }
      case 5:
        position = jsonz_addObject(position, key.c_str(), handler);
        object[key] = tDocument::object();
        open.push_back(&object[key]);
        break;
      default:
        if (open.size() > 1) {
          position = jsonz_endObject(position);
          open.pop_back();
        }
        break;
    }
  }
  if (position == nullptr) std::abort();  // growth by malloc never fails here
  if (buffer.data[buffer.size - 1] != kJsonzSentinel) std::abort();
  const tDocument written = tDocument::parse(buffer.data);  // throws, and so fails, on invalid JSON
  if (written != expected) std::abort();
  std::free(buffer.data);
  return 0;
}
