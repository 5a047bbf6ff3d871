#include "tools/kestrelctl/infoCommand.h"

#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "platform/statusCodeTable.h"

namespace kestrelctl {
namespace {

constexpr std::uint32_t kCompanionPresent = 0x200000;

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

std::string shown(const tField& field) {
  if (field.code >= 0) return field.text;
  return std::string("n/a (") + nKESTREL1400::statusCodeName(field.code) + ")";
}

nlohmann::json toJson(const std::vector<tField>& fields) {
  nlohmann::json object = nlohmann::json::object();
  for (const auto& field : fields) object[field.key] = field.value;
  return object;
}

void printSection(const char* title, const std::vector<tField>& fields) {
  std::printf("%s\n", title);
  for (const auto& field : fields) std::printf("  %-22s %s\n", field.label, shown(field).c_str());
}

std::vector<std::vector<tField>> memoryModules(const tControllerClient& controller, std::uint32_t count) {
  std::vector<std::vector<tField>> modules;
  for (std::uint32_t i = 0; i < count && i < 256; ++i) {
    modules.push_back({
        textField(controller, "locator", "slot", KESTREL_ATTR_MEMORY_LOCATOR + i),
        textField(controller, "manufacturer", "manufacturer", KESTREL_ATTR_MEMORY_MANUFACTURER + i),
        textField(controller, "partNumber", "part number", KESTREL_ATTR_MEMORY_PART_NUMBER + i),
        textField(controller, "serialNumber", "serial number", KESTREL_ATTR_MEMORY_SERIAL_NUMBER + i),
        numberField(controller, "size", "size", KESTREL_ATTR_MEMORY_SIZE + i, " MB"),
        numberField(controller, "speed", "speed", KESTREL_ATTR_MEMORY_SPEED + i, " MT/s"),
        numberField(controller, "type", "type", KESTREL_ATTR_MEMORY_TYPE + i),
    });
  }
  return modules;
}

void printModules(const std::vector<std::vector<tField>>& modules) {
  std::printf("Memory modules (%zu populated)\n", modules.size());
  if (modules.empty()) return;
  std::printf("  %-3s", "#");
  for (const auto& field : modules.front()) std::printf(" %-16s", field.label);
  std::printf("\n");
  for (std::size_t i = 0; i < modules.size(); ++i) {
    std::printf("  %-3zu", i);
    for (const auto& field : modules[i]) std::printf(" %-16s", shown(field).c_str());
    std::printf("\n");
  }
}

}  // namespace

int runInfo(const tControllerClient& controller, bool json) {
  const auto interfaces = controller.readU32(KESTREL_ATTR_INTERFACES_PRESENT);
  const bool companion = interfaces.ok() && (interfaces.value & kCompanionPresent) != 0;

  std::vector<tField> board = {
      textField(controller, "manufacturer", "manufacturer", KESTREL_ATTR_SYSTEM_MANUFACTURER),
      textField(controller, "product", "product", KESTREL_ATTR_PRODUCT_NAME),
      textField(controller, "serialNumber", "serial number", KESTREL_ATTR_SERIAL_NUMBER),
      textField(controller, "systemVersion", "system version", KESTREL_ATTR_SYSTEM_VERSION),
      numberField(controller, "model", "model", KESTREL_ATTR_CONTROLLER_MODEL),
      textField(controller, "modelName", "model name", KESTREL_ATTR_CONTROLLER_MODEL_NAME),
      textField(controller, "biosVersion", "BIOS version", KESTREL_ATTR_BIOS_VERSION | KESTREL_ATTR_SOURCE_SMBIOS),
  };
  std::vector<tField> companionFields = {
      {"present", "present", 0, companion ? "yes" : "no", companion},
  };
  if (companion) {
    companionFields.push_back(textField(controller, "firmwareVersion", "firmware version",
                                        KESTREL_ATTR_BIOS_VERSION | KESTREL_ATTR_SOURCE_COMPANION));
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

  if (json) {
    nlohmann::json document = {{"board", toJson(board)},
                               {"companion", toJson(companionFields)},
                               {"processor", toJson(processor)},
                               {"memoryModules", nlohmann::json::array()},
                               {"triggerRouterPath", router.value}};
    for (const auto& module : modules) document["memoryModules"].push_back(toJson(module));
    std::printf("%s\n", document.dump(2).c_str());
    return 0;
  }
  printSection("Controller", board);
  printSection("Companion chip", companionFields);
  printSection("Processor", processor);
  printModules(modules);
  printSection("Trigger routing", {router});
  return 0;
}

}  // namespace kestrelctl
