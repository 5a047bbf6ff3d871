// Finding device interfaces and reading their device paths.
#include <glob.h>

#include <cerrno>
#include <string>

#include "kestrel/kestrel.h"
#include "platform/deviceInterfaceNames.h"
#include "platform/openInterface.h"
#include "platform/tDeviceInterfaceIterator.h"
#include "simulatedController.h"

using nKESTREL1400::tDeviceInterfaceIterator;
using nKESTREL1400::tDeviceInterfacePath;
using nKESTREL1400::tStatus;

namespace {

constexpr const char* kController = nKESTREL1400::kControllerInterface;
constexpr const char* kWatchdog = nKESTREL1400::kWatchdogInterface;
constexpr const char* kRouter = nKESTREL1400::kTriggerRouterInterface;

class DeviceDiscovery : public SimulatedController {
 protected:
  // Path of the first match, read with a fresh status.
  std::string firstPath(const char* interfaceName, tStatus& status, tDeviceInterfacePath& path) {
    tDeviceInterfaceIterator iterator(interfaceName, status);
    EXPECT_FALSE(iterator.isEnd());
    if (iterator.isEnd()) return {};
    iterator.getInterfacePath(path, status);
    return std::string(path.path);
  }
};

TEST_F(DeviceDiscovery, NoMatchIsAnEmptyResultNotAnError) {
  tStatus status;
  tDeviceInterfaceIterator iterator(kController, status);
  EXPECT_TRUE(iterator.isEnd());
  EXPECT_EQ(status.getCode(), 0);
  // Reading or opening past the end fails instead of reading freed memory.
  iterator.next();
  nKESTREL1400::nBRIO000::tDeviceInterfaceProxy proxy;
  nKESTREL1400::openInterface(iterator, proxy, status);
  EXPECT_EQ(status.getCode(), brioerr_deviceNotFound);
  EXPECT_FALSE(proxy.isOpen());
}

TEST_F(DeviceDiscovery, TwoInstancesComeInSortedPathOrder) {
  sim().addInterface(kController, "1", "zdriver");
  const auto& first = sim().addInterface(kController, "0", "adriver");
  tStatus status;
  tDeviceInterfaceIterator iterator(kController, status);
  ASSERT_FALSE(iterator.isEnd());
  tDeviceInterfacePath path{};
  iterator.getInterfacePath(path, status);
  EXPECT_EQ(std::string(path.path), first.devicePath);
  iterator.next();
  EXPECT_FALSE(iterator.isEnd());
  iterator.next();
  EXPECT_TRUE(iterator.isEnd());
}

// The backslash after the name keeps longer names apart; an empty suffix
// still matches.
TEST_F(DeviceDiscovery, NameMustBeFollowedByTheBackslash) {
  sim().addInterface(kWatchdog);
  sim().addInterface(kRouter);
  sim().addDirectory(std::string(kController) + "_extra");
  tStatus status;
  EXPECT_TRUE(tDeviceInterfaceIterator(kController, status).isEnd());

  const auto& bare = sim().addInterface(kController, "");
  tDeviceInterfacePath path{};
  EXPECT_EQ(firstPath(kController, status, path), bare.devicePath);
  EXPECT_EQ(status.getCode(), 0);
}

TEST_F(DeviceDiscovery, ContentIsUsedExactlyAsRead) {
  const auto& node = sim().addInterface(kController);
  tStatus status;
  tDeviceInterfacePath path{};

  sim().setInterfacePathContent(node, std::string(255, 'p'));
  EXPECT_EQ(firstPath(kController, status, path), std::string(255, 'p'));
  EXPECT_EQ(path.length, 256u);

  sim().setInterfacePathContent(node, node.devicePath + "\n");
  EXPECT_EQ(firstPath(kController, status, path), node.devicePath + "\n");
  EXPECT_EQ(path.length, node.devicePath.size() + 2);
  nKESTREL1400::nBRIO000::tDeviceInterfaceProxy proxy;
  proxy.open(path, status);
  EXPECT_EQ(status.getCode(), brioerr_deviceNotFound);
  EXPECT_FALSE(proxy.isOpen());

  tStatus emptyStatus;
  sim().setInterfacePathContent(node, "");
  EXPECT_EQ(firstPath(kController, emptyStatus, path), "");
  EXPECT_EQ(path.length, 1u);
  EXPECT_EQ(emptyStatus.getCode(), 0);
}

TEST_F(DeviceDiscovery, OverlongContentLeavesThePathUnchanged) {
  const auto& node = sim().addInterface(kController);
  sim().setInterfacePathContent(node, std::string(256, 'p'));
  tStatus status;
  tDeviceInterfacePath path{};
  std::strcpy(path.path, "before");
  path.length = 7;
  firstPath(kController, status, path);
  EXPECT_EQ(status.getCode(), brioerr_noBuffers);
  EXPECT_STREQ(status.file, "linuxDevEnumHelper");
  EXPECT_EQ(status.line, 72u);
  EXPECT_STREQ(path.path, "before");
  EXPECT_EQ(path.length, 7u);
}

TEST_F(DeviceDiscovery, OpenIsTriedTenTimes) {
  const auto& node = sim().addInterface(kController);
  tStatus status;
  tDeviceInterfacePath path{};
  sim().failCalls(nKESTRELSIM::tCall::kFopen, 9, EINTR);
  EXPECT_EQ(firstPath(kController, status, path), node.devicePath);
  EXPECT_EQ(status.getCode(), 0);

  sim().failCalls(nKESTRELSIM::tCall::kFopen, 10, EACCES);
  std::strcpy(path.path, "before");
  firstPath(kController, status, path);
  EXPECT_EQ(status.getCode(), brioerr_deviceNotFound);
  EXPECT_STREQ(status.file, "linuxDevEnumHelper");
  EXPECT_EQ(status.line, 87u);
  EXPECT_STREQ(path.path, "before");
}

TEST_F(DeviceDiscovery, FailedSearchAndHeldErrors) {
  sim().addInterface(kController);
  sim().failCalls(nKESTRELSIM::tCall::kGlob, 1, GLOB_NOSPACE);
  tStatus status;
  tDeviceInterfaceIterator failed(kController, status);
  EXPECT_TRUE(failed.isEnd());
  EXPECT_EQ(status.getCode(), brioerr_resourceFailure);
  EXPECT_STREQ(status.file, "tDeviceInterfaceIterator");
  EXPECT_EQ(status.line, 44u);

  // The search runs although the status holds an error; nothing is read.
  tDeviceInterfaceIterator iterator(kController, status);
  ASSERT_FALSE(iterator.isEnd());
  tDeviceInterfacePath path{};
  std::strcpy(path.path, "before");
  iterator.getInterfacePath(path, status);
  EXPECT_STREQ(path.path, "before");
}

TEST_F(DeviceDiscovery, OpenInterfaceOpensTheFirstMatch) {
  sim().addInterface(kController);
  tStatus status;
  tDeviceInterfaceIterator iterator(kController, status);
  nKESTREL1400::nBRIO000::tDeviceInterfaceProxy proxy;
  nKESTREL1400::openInterface(iterator, proxy, status);
  EXPECT_EQ(status.getCode(), 0);
  EXPECT_TRUE(proxy.isOpen());
}

// The trigger-router path needs no handle and no session.
class TriggerRouterPath : public SimulatedController {};

TEST_F(TriggerRouterPath, TwoCallSizeProtocol) {
  const auto& node = sim().addInterface(kRouter);
  const std::uint64_t needed = node.devicePath.size() + 1;
  std::uint64_t length = 0;
  EXPECT_EQ(KESTREL_getAttributeUTF8(0, kTriggerRouterPathAttribute, nullptr, &length), kestrelerr_bufferTooSmall);
  EXPECT_EQ(length, needed);

  std::string buffer(needed, 'x');
  length = needed - 1;
  EXPECT_EQ(KESTREL_getAttributeUTF8(0, kTriggerRouterPathAttribute, buffer.data(), &length),
            kestrelerr_bufferTooSmall);
  EXPECT_EQ(length, needed);
  EXPECT_EQ(buffer, std::string(needed, 'x'));

  errno = EINVAL;
  EXPECT_EQ(KESTREL_getAttributeUTF8(12345, kTriggerRouterPathAttribute, buffer.data(), &length), 0);
  EXPECT_EQ(errno, 0);
  EXPECT_EQ(std::string(buffer.c_str()), node.devicePath);
  EXPECT_EQ(length, needed);

  EXPECT_EQ(KESTREL_getAttributeUTF8(0, kTriggerRouterPathAttribute, nullptr, &length), 0);
  EXPECT_EQ(errno, EINVAL);
}

TEST_F(TriggerRouterPath, AbsentOrUnreadable) {
  std::uint64_t length = 64;
  char buffer[64];
  EXPECT_EQ(KESTREL_getAttributeUTF8(0, kTriggerRouterPathAttribute, buffer, &length), kestrelerr_deviceNotAvailable);
  EXPECT_EQ(KESTREL_getAttributeUTF8(0, kTriggerRouterPathAttribute, buffer, nullptr), brioerr_invalidParameter);

  const auto& node = sim().addInterface(kRouter);
  sim().setInterfacePathContent(node, std::string(300, 'p'));
  EXPECT_EQ(KESTREL_getAttributeUTF8(0, kTriggerRouterPathAttribute, buffer, &length), brioerr_noBuffers);
  EXPECT_EQ(length, 64u);
}

}  // namespace
