#include "jsonBenchDocuments.h"

namespace jsonBench {
namespace {

std::string seed(int index) {
  const std::string n = std::to_string(index);
  return "{\"terminal\": \"PXI_Trig" + std::to_string(index % 8) + "\", \"srcDeviceToken\": \"chassis/slot" + n +
         "\\u00e9\\n\", \"cost\": " + n + ", \"weight\": -" + n + ".25e-1, \"constraints\": {\"inversionNeeded\": " +
         (index % 2 == 0 ? "true" : "false") + ", \"note\": null, \"path\": [" + n + ", 1, 2]}}";
}

std::string seedArray(std::size_t minimumBytes) {
  std::string text = "[";
  for (int i = 0; text.size() < minimumBytes; ++i) {
    if (i > 0) text += ",\n  ";
    text += seed(i);
  }
  return text + "]";
}

}  // namespace

const std::string& routeRequest() {
  static const std::string text = seedArray(300);
  return text;
}

const std::string& largeDocument() {
  static const std::string text = seedArray(1 << 20);
  return text;
}

}  // namespace jsonBench
