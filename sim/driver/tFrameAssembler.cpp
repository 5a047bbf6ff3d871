#include "sim/driver/tFrameAssembler.h"

#include <unistd.h>

#include <algorithm>

namespace nKESTRELSIM {

tFrameAssembler::tFrameAssembler() : limit_([](tChannelMessageType) { return kDefaultLimit; }) {}

tFrameAssembler::~tFrameAssembler() { clear(); }

void tFrameAssembler::clear() noexcept {
  for (const int descriptor : descriptors_) ::close(descriptor);
  descriptors_.clear();
  shared_ = {};
  large_ = {};
  start_ = end_ = largeFilled_ = 0;
  inLarge_ = false;
}

std::span<std::uint8_t> tFrameAssembler::space() {
  if (refused_) return {};
  if (inLarge_) {
    if (largeFilled_ == large_.size()) {
      // Doubles with what arrived, up to the payload's length.
      const std::size_t grown = std::min<std::size_t>(largeHeader_.length, std::max(large_.size() * 2, kSharedBuffer));
      large_.resize(grown);
    }
    return {large_.data() + largeFilled_, large_.size() - largeFilled_};
  }
  if (start_ == end_) start_ = end_ = 0;
  if (end_ == shared_.size() && start_ != 0) {
    std::memmove(shared_.data(), shared_.data() + start_, end_ - start_);
    end_ -= start_;
    start_ = 0;
  }
  if (end_ == shared_.size()) shared_.resize(std::min(std::max(shared_.size() * 2, kFirstBuffer), kSharedBuffer));
  return {shared_.data() + end_, shared_.size() - end_};
}

void tFrameAssembler::received(std::size_t count, const std::vector<int>& descriptors) {
  descriptors_.insert(descriptors_.end(), descriptors.begin(), descriptors.end());
  if (inLarge_) {
    largeFilled_ += count;
    return;
  }
  end_ += count;
  examineFront();
}

bool tFrameAssembler::frontHeader(tFrameHeader& header) const noexcept {
  if (end_ - start_ < sizeof header) return false;
  std::memcpy(&header, shared_.data() + start_, sizeof header);
  return true;
}

void tFrameAssembler::examineFront() {
  tFrameHeader header{};
  if (refused_ || inLarge_ || !frontHeader(header)) return;
  if (header.descriptors > kMaxDescriptors || header.length > limit_(static_cast<tChannelMessageType>(header.type))) {
    refused_ = true;
    return;
  }
  if (header.length <= kLargePayload) return;
  // The shared buffer cannot hold this payload whole: what arrived of it
  // so far starts a buffer of its own.
  const std::size_t arrived = std::min<std::size_t>(end_ - start_ - sizeof header, header.length);
  const std::uint8_t* from = shared_.data() + start_ + sizeof header;
  large_.assign(from, from + arrived);
  largeFilled_ = arrived;
  largeHeader_ = header;
  inLarge_ = true;
  start_ += sizeof header + arrived;
}

bool tFrameAssembler::hasFrame() const noexcept {
  if (refused_) return false;
  if (inLarge_) return largeFilled_ == largeHeader_.length;
  tFrameHeader header{};
  return frontHeader(header) && end_ - start_ - sizeof header >= header.length;
}

void tFrameAssembler::takeDescriptors(std::uint32_t count, tChannelMessage& message) {
  const auto taken = static_cast<std::ptrdiff_t>(std::min<std::size_t>(count, descriptors_.size()));
  message.descriptors.assign(descriptors_.begin(), descriptors_.begin() + taken);
  descriptors_.erase(descriptors_.begin(), descriptors_.begin() + taken);
}

tFrameAssembler::tState tFrameAssembler::take(tChannelMessage& message) {
  message.payload.clear();
  message.descriptors.clear();
  if (refused_) return tState::kRefused;
  if (!hasFrame()) return tState::kIncomplete;
  if (inLarge_) {
    message.type = static_cast<tChannelMessageType>(largeHeader_.type);
    large_.resize(largeFilled_);
    message.payload = std::move(large_);
    large_ = {};
    largeFilled_ = 0;
    inLarge_ = false;
    takeDescriptors(largeHeader_.descriptors, message);
  } else {
    tFrameHeader header{};
    frontHeader(header);
    const std::uint8_t* payload = shared_.data() + start_ + sizeof header;
    message.type = static_cast<tChannelMessageType>(header.type);
    message.payload.assign(payload, payload + header.length);
    start_ += sizeof header + header.length;
    takeDescriptors(header.descriptors, message);
  }
  // The next frame's header may be whole already.
  examineFront();
  return tState::kFrame;
}

}  // namespace nKESTRELSIM
