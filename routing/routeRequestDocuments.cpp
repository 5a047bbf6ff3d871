// Destinations (an array of terminal names) and the check that a document
// is one valid value before it is walked.
#include <cstring>

#include "json/jsonReader.h"
#include "routing/routeRequestDocuments.h"
#include "routing/routeRequestError.h"
#include "routing/tRequestReader.h"

namespace tarn {

// An escape always takes more raw bytes than it stands for, so a key as
// long as the name is equal only byte for byte, and a shorter one never.
bool keyIs(const jsonz_value& key, const char* name) noexcept {
  const std::size_t length = std::strlen(name);
  if (key.length <= length) return key.length == length && std::memcmp(key.text, name, length) == 0;
  return std::memchr(key.text, '\\', key.length) != nullptr && jsonz_keyEquals(name, key.text, key.length);
}

const char* documentOfType(const char* document, std::int32_t type) noexcept {
  jsonz_value value{};
  if (jsonz_parse(document, &value) == nullptr || value.type != type) return nullptr;
  return value.text;
}

namespace {

// The ordinary document, an array of names, read in one pass; false where
// the thorough walk below must decide.
bool readDestinationsInOnePass(const char* destinations, const tTerminalNames& names, tRouteRequest& request) {
  if (destinations == nullptr) return false;
  tRequestReader reader(destinations);
  return reader.elements([&] {
    const char* name = nullptr;
    std::size_t length = 0;
    if (!reader.string(name, length)) return false;
    request.destinations.append(names.idOf(name, length));
    return true;
  });
}

}  // namespace

void readDestinations(const char* destinations, const tTerminalNames& names, tRouteRequest& request) {
  if (readDestinationsInOnePass(destinations, names, request)) return;
  request.destinations.resize(0);
  const char* array = documentOfType(destinations, jsonz_typeArray);
  if (array == nullptr) return;
  for (const char* p = jsonz_firstElement(array); p != nullptr; p = jsonz_nextElement(p)) {
    jsonz_value element{};
    p = jsonz_parse(p, &element);
    if (element.type != jsonz_typeString) {
      refuseRequest(kTerminalsMustBeStringsLine, "Terminals must be strings",
                    {destinations, std::strlen(destinations)});
    }
    request.destinations.append(names.idOf(element.text, element.length));
  }
}

}  // namespace tarn
