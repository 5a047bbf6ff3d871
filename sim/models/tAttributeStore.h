// The attribute values of one simulated device, by full attribute id.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace nKESTRELSIM {

class tAttributeStore {
 public:
  using tBytes = std::vector<std::uint8_t>;

  void setU32(std::uint32_t id, std::uint32_t value, bool writable = true);
  // Stored with its NUL, as the library reads text attributes.
  void setText(std::uint32_t id, const std::string& value, bool writable = true);
  void setBytes(std::uint32_t id, tBytes value, bool writable = true);
  void remove(std::uint32_t id) { values_.erase(id); }

  std::optional<tBytes> bytes(std::uint32_t id) const;
  std::optional<std::uint32_t> u32(std::uint32_t id) const;
  std::optional<std::string> text(std::uint32_t id) const;
  bool isWritable(std::uint32_t id) const;
  bool contains(std::uint32_t id) const { return values_.count(id) != 0; }

  // Whether a write to an unknown id creates it (otherwise it is refused).
  void acceptUnknownWrites(bool accept) noexcept { acceptUnknown_ = accept; }
  bool acceptsUnknownWrites() const noexcept { return acceptUnknown_; }

 private:
  struct tEntry {
    tBytes value;
    bool writable = true;
  };
  std::map<std::uint32_t, tEntry> values_;
  bool acceptUnknown_ = false;
};

}  // namespace nKESTRELSIM
