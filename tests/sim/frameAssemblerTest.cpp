// Frames of a driver connection put together from the pieces a socket
// delivers: any split gives the same messages, and memory follows what
// arrived, never what a header claims.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "sim/driver/tFrameAssembler.h"

namespace {

using nKESTRELSIM::tChannelMessage;
using nKESTRELSIM::tChannelMessageType;
using nKESTRELSIM::tFrameAssembler;
using nKESTRELSIM::tFrameHeader;

std::vector<std::uint8_t> frame(tChannelMessageType type, std::size_t length, std::uint8_t fill,
                                std::uint32_t descriptors = 0) {
  const tFrameHeader header{static_cast<std::uint32_t>(type), static_cast<std::uint32_t>(length), descriptors};
  std::vector<std::uint8_t> bytes(sizeof header + length, fill);
  std::memcpy(bytes.data(), &header, sizeof header);
  return bytes;
}

// Feeds `bytes` in pieces of at most `piece`, taking every frame that becomes whole.
std::vector<tChannelMessage> assemble(tFrameAssembler& frames, const std::vector<std::uint8_t>& bytes, std::size_t piece) {
  std::vector<tChannelMessage> taken;
  std::size_t at = 0;
  while (at < bytes.size()) {
    tChannelMessage message;
    while (frames.take(message) == tFrameAssembler::tState::kFrame) taken.push_back(std::move(message));
    const auto space = frames.space();
    const std::size_t count = std::min({space.size(), piece, bytes.size() - at});
    std::memcpy(space.data(), bytes.data() + at, count);
    frames.received(count);
    at += count;
  }
  tChannelMessage message;
  while (frames.take(message) == tFrameAssembler::tState::kFrame) taken.push_back(std::move(message));
  return taken;
}

TEST(FrameAssembler, AnySplitGivesTheSameFrames) {
  std::vector<std::uint8_t> stream;
  for (const auto& part : {frame(tChannelMessageType::kClose, 4, 1), frame(tChannelMessageType::kReadAnswer, 140000, 2),
                           frame(tChannelMessageType::kSocket, 0, 0), frame(tChannelMessageType::kIoctl, 70, 3)}) {
    stream.insert(stream.end(), part.begin(), part.end());
  }
  for (const std::size_t piece : {std::size_t{1}, std::size_t{7}, std::size_t{4096}, std::size_t{1} << 20}) {
    tFrameAssembler frames;
    const auto taken = assemble(frames, stream, piece);
    ASSERT_EQ(taken.size(), 4u) << "pieces of " << piece;
    EXPECT_EQ(taken[0].type, tChannelMessageType::kClose);
    EXPECT_EQ(taken[1].payload.size(), 140000u);
    EXPECT_TRUE(std::all_of(taken[1].payload.begin(), taken[1].payload.end(), [](std::uint8_t b) { return b == 2; }));
    EXPECT_TRUE(taken[2].payload.empty());
    EXPECT_EQ(taken[3].payload, std::vector<std::uint8_t>(70, 3));
  }
}

TEST(FrameAssembler, DescriptorsGoWithTheFrameThatAnnouncesThem) {
  tFrameAssembler frames;
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  auto bytes = frame(tChannelMessageType::kClose, 0, 0);
  const auto second = frame(tChannelMessageType::kSocket, 0, 0, 2);
  bytes.insert(bytes.end(), second.begin(), second.end());
  std::memcpy(frames.space().data(), bytes.data(), bytes.size());
  frames.received(bytes.size(), {ends[0], ends[1]});
  tChannelMessage message;
  ASSERT_EQ(frames.take(message), tFrameAssembler::tState::kFrame);
  EXPECT_TRUE(message.descriptors.empty());
  ASSERT_EQ(frames.take(message), tFrameAssembler::tState::kFrame);
  EXPECT_EQ(message.descriptors, (std::vector<int>{ends[0], ends[1]}));
  close(ends[0]);
  close(ends[1]);
}

TEST(FrameAssembler, AHeaderBeyondItsLimitIsRefusedBeforeItsPayload) {
  tFrameAssembler frames;
  frames.limitPayloads([](tChannelMessageType type) { return type == tChannelMessageType::kIoctl ? 100u : 0u; });
  const auto header = frame(tChannelMessageType::kIoctl, (1u << 30) - 1, 0);
  std::memcpy(frames.space().data(), header.data(), sizeof(tFrameHeader));
  frames.received(sizeof(tFrameHeader));
  tChannelMessage message;
  EXPECT_EQ(frames.take(message), tFrameAssembler::tState::kRefused);
  EXPECT_TRUE(frames.space().empty());
  EXPECT_LE(frames.reserved(), 4096u);

  tFrameAssembler descriptors;
  const auto tooMany = frame(tChannelMessageType::kSocket, 0, 0, 5);
  std::memcpy(descriptors.space().data(), tooMany.data(), tooMany.size());
  descriptors.received(tooMany.size());
  EXPECT_EQ(descriptors.take(message), tFrameAssembler::tState::kRefused);
}

TEST(FrameAssembler, MemoryFollowsTheBytesThatArrivedNotTheHeader) {
  tFrameAssembler frames;
  const std::size_t claimed = 200u * 1024 * 1024;
  auto bytes = frame(tChannelMessageType::kReadAnswer, 0, 0);
  reinterpret_cast<tFrameHeader*>(bytes.data())->length = static_cast<std::uint32_t>(claimed);
  bytes.resize(bytes.size() + 10, 7);
  std::memcpy(frames.space().data(), bytes.data(), bytes.size());
  frames.received(bytes.size());
  EXPECT_LE(frames.reserved(), 256u * 1024) << "a header alone reserved more than arrived";
  std::size_t arrived = 10;
  while (arrived < 4u * 1024 * 1024) {
    const auto space = frames.space();
    frames.received(space.size());
    arrived += space.size();
  }
  EXPECT_LE(frames.reserved(), 2 * arrived + 256u * 1024);
  EXPECT_FALSE(frames.hasFrame());
}

}  // namespace
