// One program process's connection, as the shared driver keeps it: the
// channel with its partial frames and queued answers, the handles the
// process holds, and a request that waits for bytes of the program's
// memory. Nothing here waits for the program.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <set>
#include <vector>

#include "sim/driver/tDriverChannel.h"

namespace nKESTRELSIM {

// A request handled again each time the bytes it asked for have come.
struct tPendingRequest {
  tChannelMessage request;
  // The program's answers so far, by address; each holds the whole size asked for.
  struct tFetched {
    std::uint64_t address;
    std::vector<std::uint8_t> bytes;
  };
  std::vector<tFetched> fetched;
  std::uint64_t address = 0;  // the read asked for now
  std::uint32_t size = 0;
  std::chrono::steady_clock::time_point deadline{};
};

struct tHostConnection {
  explicit tHostConnection(int descriptor);

  // The largest payload the program may send now: a read answer only as
  // large as the read asked for (or one the driver gave up waiting for).
  std::size_t payloadLimit(tChannelMessageType type) const noexcept;
  // Queues an answer; a program that is gone, or leaves too much unread,
  // has its connection ended.
  void send(const tChannelMessage& message) {
    if (!channel.queue(message)) broken = true;
  }

  tDriverChannel channel;
  pid_t processId = 0;
  std::uint64_t serial = 0;  // from 1, in the order the connections came
  std::set<int> handles;
  std::optional<tPendingRequest> pending;
  // A read the driver stopped waiting for: its answer may still come, late.
  std::optional<std::uint32_t> abandonedRead;
  bool broken = false;
};

}  // namespace nKESTRELSIM
