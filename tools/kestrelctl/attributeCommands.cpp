#include "tools/kestrelctl/attributeCommands.h"

#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tools/kestrelctl/numberText.h"
#include "tools/kestrelctl/output.h"
#include "tools/kestrelctl/statusMessage.h"
#include "tools/kestrelctl/tableText.h"

namespace kestrelctl {
namespace {

bool refuse(const std::string& message) {
  printUsageError(message);
  return false;
}

bool indexAllowed(const tAttributeRequest& request, const tAttribute& attribute, std::uint32_t& index) {
  if (!request.index) return true;
  if (parseU32(request.attribute)) {
    return refuse("--index goes with an attribute name; an id carries its index in its low 8 bits");
  }
  if (attribute.index == tIndexKind::none) return refuse(std::string(attribute.name) + " takes no --index");
  const auto parsed = parseU32(*request.index);
  if (!parsed || *parsed > 0xFF) {
    return refuse("--index '" + *request.index + "' is not a number from 0 to 255");
  }
  index = *parsed;
  return true;
}

bool accessAllowed(const tAttribute& attribute, tAccess access) {
  if (access == tAccess::write && !attribute.writable) {
    return refuse(std::string(attribute.name) + " is read-only; 'kestrelctl list' marks the writable attributes");
  }
  if (access == tAccess::read && !attribute.readable) {
    return refuse(std::string(attribute.name) + " can only be written; " + attribute.description);
  }
  return true;
}

nlohmann::json attributeJson(const tAttribute& attribute) {
  return {{"attribute", attribute.name[0] != '\0' ? nlohmann::json(attribute.name) : nlohmann::json()},
          {"id", hexId(attribute.id)},
          {"index", attribute.id & 0xFFu}};
}

}  // namespace

std::optional<tAttribute> resolveAttribute(const tAttributeRequest& request, tAccess access) {
  auto attribute = findAttribute(request.attribute);
  if (!attribute) {
    refuse("unknown attribute '" + request.attribute + "'; 'kestrelctl list' shows the names, or give an id");
    return std::nullopt;
  }
  std::uint32_t index = 0;
  if (!indexAllowed(request, *attribute, index) || !accessAllowed(*attribute, access)) return std::nullopt;
  attribute->id += index;
  return attribute;
}

std::optional<std::uint32_t> parseValue(const tAttribute& attribute, const std::string& text) {
  const std::string name = attribute.name[0] != '\0' ? attribute.name : hexId(attribute.id);
  if (attribute.enumeration != tEnumeration::none) {
    auto value = valueNamed(attribute.enumeration, text);
    if (!value) value = parseU32(text);
    if (!value || valueName(attribute.enumeration, *value).empty()) {
      refuse("'" + text + "' is not a value of " + name + ": give " + valueNames(attribute.enumeration));
      return std::nullopt;
    }
    return value;
  }
  const auto value = parseU32(text);
  if (!value) {
    refuse("'" + text + "' is not an unsigned 32-bit number (decimal, or hexadecimal after 0x)");
  } else if (*value < attribute.minimum) {
    refuse("'" + text + "' is out of range: " + name + " is at least " + std::to_string(attribute.minimum));
    return std::nullopt;
  }
  return value;
}

void printU32Value(const tAttribute& attribute, std::uint32_t value) {
  const std::string name = valueName(attribute.enumeration, value);
  if (outputOptions().json) {
    auto document = attributeJson(attribute);
    document["value"] = value;
    if (attribute.enumeration != tEnumeration::none) {
      document["meaning"] = name.empty() ? nlohmann::json() : nlohmann::json(name);
    }
    setJsonResult(document);
  } else if (name.empty()) {
    std::printf("%u\n", value);
  } else {
    std::printf("%u (%s)\n", value, name.c_str());
  }
}

void printTextValue(const tAttribute& attribute, const std::string& value) {
  if (outputOptions().json) {
    auto document = attributeJson(attribute);
    document["value"] = value;
    setJsonResult(document);
  } else {
    std::printf("%s\n", printable(value).c_str());
  }
}

int runGet(const tControllerClient& controller, const tAttributeRequest& request, const tAttribute& attribute) {
  const std::string what = "get " + request.attribute;
  if (attribute.type() == tValueType::text) {
    const auto result = controller.readText(attribute.id);
    if (!result.ok()) return printFailure(what, result.code);
    printTextValue(attribute, result.value);
  } else {
    const auto result = controller.readU32(attribute.id);
    if (!result.ok()) return printFailure(what, result.code);
    printU32Value(attribute, result.value);
  }
  return kSuccess;
}

int runSet(const tControllerClient& controller, const tAttributeRequest& request, const tAttribute& attribute) {
  const std::string what = "set " + request.attribute;
  std::int32_t code = 0;
  if (attribute.type() == tValueType::text) {
    code = controller.writeText(attribute.id, request.value);
  } else {
    const auto value = parseValue(attribute, request.value);
    if (!value) return kUsage;
    code = controller.writeU32(attribute.id, *value);
  }
  if (code < 0) return printFailure(what, code);
  if (outputOptions().json) {
    auto document = attributeJson(attribute);
    document["status"] = code;
    setJsonResult(document);
  }
  return kSuccess;
}

int runList() {
  nlohmann::json document = nlohmann::json::array();
  tTableText table({"NAME", "ID", "TYPE", "INDEX", "ACCESS", "DESCRIPTION"});
  for (const auto& attribute : attributeCatalog()) {
    const char* type = attribute.type() == tValueType::text ? "text" : "u32";
    const char* access = attribute.writable ? (attribute.readable ? "rw" : "w") : "r";
    const char* target = attribute.target == tTarget::watchdog ? "watchdog" : "controller";
    document.push_back({{"name", attribute.name},
                        {"id", hexId(attribute.id)},
                        {"type", type},
                        {"index", attribute.index == tIndexKind::none ? nlohmann::json() : indexLabel(attribute.index)},
                        {"readable", attribute.readable},
                        {"writable", attribute.writable},
                        {"session", target},
                        {"description", attribute.description}});
    table.addRow({attribute.name, hexId(attribute.id), type, indexLabel(attribute.index), access,
                  attribute.description});
  }
  if (outputOptions().json) {
    setJsonResult(document);
  } else {
    table.print(outputOptions().headings);
  }
  return kSuccess;
}

}  // namespace kestrelctl
