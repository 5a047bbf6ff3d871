// A driver that cannot be trusted: wraps a device model and, request by
// request, lets a script of bytes decide whether the model answers as it
// would, fails the request with an errno, answers with a garbled output
// record (any status, sizes and values), answers with zeros, copies back
// a short record (or none), claims more than the caller's buffers hold, or
// fills the caller's buffers with arbitrary bytes while claiming arbitrary
// sizes. It writes only within the buffers the caller offered, as the
// kernel's copy to user space would. Fuzz targets use it to check that the
// library survives whatever a newer, older or faulty driver answers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "sim/models/tDriverModel.h"

namespace nKESTRELSIM {

// The script: bytes consumed one decision at a time; when they run out every
// decision is "answer as the model would".
class tByteScript {
 public:
  explicit tByteScript(std::span<const std::uint8_t> bytes) noexcept : bytes_(bytes) {}
  std::uint8_t next() noexcept { return position_ < bytes_.size() ? bytes_[position_++] : 0; }
  std::uint32_t next32() noexcept;
  void fill(std::uint8_t* destination, std::size_t count) noexcept;
  bool empty() const noexcept { return position_ >= bytes_.size(); }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t position_ = 0;
};

class tHostileModel : public tDriverModel {
 public:
  tHostileModel(std::unique_ptr<tDriverModel> inner, tByteScript& script) noexcept
      : inner_(std::move(inner)), script_(script) {}

  void handle(tDriverRequest& request, iDriverEvents& events) override;
  void released(std::uint64_t opener, iDriverEvents& events) override {
    if (inner_) inner_->released(opener, events);
  }
  std::optional<std::chrono::steady_clock::time_point> deadline() const override {
    return inner_ ? inner_->deadline() : std::nullopt;
  }
  void actIfDue(iDriverEvents& events) override {
    if (inner_) inner_->actIfDue(events);
  }
  std::string interfaceName() const override { return inner_ ? inner_->interfaceName() : ""; }

 private:
  void answerAsModel(tDriverRequest& request, iDriverEvents& events);
  // Arbitrary bytes into the buffers an input record points at, within the
  // sizes it gives.
  void scribbleUserBuffers(const tDriverRequest& request);

  std::unique_ptr<tDriverModel> inner_;
  tByteScript& script_;
};

}  // namespace nKESTRELSIM
