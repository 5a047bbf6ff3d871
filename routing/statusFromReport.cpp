#include "routing/statusFromReport.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "json/jsonReader.h"

namespace tarn {
namespace {

using nKESTREL1400::tStatus;

// The unescaped string value of a report member, or "".
std::string reportMember(const char* report, const char* name) {
  const char* value = report == nullptr ? nullptr : jsonz_findMember(report, name);
  std::size_t length = 0;
  const char* next = nullptr;
  const char* raw = value == nullptr ? nullptr : jsonz_getString(value, nullptr, &length, &next);
  if (raw == nullptr || next == nullptr) return {};
  std::string text(length + 1, '\0');
  if (jsonz_unescape(raw, length, text.data()) == nullptr) return {};
  text.resize(std::strlen(text.c_str()));
  return text;
}

std::uint64_t reportLine(const char* report) {
  const char* value = report == nullptr ? nullptr : jsonz_findMember(report, "line");
  jsonz_value number{};
  std::uint32_t line = 0;
  if (value == nullptr || jsonz_parse(value, &number) == nullptr || !jsonz_toUInt32(number, &line)) return 0;
  return line;
}

}  // namespace

void seedStatusFromReport(tStatus& status, const tStatusReport& record) {
  status.code = record.code;
  const std::string component = reportMember(record.report, "component");
  const std::string file = reportMember(record.report, "file");
  const std::size_t componentLength = std::min(component.size(), tStatus::kComponentSize - 1);
  std::memcpy(status.component, component.data(), componentLength);
  status.component[componentLength] = '\0';
  const std::size_t fileLength = std::min(file.size(), tStatus::kFileSize - 1);
  std::memcpy(status.file, file.data() + file.size() - fileLength, fileLength);
  status.file[fileLength] = '\0';
  status.line = reportLine(record.report);
}

}  // namespace tarn
