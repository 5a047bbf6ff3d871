// Seeds: an array of seed objects, each naming a terminal with its cost and
// constraints. Members are read in document order; a repeated key takes the
// last value. The array has been validated as a whole, so the walk only
// peeks at values and descends into containers once.
#include <cstring>

#include "json/jsonReader.h"
#include "routing/handledConstraintTable.h"
#include "routing/routeRequestDocuments.h"
#include "routing/routeRequestError.h"
#include "routing/terminalNames.h"

namespace tarn {
namespace {

using nKESTREL1400::nDriverWire::tRouteSeed;

struct tSeedMembers {
  bool terminal = false;
  bool cost = false;
  bool constraints = false;
};

// The seed object being read, as a refusal shows it.
struct tSeedObject {
  const char* text;
  [[noreturn]] void refuse(std::uint32_t line, const char* message) const {
    const char* end = jsonz_parse(text, nullptr);
    refuseRequest(line, message, {text, static_cast<std::size_t>(end - text)});
  }
};

const tHandledConstraint* findConstraint(const jsonz_value& key) noexcept {
  for (const tHandledConstraint& row : kHandledConstraints) {
    if (keyIs(key, row.name)) return &row;
  }
  return nullptr;
}

// A constraint the adaptor does not know is left to the framework, which
// learns the handled ones from getHandledConstraints: it is ignored.
void readConstraint(const jsonz_value& key, const jsonz_value& value, tRouteSeed& seed) {
  if (value.type != jsonz_typeBool && value.type != jsonz_typeNumber && value.type != jsonz_typeString) return;
  const tHandledConstraint* row = findConstraint(key);
  if (row == nullptr) return;
  if (row->expectedType != value.type) refuseConstraintType({key.text, key.length}, row->expectedType, value.type);
  if (value.type == jsonz_typeBool && row->id == kInversionNeededConstraint) {
    seed.inversionNeeded = jsonz_isTrue(value) ? 1 : 0;
  }
}

// The position after a value: scalars end where the peek ended, containers
// are skipped.
const char* skipValue(const char* position, const char* peeked, const jsonz_value& value) {
  if (value.type != jsonz_typeArray && value.type != jsonz_typeObject) return peeked;
  return jsonz_parse(position, nullptr);
}

// Returns the position after the constraints object.
const char* readConstraints(const char* object, tRouteSeed& seed) {
  jsonz_value key{};
  bool more = false;
  const char* p = jsonz_firstMember(object, &key, &more);
  while (more) {
    jsonz_value value{};
    const jsonz_value name = key;
    const char* peeked = jsonz_peek(p, &value);
    readConstraint(name, value, seed);
    p = jsonz_nextMember(skipValue(p, peeked, value), &key, &more);
  }
  return p;
}

// Reads one member and returns the position after its value.
const char* readSeedMember(const jsonz_value& key, const char* position, const tSeedObject& object,
                           const tTopographyInfo& topography, tRouteSeed& seed, tSeedMembers& seen) {
  jsonz_value value{};
  const char* peeked = jsonz_peek(position, &value);
  if (keyIs(key, "terminal")) {
    if (value.type != jsonz_typeString) object.refuse(kTerminalNameLine, "terminal name must be a string");
    seed.terminalId = terminalIdByName(topography, value.text, value.length);
    seen.terminal = true;
  } else if (keyIs(key, "srcDeviceToken")) {
    if (value.type != jsonz_typeString) object.refuse(kSrcDeviceTokenLine, "srcDeviceToken name must be a string");
  } else if (keyIs(key, "cost")) {
    if (value.type != jsonz_typeNumber) object.refuse(kCostTypeLine, "cost must be a number");
    seen.cost = jsonz_toUInt32(value, &seed.cost);
  } else if (keyIs(key, "constraints")) {
    seed.inversionNeeded = 0;
    seen.constraints = true;
    if (value.type == jsonz_typeObject) return readConstraints(position, seed);
  }
  return skipValue(position, peeked, value);
}

// Returns the position after the seed object.
const char* readSeed(const char* object, const tTopographyInfo& topography, tRouteSeed& seed) {
  const tSeedObject seedObject{object};
  tSeedMembers seen;
  jsonz_value key{};
  bool more = false;
  const char* p = jsonz_firstMember(object, &key, &more);
  while (more) {
    const jsonz_value name = key;
    p = jsonz_nextMember(readSeedMember(name, p, seedObject, topography, seed, seen), &key, &more);
  }
  if (!seen.terminal) seedObject.refuse(kTerminalMissingLine, "terminal field missing");
  if (!seen.cost) seedObject.refuse(kCostMissingLine, "cost field missing or invalid");
  if (!seen.constraints) seedObject.refuse(kConstraintsMissingLine, "constraints field missing");
  return p;
}

}  // namespace

void readSeeds(const char* seeds, const tTopographyInfo& topography, tRouteRequest& request) {
  const char* array = documentOfType(seeds, jsonz_typeArray);
  if (array == nullptr) return;
  for (const char* p = jsonz_firstElement(array); p != nullptr; p = jsonz_nextElement(p)) {
    jsonz_value element{};
    jsonz_peek(p, &element);
    if (element.type != jsonz_typeObject) refuseRequest(kSeedNotObjectLine, "seed must be an object");
    p = readSeed(element.text, topography, request.seeds.appendZeroed());
  }
}

}  // namespace tarn
