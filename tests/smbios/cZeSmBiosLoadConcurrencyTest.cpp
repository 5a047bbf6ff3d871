// The first load is safe when threads trigger it together: one table is
// installed and every lookup sees it whole.
#include <gtest/gtest.h>

#include <barrier>
#include <string>
#include <thread>
#include <vector>

#include "sim/smbios/tSmBiosTableBuilder.h"
#include "source/user/controllerSmBiosFields.h"
#include "smBiosTestProviders.h"

namespace nKESTREL1400::nZESMBIOS_1_1 {
namespace {

constexpr int kThreads = 8;
constexpr int kRounds = 20;

std::vector<std::uint8_t> tableWithMarker(std::uint8_t marker) {
  nKESTRELSIM::nSMBIOS::tSmBiosTableBuilder builder;
  builder.add(0).setString(0x05, "version " + std::to_string(marker));
  builder.add(150).setByte(0x04, marker);
  return builder.build();
}

TEST(cZeSmBiosLoadConcurrencyTest, SimultaneousFirstLookupsLoadOnce) {
  for (int round = 0; round < kRounds; ++round) {
    tSourceProvider provider;
    provider.source = tableWithMarker(2);
    provider.loadDelay = std::chrono::microseconds(200);
    std::barrier start(kThreads);
    std::atomic<int> good{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
      threads.emplace_back([&] {
        start.arrive_and_wait();
        tStatus status;
        if (provider.readByte(nControllerField::kInfoVersionMajor, 0, status) == 2 && status.getCode() == 0) ++good;
      });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(provider.loads, 1);
    EXPECT_EQ(good, kThreads);
  }
}

TEST(cZeSmBiosLoadConcurrencyTest, RacingLoadsFromMemoryInstallOneTable) {
  for (int round = 0; round < kRounds; ++round) {
    tSourceProvider provider;  // no source of its own: only the memory loads count
    std::barrier start(kThreads);
    std::vector<std::uint8_t> seen(kThreads, 0);
    std::vector<std::string> versions(kThreads);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
      threads.emplace_back([&, i] {
        const auto marker = static_cast<std::uint8_t>(i + 1);
        const std::vector<std::uint8_t> table = tableWithMarker(marker);
        const std::string identification = "table " + std::to_string(marker);
        start.arrive_and_wait();
        tStatus status;
        provider.loadFromMemory(identification.c_str(), table.data(), static_cast<std::uint32_t>(table.size()),
                                status);
        seen[i] = provider.readByte(nControllerField::kInfoVersionMajor, 0, status);
        char buffer[32] = {};
        std::uint32_t size = sizeof buffer;
        provider.readString(0x0005, 0, buffer, size, status);
        versions[i] = buffer;
        EXPECT_EQ(status.getCode(), 0);
      });
    }
    for (auto& thread : threads) thread.join();
    for (int i = 0; i < kThreads; ++i) {
      EXPECT_EQ(seen[i], seen[0]);
      EXPECT_EQ(versions[i], "version " + std::to_string(seen[0]));
    }
    EXPECT_EQ(provider.loads, 0);
  }
}

}  // namespace
}  // namespace nKESTREL1400::nZESMBIOS_1_1
