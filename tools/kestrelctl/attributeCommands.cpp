#include "tools/kestrelctl/attributeCommands.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "tools/kestrelctl/attributeCatalog.h"
#include "tools/kestrelctl/numberText.h"
#include "tools/kestrelctl/statusMessage.h"

namespace kestrelctl {
namespace {

constexpr int kFailure = 1;
constexpr int kUsage = 2;

}  // namespace

std::optional<tAttribute> resolveAttribute(const tAttributeRequest& request) {
  auto attribute = findAttribute(request.attribute);
  if (!attribute) {
    std::fprintf(stderr, "kestrelctl: unknown attribute '%s'; 'kestrelctl list' shows the names, or give an id\n",
                 request.attribute.c_str());
    return std::nullopt;
  }
  if (request.index > 0xFF) {
    std::fprintf(stderr, "kestrelctl: index %u is out of range (0-255)\n", request.index);
    return std::nullopt;
  }
  attribute->id |= request.index;
  return attribute;
}

namespace {

void printValue(const tAttribute& attribute, const nlohmann::json& value, bool json) {
  if (json) {
    const nlohmann::json document = {{"attribute", attributeLabel(attribute.id & ~0xFFu)},
                                     {"id", attribute.id},
                                     {"index", attribute.id & 0xFFu},
                                     {"value", value}};
    std::printf("%s\n", document.dump().c_str());
  } else if (value.is_string()) {
    std::printf("%s\n", value.get<std::string>().c_str());
  } else {
    std::printf("%s\n", value.dump().c_str());
  }
}

const char* indexLabel(tIndexKind kind) {
  switch (kind) {
    case tIndexKind::instance: return "instance";
    case tIndexKind::populated: return "module";
    case tIndexKind::entry: return "entry";
    case tIndexKind::none: break;
  }
  return "-";
}

}  // namespace

int runGet(const tControllerClient& controller, const tAttributeRequest& request, const tAttribute& attribute) {
  const std::string what = "get " + request.attribute;
  if (attribute.type() == tValueType::text) {
    const auto result = controller.readText(attribute.id);
    if (!result.ok()) return printFailure(what, result.code), kFailure;
    printValue(attribute, result.value, request.json);
  } else {
    const auto result = controller.readU32(attribute.id);
    if (!result.ok()) return printFailure(what, result.code), kFailure;
    printValue(attribute, result.value, request.json);
  }
  return 0;
}

int runSet(const tControllerClient& controller, const tAttributeRequest& request, const tAttribute& attribute) {
  const std::string what = "set " + request.attribute;
  std::int32_t code = 0;
  if (attribute.type() == tValueType::text) {
    code = controller.writeText(attribute.id, request.value);
  } else {
    const auto value = parseU32(request.value);
    if (!value) {
      std::fprintf(stderr, "kestrelctl: '%s' is not an unsigned 32-bit number\n", request.value.c_str());
      return kUsage;
    }
    code = controller.writeU32(attribute.id, *value);
  }
  if (code < 0) return printFailure(what, code), kFailure;
  if (request.json) std::printf("%s\n", nlohmann::json({{"id", attribute.id}, {"status", code}}).dump().c_str());
  return 0;
}

int runList(bool json) {
  nlohmann::json document = nlohmann::json::array();
  for (const auto& attribute : attributeCatalog()) {
    const char* type = attribute.type() == tValueType::text ? "text" : "u32";
    if (json) {
      document.push_back({{"name", attribute.name},
                          {"id", attribute.id},
                          {"type", type},
                          {"index", indexLabel(attribute.index)},
                          {"writable", attribute.writable},
                          {"description", attribute.description}});
    } else {
      std::printf("%-26s 0x%08X %-4s %-8s %s%s\n", attribute.name, attribute.id, type, indexLabel(attribute.index),
                  attribute.description, attribute.writable ? " (writable)" : "");
    }
  }
  if (json) std::printf("%s\n", document.dump(2).c_str());
  return 0;
}

}  // namespace kestrelctl
