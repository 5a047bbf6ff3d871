#include "sim/record/tRecordLine.h"

#include "sim/record/recordingFormat.h"

namespace nKESTRELSIM {

using namespace nRecording;

tRecordLine::tRecordLine(tRecordedCall call, std::int64_t process, std::int64_t thread, std::int64_t nanoseconds) {
  line_.reserve(1024);
  line_ += "{\"call\":\"";
  line_ += callName(call);
  line_ += '"';
  number("pid", process);
  number("tid", thread);
  number("ns", nanoseconds);
}

void tRecordLine::key(std::string_view name) {
  if (inMemory_) {
    line_ += ']';
    inMemory_ = false;
  }
  line_ += ",\"";
  line_ += name;
  line_ += "\":";
}

tRecordLine& tRecordLine::number(std::string_view name, std::int64_t value) {
  key(name);
  line_ += std::to_string(value);
  return *this;
}

tRecordLine& tRecordLine::text(std::string_view name, std::string_view value) {
  key(name);
  appendQuoted(line_, value);
  return *this;
}

tRecordLine& tRecordLine::hex(std::string_view name, std::span<const std::uint8_t> bytes) {
  key(name);
  line_ += '"';
  appendHex(line_, bytes);
  line_ += '"';
  return *this;
}

tRecordLine& tRecordLine::texts(std::string_view name, std::span<const std::string> values) {
  key(name);
  line_ += '[';
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i != 0) line_ += ',';
    appendQuoted(line_, values[i]);
  }
  line_ += ']';
  return *this;
}

tRecordLine& tRecordLine::region(const tMemoryRegion& region) {
  if (!inMemory_ && firstRegion_) {
    key("memory");
    line_ += '[';
    inMemory_ = true;
  }
  if (!firstRegion_) line_ += ',';
  firstRegion_ = false;
  line_ += "{\"what\":\"";
  line_ += region.what;
  line_ += '"';
  if (region.what == "buffer") line_ += ",\"field\":" + std::to_string(region.field);
  if (region.before) {
    line_ += ",\"before\":\"";
    appendHex(line_, *region.before);
    line_ += '"';
  }
  if (region.after) {
    line_ += ",\"after\":\"";
    appendHex(line_, *region.after);
    line_ += '"';
  }
  line_ += '}';
  return *this;
}

const std::string& tRecordLine::finish() {
  if (inMemory_) line_ += ']';
  inMemory_ = false;
  line_ += "}\n";
  return line_;
}

}  // namespace nKESTRELSIM
