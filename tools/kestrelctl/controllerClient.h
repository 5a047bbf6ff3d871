// The controller as kestrelctl sees it: the public interface with its codes.
#pragma once

#include <kestrel/kestrel.h>

#include <cstdint>
#include <string>

namespace kestrelctl {

template <typename T>
struct tResult {
  std::int32_t code = 0;
  T value{};
  bool ok() const { return code >= 0; }
};

class tControllerClient {
 public:
  tControllerClient() = default;
  ~tControllerClient();
  tControllerClient(const tControllerClient&) = delete;
  tControllerClient& operator=(const tControllerClient&) = delete;

  // Opens the controller session; the code of the open.
  std::int32_t open();
  bool isOpen() const { return open_; }

  tResult<std::uint32_t> readU32(std::uint32_t id) const;
  // Asks for the size first, then reads the text.
  tResult<std::string> readText(std::uint32_t id) const;
  std::int32_t writeU32(std::uint32_t id, std::uint32_t value) const;
  std::int32_t writeText(std::uint32_t id, const std::string& value) const;

 private:
  tKestrelHandle handle_ = kControllerHandle;
  bool open_ = false;
};

}  // namespace kestrelctl
