// The SMBIOS table the simulated controller delivers through
// getSmBiosData, with its identification text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/models/tDriverRequest.h"

namespace nKESTRELSIM {

class tSmBiosSource {
 public:
  virtual ~tSmBiosSource() = default;

  void set(std::string identification, std::vector<std::uint8_t> table);
  const std::vector<std::uint8_t>& table() const noexcept { return table_; }
  const std::string& identification() const noexcept { return identification_; }

  // Answers one getSmBiosData request (tGetSmBiosDataInput). The sizes pass
  // (buffers missing or too small) answers both sizes with -240051; then the
  // identification text with its NUL and the table. No table: -52003.
  virtual void answer(tDriverRequest& request) const;

 private:
  std::string identification_;
  std::vector<std::uint8_t> table_;
};

}  // namespace nKESTRELSIM
