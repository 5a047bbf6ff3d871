#include "tools/kestrelctl/infoCommand.h"

#include <kestrel/kestrel_status.h>

#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tools/kestrelctl/attributeCatalog.h"
#include "tools/kestrelctl/memorySize.h"
#include "tools/kestrelctl/output.h"
#include "tools/kestrelctl/tableText.h"

namespace kestrelctl {
namespace {

constexpr const char* kClearedRecord = "0.0.0f0";

// One line of the report: a value, or the code that kept it from being read.
struct tField {
  const char* key;
  const char* label;
  std::int32_t code;
  std::string text;
  nlohmann::json value;
};

tField textField(const tControllerClient& controller, const char* key, const char* label, std::uint32_t id) {
  const auto result = controller.readText(id);
  return {key, label, result.code, result.value, result.ok() ? nlohmann::json(result.value) : nlohmann::json()};
}

tField numberField(const tControllerClient& controller, const char* key, const char* label, std::uint32_t id,
                   const char* unit = "") {
  const auto result = controller.readU32(id);
  return {key, label, result.code, std::to_string(result.value) + unit,
          result.ok() ? nlohmann::json(result.value) : nlohmann::json()};
}

// The companion chip's record of the BIOS version, which a firmware update
// clears to 0.0.0f0 while SMBIOS keeps the version of the BIOS's last start.
tField biosRecordField(const tControllerClient& controller) {
  tField field = textField(controller, "biosVersionRecord", "BIOS version record", KESTREL_ATTR_BIOS_VERSION);
  if (field.code >= 0 && field.text == kClearedRecord) field.text += " (cleared by a firmware update)";
  return field;
}

tField memorySizeField(const tControllerClient& controller, std::uint32_t module) {
  const auto result = controller.readU32(KESTREL_ATTR_MEMORY_SIZE + module);
  if (!result.ok()) return {"sizeMiB", "size", result.code, "", nullptr};
  const tMemorySize size = decodeMemorySize(static_cast<std::uint16_t>(result.value));
  nlohmann::json mib;
  if (size.kib) mib = *size.kib % 1024 == 0 ? nlohmann::json(*size.kib / 1024) : nlohmann::json(*size.kib / 1024.0);
  return {"sizeMiB", "size", result.code, size.text, mib};
}

tField memoryTypeField(const tControllerClient& controller, std::uint32_t module) {
  const auto result = controller.readU32(KESTREL_ATTR_MEMORY_TYPE + module);
  const std::string name = valueName(tEnumeration::memoryType, result.value);
  return {"type", "type", result.code, name.empty() ? std::to_string(result.value) : name,
          result.ok() ? nlohmann::json(name.empty() ? std::to_string(result.value) : name) : nlohmann::json()};
}

std::string reason(std::int32_t code) {
  return std::string(kestrelStatusName(code)) + ": " + kestrelStatusMeaning(code);
}

std::string shown(const tField& field) {
  if (field.code >= 0) return field.text;
  return std::string("n/a (") + kestrelStatusName(field.code) + ")";
}

// The values by key; a value that could not be read is null, and its reason
// is under "unavailable".
nlohmann::json toJson(const std::vector<tField>& fields) {
  nlohmann::json object = nlohmann::json::object();
  nlohmann::json unavailable = nlohmann::json::object();
  for (const auto& field : fields) {
    object[field.key] = field.value;
    if (field.code < 0) unavailable[field.key] = reason(field.code);
  }
  if (!unavailable.empty()) object["unavailable"] = unavailable;
  return object;
}

void printSection(const char* title, const std::vector<tField>& fields) {
  std::printf("%s\n", title);
  tTableText table({"", ""});
  for (const auto& field : fields) table.addRow({field.label, shown(field)});
  table.print(false, 2);
}

std::vector<std::vector<tField>> memoryModules(const tControllerClient& controller, std::uint32_t count) {
  std::vector<std::vector<tField>> modules;
  for (std::uint32_t i = 0; i < count && i < 256; ++i) {
    modules.push_back({
        textField(controller, "locator", "slot", KESTREL_ATTR_MEMORY_LOCATOR + i),
        textField(controller, "manufacturer", "manufacturer", KESTREL_ATTR_MEMORY_MANUFACTURER + i),
        textField(controller, "partNumber", "part number", KESTREL_ATTR_MEMORY_PART_NUMBER + i),
        textField(controller, "serialNumber", "serial number", KESTREL_ATTR_MEMORY_SERIAL_NUMBER + i),
        memorySizeField(controller, i),
        numberField(controller, "speed", "speed", KESTREL_ATTR_MEMORY_SPEED + i, " MT/s"),
        memoryTypeField(controller, i),
    });
  }
  return modules;
}

void printModules(const std::vector<std::vector<tField>>& modules) {
  std::printf("Memory modules (%zu populated)\n", modules.size());
  if (modules.empty()) return;
  std::vector<std::string> headings{"#"};
  for (const auto& field : modules.front()) headings.push_back(field.label);
  tTableText table(headings);
  for (std::size_t i = 0; i < modules.size(); ++i) {
    std::vector<std::string> cells{std::to_string(i)};
    for (const auto& field : modules[i]) cells.push_back(shown(field));
    table.addRow(cells);
  }
  table.print(outputOptions().headings, 2);
}

}  // namespace

int runInfo(const tControllerClient& controller) {
  const auto interfaces = controller.readU32(KESTREL_ATTR_INTERFACES_PRESENT);
  const bool companion = interfaces.ok() && (interfaces.value & KESTREL_INTERFACE_COMPANION) != 0;

  std::vector<tField> board = {
      textField(controller, "manufacturer", "manufacturer", KESTREL_ATTR_SYSTEM_MANUFACTURER),
      textField(controller, "product", "product", KESTREL_ATTR_PRODUCT_NAME),
      textField(controller, "serialNumber", "serial number", KESTREL_ATTR_SERIAL_NUMBER),
      textField(controller, "systemVersion", "system version", KESTREL_ATTR_SYSTEM_VERSION),
      numberField(controller, "model", "model", KESTREL_ATTR_CONTROLLER_MODEL),
      textField(controller, "modelName", "model name", KESTREL_ATTR_CONTROLLER_MODEL_NAME),
      textField(controller, "biosVersion", "BIOS version (SMBIOS)",
                KESTREL_ATTR_BIOS_VERSION | KESTREL_ATTR_SOURCE_SMBIOS),
  };
  std::vector<tField> companionFields = {
      {"present", "present", 0, companion ? "yes" : "no", companion},
  };
  if (companion) {
    companionFields.push_back(textField(controller, "firmwareVersion", "firmware version",
                                        KESTREL_ATTR_BIOS_VERSION | KESTREL_ATTR_SOURCE_COMPANION));
    companionFields.push_back(biosRecordField(controller));
  }
  std::vector<tField> processor = {
      textField(controller, "manufacturer", "manufacturer", KESTREL_ATTR_PROCESSOR_MANUFACTURER),
      textField(controller, "version", "version", KESTREL_ATTR_PROCESSOR_VERSION),
      numberField(controller, "maxSpeed", "maximum speed", KESTREL_ATTR_PROCESSOR_MAX_SPEED, " MHz"),
      numberField(controller, "threads", "threads", KESTREL_ATTR_PROCESSOR_THREAD_COUNT),
  };
  const auto count = controller.readU32(KESTREL_ATTR_MEMORY_MODULE_COUNT);
  const auto modules = memoryModules(controller, count.ok() ? count.value : 0);
  const tField router = textField(controller, "triggerRouterPath", "trigger router", kTriggerRouterPathAttribute);

  if (outputOptions().json) {
    nlohmann::json document = {{"board", toJson(board)},
                               {"companion", toJson(companionFields)},
                               {"processor", toJson(processor)},
                               {"memoryModules", nlohmann::json::array()},
                               {"triggerRouterPath", router.value}};
    for (const auto& module : modules) document["memoryModules"].push_back(toJson(module));
    setJsonResult(document);
    return kSuccess;
  }
  printSection("Controller", board);
  printSection("Companion chip", companionFields);
  printSection("Processor", processor);
  printModules(modules);
  printSection("Trigger routing", {router});
  return kSuccess;
}

}  // namespace kestrelctl
