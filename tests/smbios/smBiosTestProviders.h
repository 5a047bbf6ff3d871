// Providers for tests: one that loads a table it was given, counting its
// loads, and the Linux provider reading a dump file at a path of the test's.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "kestrel/kestrel.h"
#include "platform/cZeSmBiosLinuxProvider.h"
#include "platform/cZeSmBiosProvider.h"

namespace nKESTREL1400::nZESMBIOS_1_1 {

class tSourceProvider : public cZeSmBiosProvider {
 public:
  std::vector<std::uint8_t> source;  // empty: no source, the load fails with -240050
  std::string identification = "test table";
  std::chrono::microseconds loadDelay{0};
  std::atomic<int> loads{0};

 protected:
  void loadTable(tStatus& status) noexcept override {
    ++loads;
    if (loadDelay.count() != 0) std::this_thread::sleep_for(loadDelay);
    if (source.empty()) {
      status.setCode(smbioserr_dumpUnavailable, kSourceLocation{"test", 1});
      return;
    }
    auto* table = new std::uint8_t[source.size()];
    std::memcpy(table, source.data(), source.size());
    installTable(table, static_cast<std::uint32_t>(source.size()), identification.c_str());
  }
};

class tDumpFileProvider : public cZeSmBiosLinuxProvider {
 public:
  explicit tDumpFileProvider(std::string path) : path_(std::move(path)) {}

 protected:
  void loadTable(tStatus& status) noexcept override { loadDumpFile(path_.c_str(), status); }

 private:
  std::string path_;
};

// Runs a lookup with a fresh status and returns its code.
template <typename Lookup>
std::int32_t codeOf(Lookup&& lookup) {
  tStatus status;
  lookup(status);
  return status.getCode();
}

}  // namespace nKESTREL1400::nZESMBIOS_1_1
