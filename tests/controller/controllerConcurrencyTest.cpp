// Attribute reads on several threads while another thread opens and closes
// the controller: every call either works or reports the session closed,
// and nothing touches a freed session.
#include <atomic>
#include <thread>
#include <vector>

#include "simulatedBoard.h"

namespace {

class ControllerConcurrency : public SimulatedBoard {
 protected:
  ControllerConcurrency() { start(defaultProfile()); }
};

TEST_F(ControllerConcurrency, ReadsRaceWithOpenAndClose) {
  std::atomic<bool> stop{false};
  std::atomic<long> served{0};
  std::vector<std::thread> readers;
  for (int i = 0; i < 3; ++i) {
    readers.emplace_back([&] {
      while (!stop.load()) {
        std::uint32_t value = 0;
        const std::int32_t code = KESTREL_getAttributeU32(kControllerHandle, KESTREL_ATTR_MEMORY_SIZE, &value);
        if (code == 0) {
          EXPECT_EQ(value, 8192u);
          ++served;
        } else {
          EXPECT_EQ(code, kestrelerr_invalidHandle);
        }
        char buffer[64];
        std::uint64_t length = sizeof buffer;
        const std::int32_t textCode =
            KESTREL_getAttributeUTF8(kControllerHandle, KESTREL_ATTR_PRODUCT_NAME, buffer, &length);
        EXPECT_TRUE(textCode == 0 || textCode == kestrelerr_invalidHandle) << textCode;
      }
    });
  }
  for (int round = 0; round < 200; ++round) {
    tKestrelHandle handle = 0;
    ASSERT_EQ(KESTREL_openController(&handle), 0);
    std::this_thread::yield();
    KESTREL_closeController(handle);
  }
  stop = true;
  for (auto& reader : readers) reader.join();
  EXPECT_EQ(KESTREL_performSelfTest(kControllerHandle), kestrelerr_invalidHandle);
}

}  // namespace
