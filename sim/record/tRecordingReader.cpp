#include "sim/record/tRecordingReader.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <sstream>

#include "sim/record/recordingFormat.h"

namespace nKESTRELSIM {

namespace {

using nlohmann::json;

enum class tKind { kNumber, kText, kHex, kTexts, kMemory };

struct tMember {
  const char* name;
  tKind kind;
  bool required;
};

struct tCallMembers {
  tRecordedCall call;
  std::initializer_list<tMember> members;
};

// What each call's line holds besides call, pid, tid and ns.
const tCallMembers kCallMembers[] = {
    {tRecordedCall::kGlob,
     {{"pattern", tKind::kText, true}, {"flags", tKind::kNumber, true}, {"result", tKind::kNumber, true},
      {"paths", tKind::kTexts, true}}},
    {tRecordedCall::kFile, {{"path", tKind::kText, true}, {"error", tKind::kNumber, true}, {"bytes", tKind::kHex, true}}},
    {tRecordedCall::kOpen,
     {{"path", tKind::kText, true}, {"flags", tKind::kNumber, true}, {"fd", tKind::kNumber, true},
      {"error", tKind::kNumber, true}}},
    {tRecordedCall::kClose, {{"fd", tKind::kNumber, true}, {"result", tKind::kNumber, true}, {"error", tKind::kNumber, true}}},
    {tRecordedCall::kIoctl,
     {{"fd", tKind::kNumber, true}, {"request", tKind::kNumber, true}, {"argument", tKind::kNumber, false},
      {"result", tKind::kNumber, true}, {"error", tKind::kNumber, true}, {"memory", tKind::kMemory, false}}},
    {tRecordedCall::kSocket,
     {{"domain", tKind::kNumber, true}, {"type", tKind::kNumber, true}, {"protocol", tKind::kNumber, true},
      {"fd", tKind::kNumber, true}, {"error", tKind::kNumber, true}}},
    {tRecordedCall::kBind,
     {{"fd", tKind::kNumber, true}, {"bytes", tKind::kHex, true}, {"result", tKind::kNumber, true},
      {"error", tKind::kNumber, true}}},
    {tRecordedCall::kGetsockname,
     {{"fd", tKind::kNumber, true}, {"bytes", tKind::kHex, true}, {"result", tKind::kNumber, true},
      {"error", tKind::kNumber, true}}},
    {tRecordedCall::kSetsockopt,
     {{"fd", tKind::kNumber, true}, {"level", tKind::kNumber, true}, {"name", tKind::kNumber, true},
      {"bytes", tKind::kHex, true}, {"result", tKind::kNumber, true}, {"error", tKind::kNumber, true}}},
    {tRecordedCall::kGetsockopt,
     {{"fd", tKind::kNumber, true}, {"level", tKind::kNumber, true}, {"name", tKind::kNumber, true},
      {"bytes", tKind::kHex, true}, {"result", tKind::kNumber, true}, {"error", tKind::kNumber, true}}},
    {tRecordedCall::kRecvmsg,
     {{"fd", tKind::kNumber, true}, {"flags", tKind::kNumber, true}, {"bytes", tKind::kHex, true},
      {"result", tKind::kNumber, true}, {"error", tKind::kNumber, true}}},
    {tRecordedCall::kPopen,
     {{"command", tKind::kText, true}, {"bytes", tKind::kHex, true}, {"result", tKind::kNumber, true},
      {"error", tKind::kNumber, true}}},
    {tRecordedCall::kSystem, {{"command", tKind::kText, true}, {"result", tKind::kNumber, true}}},
};

const std::initializer_list<tMember>& membersOf(tRecordedCall call) {
  for (const auto& entry : kCallMembers) {
    if (entry.call == call) return entry.members;
  }
  return kCallMembers[0].members;
}

[[noreturn]] void refuse(std::size_t line, const std::string& message) { throw tRecordingError(line, message); }

// Texts are written byte for byte, bytes outside printable ASCII as \u00XX:
// the JSON reader hands those back as UTF-8 of code points up to 0xFF.
std::string bytesOfText(const std::string& utf8, std::size_t line, const char* name) {
  std::string bytes;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    if (lead < 0x80) {
      bytes += static_cast<char>(lead);
    } else if ((lead == 0xC2 || lead == 0xC3) && i + 1 < utf8.size()) {
      bytes += static_cast<char>(((lead & 0x03) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F));
    } else {
      refuse(line, std::string(name) + ": a character beyond one byte");
    }
  }
  return bytes;
}

tBytes hexMember(const json& value, std::size_t line, const std::string& name) {
  if (!value.is_string()) refuse(line, name + ": expected a hex text");
  auto bytes = nRecording::fromHex(value.get_ref<const std::string&>());
  if (!bytes) refuse(line, name + ": not an even count of hex digits");
  return std::move(*bytes);
}

std::int64_t numberMember(const json& value, std::size_t line, const std::string& name) {
  if (!value.is_number_integer()) refuse(line, name + ": expected an integer");
  return value.get<std::int64_t>();
}

tMemoryRegion regionOf(const json& entry, std::size_t line) {
  if (!entry.is_object()) refuse(line, "memory: expected objects");
  tMemoryRegion region;
  for (const auto& [name, value] : entry.items()) {
    if (name == "what" && value.is_string()) {
      region.what = value.get<std::string>();
    } else if (name == "field") {
      region.field = static_cast<std::uint32_t>(numberMember(value, line, "memory.field"));
    } else if (name == "before") {
      region.before = hexMember(value, line, "memory.before");
    } else if (name == "after") {
      region.after = hexMember(value, line, "memory.after");
    } else {
      refuse(line, "memory." + name + ": unknown member");
    }
  }
  static const char* const kRegions[] = {"descriptor", "input", "output", "registration", "buffer"};
  bool known = false;
  for (const char* what : kRegions) known = known || region.what == what;
  if (!known) refuse(line, "memory.what: expected descriptor, input, output, registration or buffer");
  return region;
}

void readMember(tExchange& exchange, const tMember& member, const json& value) {
  const std::size_t line = exchange.line;
  switch (member.kind) {
    case tKind::kNumber: exchange.numbers[member.name] = numberMember(value, line, member.name); break;
    case tKind::kText:
      if (!value.is_string()) refuse(line, std::string(member.name) + ": expected a text");
      exchange.text = bytesOfText(value.get<std::string>(), line, member.name);
      break;
    case tKind::kHex: exchange.bytes = hexMember(value, line, member.name); break;
    case tKind::kTexts:
      if (!value.is_array()) refuse(line, std::string(member.name) + ": expected a list of texts");
      for (const auto& path : value) {
        if (!path.is_string()) refuse(line, std::string(member.name) + ": expected a list of texts");
        exchange.paths.push_back(bytesOfText(path.get<std::string>(), line, member.name));
      }
      break;
    case tKind::kMemory:
      if (!value.is_array()) refuse(line, "memory: expected a list");
      for (const auto& entry : value) exchange.memory.push_back(regionOf(entry, line));
      break;
  }
}

tExchange exchangeOf(const json& document, std::size_t line) {
  tExchange exchange;
  exchange.line = line;
  if (!document.is_object()) refuse(line, "expected an exchange object");
  const auto call = document.find("call");
  if (call == document.end() || !call->is_string()) refuse(line, "call: missing");
  const auto known = callNamed(call->get<std::string>());
  if (!known) refuse(line, "call: unknown call \"" + call->get<std::string>() + "\"");
  exchange.call = *known;
  const auto& members = membersOf(exchange.call);
  for (const auto& [name, value] : document.items()) {
    if (name == "call") continue;
    if (name == "pid" || name == "tid" || name == "ns") {
      const std::int64_t number = numberMember(value, line, name);
      (name == "pid" ? exchange.process : name == "tid" ? exchange.thread : exchange.nanoseconds) = number;
      continue;
    }
    const tMember* member = nullptr;
    for (const auto& candidate : members) {
      if (name == candidate.name) member = &candidate;
    }
    if (member == nullptr) refuse(line, name + ": unknown member of a " + call->get<std::string>() + " line");
    readMember(exchange, *member, value);
  }
  for (const char* common : {"pid", "tid", "ns"}) {
    if (!document.contains(common)) refuse(line, std::string(common) + ": missing");
  }
  for (const auto& member : members) {
    if (member.required && !document.contains(member.name)) refuse(line, std::string(member.name) + ": missing");
  }
  return exchange;
}

json parseLine(std::string_view text, std::size_t line) {
  try {
    return json::parse(text);
  } catch (const json::exception& error) {  // a syntax error, or a number beyond any type
    refuse(line, std::string("not a JSON object: ") + error.what());
  }
}

void readHeader(const json& header, tRecording& recording) {
  if (!header.is_object() || !header.contains("format") || header.at("format") != nRecording::kFormatName) {
    refuse(1, std::string("not a recording: the first line names no format \"") + nRecording::kFormatName + "\"");
  }
  const auto version = header.find("version");
  if (version == header.end() || !version->is_number_integer()) refuse(1, "version: missing");
  const auto number = version->get<std::int64_t>();
  recording.version = number == nRecording::kFormatVersion ? nRecording::kFormatVersion : -1;
  if (number != nRecording::kFormatVersion || !version->is_number_integer()) {
    refuse(1, "format version " + version->dump() + " is not one this program reads (it reads version " +
                  std::to_string(nRecording::kFormatVersion) + ")");
  }
  const auto redacted = header.find("redacted");
  if (redacted != header.end() && !redacted->is_boolean()) refuse(1, "redacted: expected true or false");
  recording.redacted = redacted != header.end() && redacted->get<bool>();
}

}  // namespace

tRecordingError::tRecordingError(std::size_t line, const std::string& message)
    : std::runtime_error(line == 0 ? message : "line " + std::to_string(line) + ": " + message), line_(line) {}

tRecording readRecording(std::string_view text) {
  tRecording recording;
  std::size_t line = 0;
  std::size_t at = 0;
  if (text.empty()) refuse(1, "empty: a recording starts with its format line");
  while (at < text.size()) {
    ++line;
    const std::size_t end = text.find('\n', at);
    // Every line a recorder writes ends with its newline: one without it was cut off.
    if (end == std::string_view::npos) refuse(line, "cut off: the line has no end");
    const std::string_view content = text.substr(at, end - at);
    at = end + 1;
    const json document = parseLine(content, line);
    if (line == 1) {
      readHeader(document, recording);
    } else {
      recording.exchanges.push_back(exchangeOf(document, line));
    }
  }
  return recording;
}

tRecording readRecordingFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw tRecordingError(0, "cannot read the recording " + path + ": " + std::strerror(errno));
  std::stringstream text;
  text << file.rdbuf();
  return readRecording(text.str());
}

}  // namespace nKESTRELSIM
