// The simulator's file system side: sandboxed paths, glob, tools and
// commands.
#include <fcntl.h>
#include <glob.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <future>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <typeinfo>
#include <vector>

#include "platform/deviceInterfaceNames.h"
#include "sim/models/tHostileModel.h"
#include "simulatedController.h"

namespace {

using nKESTRELSIM::tCall;

class Sandbox : public SimulatedController {};

std::string readAll(FILE* file) {
  std::string text;
  char buffer[256];
  while (file != nullptr && std::fgets(buffer, sizeof buffer, file) != nullptr) text += buffer;
  return text;
}

TEST_F(Sandbox, SystemPathsLeadIntoTheSandbox) {
  sim().writeSmBiosDump({1, 2, 3});
  struct stat info {};
  ASSERT_EQ(stat("/run/zesvc/smbios/smbiosdmp", &info), 0);
  EXPECT_EQ(info.st_size, 3);
  const int descriptor = open("/run/zesvc/smbios/smbiosdmp", O_RDONLY);
  ASSERT_NE(descriptor, -1);
  close(descriptor);
  EXPECT_EQ(sim().sandboxPath("/etc/passwd"), "");

  sim().failCalls(tCall::kStat, 1, EACCES);
  EXPECT_EQ(stat("/run/zesvc/smbios/smbiosdmp", &info), -1);
  EXPECT_EQ(errno, EACCES);
}

TEST_F(Sandbox, GlobAnswersWithTheProgramsPaths) {
  sim().addInterface(nKESTREL1400::kControllerInterface, "b");
  sim().addInterface(nKESTREL1400::kControllerInterface, "a");
  glob_t matches{};
  ASSERT_EQ(glob("/proc/driver/ze/*/deviceInterfaces/hostController_hostController\\\\*", GLOB_ONLYDIR, nullptr,
                 &matches),
            0);
  ASSERT_EQ(matches.gl_pathc, 2u);
  EXPECT_STREQ(matches.gl_pathv[0], "/proc/driver/ze/kestrel/deviceInterfaces/hostController_hostController\\a");
  EXPECT_STREQ(matches.gl_pathv[1], "/proc/driver/ze/kestrel/deviceInterfaces/hostController_hostController\\b");
  globfree(&matches);

  // Only directories: the interfacePath files do not match.
  ASSERT_EQ(glob("/proc/driver/ze/*/deviceInterfaces/*/*", GLOB_ONLYDIR, nullptr, &matches), GLOB_NOMATCH);
  globfree(&matches);
}

TEST_F(Sandbox, ToolsRunFromTheSandboxWithoutSudo) {
  sim().installTool("zesafemodeversion", "#!/bin/sh\necho 1.2.0f4\n");
  FILE* pipe = popen("/usr/local/zecorp/bin/zesafemodeversion", "r");
  EXPECT_EQ(readAll(pipe), "1.2.0f4\n");
  pclose(pipe);

  // The install tool is the simulator's: it takes the image from the file
  // at once, and no command line reaches a shell.
  char image[] = "/tmp/kestrel-sandbox-testXXXXXX";
  const int descriptor = mkstemp(image);
  ASSERT_NE(descriptor, -1);
  ASSERT_EQ(write(descriptor, "safe", 4), 4);
  ::close(descriptor);
  const std::string install = std::string("sudo --non-interactive /usr/local/zecorp/bin/zeinstallsafemode ") + image + " -f";
  EXPECT_EQ(system(install.c_str()), 0);
  std::remove(image);
  ASSERT_EQ(sim().safeModeInstaller().installed().size(), 1u);
  EXPECT_EQ(sim().safeModeInstaller().installed()[0].bytes, (std::vector<std::uint8_t>{'s', 'a', 'f', 'e'}));
  EXPECT_EQ(system("sudo --non-interactive /usr/local/zecorp/bin/zeinstallsafemode /tmp/x -f; touch /tmp/y"),
            127 << 8);
  EXPECT_EQ(system("/usr/local/zecorp/bin/zesafemodeversion"), 127 << 8);
  const auto commands = sim().commands();
  ASSERT_EQ(commands.size(), 4u);
  EXPECT_EQ(commands[1], install);

  sim().failCalls(tCall::kSystem, 1, 256);
  EXPECT_EQ(system(install.c_str()), 256);
}

TEST_F(Sandbox, RestartForgetsEverything) {
  sim().addInterface(nKESTREL1400::kControllerInterface);
  const std::string firstRoot = sim().root();
  sim().start();
  EXPECT_TRUE(sim().interfaces().empty());
  EXPECT_NE(sim().root(), firstRoot);
  struct stat info {};
  EXPECT_NE(::stat(firstRoot.c_str(), &info), 0);
}

// A test that put a wrapper in front of the models gets an exception from
// the typed model accessors, never a model of the wrong type.
TEST_F(Sandbox, TypedModelsAreRefusedBehindAWrapper) {
  sim().addInterface(nKESTREL1400::kWatchdogInterface);
  EXPECT_NO_THROW(sim().watchdog());
  sim().wrapModels([](std::unique_ptr<nKESTRELSIM::tDriverModel> model) -> std::unique_ptr<nKESTRELSIM::tDriverModel> {
    static nKESTRELSIM::tByteScript script({});
    return std::make_unique<nKESTRELSIM::tHostileModel>(std::move(model), script);
  });
  EXPECT_THROW(sim().watchdog(), std::bad_cast);
  EXPECT_THROW(sim().expireWatchdog(), std::bad_cast);
  EXPECT_THROW(sim().triggerRouter(), std::out_of_range);
}

}  // namespace

namespace {

// A program's own calls that block (a receive on its own socket, the open
// of a FIFO) go to the C library without the simulator's lock: the
// simulated controller goes on serving the program's other threads.
TEST_F(Sandbox, AProgramsOwnBlockingCallsDoNotHoldUpTheSimulator) {
  int ends[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_DGRAM, 0, ends), 0);
  const std::string fifo = sim().root() + "/fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::thread receiver([&] {
    char byte = 0;
    iovec vector{&byte, 1};
    msghdr message{};
    message.msg_iov = &vector;
    message.msg_iovlen = 1;
    recvmsg(ends[0], &message, 0);
  });
  std::thread opener([&] { close(open(fifo.c_str(), O_RDONLY)); });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  auto simulated = std::async(std::launch::async, [] {
    struct stat info {};
    return stat("/run/zesvc/smbios/smbiosdmp", &info);
  });
  const bool served = simulated.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
  EXPECT_TRUE(served) << "a simulated call waited for the program's blocking calls";
  send(ends[1], "x", 1, 0);
  close(open(fifo.c_str(), O_WRONLY));
  receiver.join();
  opener.join();
  close(ends[0]);
  close(ends[1]);
  if (!served) new auto(std::move(simulated));  // do not block in its destructor
}

}  // namespace
