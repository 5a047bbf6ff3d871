// Seeds: an array of seed objects, each naming a terminal with its cost and
// constraints. Members are read in document order; a repeated key takes the
// last value.
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

const tHandledConstraint* findConstraint(const jsonz_value& key) noexcept {
  for (const tHandledConstraint& row : kHandledConstraints) {
    if (jsonz_keyEquals(row.name, key.text, key.length)) return &row;
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

void readConstraints(const char* object, tRouteSeed& seed) {
  jsonz_value key{};
  bool more = false;
  for (const char* p = jsonz_firstMember(object, &key, &more); more; p = jsonz_nextMember(p, &key, &more)) {
    jsonz_value value{};
    const jsonz_value name = key;
    p = jsonz_parse(p, &value);
    readConstraint(name, value, seed);
  }
}

void readSeedMember(const jsonz_value& key, const char* position, const jsonz_value& value,
                    tDocumentSpan seedObject, const tTopographyInfo& topography, tRouteSeed& seed,
                    tSeedMembers& seen) {
  if (jsonz_keyEquals("terminal", key.text, key.length)) {
    if (value.type != jsonz_typeString) refuseRequest(kTerminalNameLine, "terminal name must be a string", seedObject);
    seed.terminalId = terminalIdByName(topography, value.text, value.length);
    seen.terminal = true;
  } else if (jsonz_keyEquals("srcDeviceToken", key.text, key.length)) {
    if (value.type != jsonz_typeString) {
      refuseRequest(kSrcDeviceTokenLine, "srcDeviceToken name must be a string", seedObject);
    }
  } else if (jsonz_keyEquals("cost", key.text, key.length)) {
    if (value.type != jsonz_typeNumber) refuseRequest(kCostTypeLine, "cost must be a number", seedObject);
    seen.cost = jsonz_toUInt32(value, &seed.cost);
  } else if (jsonz_keyEquals("constraints", key.text, key.length)) {
    seed.inversionNeeded = 0;
    if (value.type == jsonz_typeObject) readConstraints(position, seed);
    seen.constraints = true;
  }
}

void readSeed(const char* object, const char* objectEnd, const tTopographyInfo& topography, tRouteSeed& seed) {
  const tDocumentSpan seedObject{object, static_cast<std::size_t>(objectEnd - object)};
  tSeedMembers seen;
  jsonz_value key{};
  bool more = false;
  for (const char* p = jsonz_firstMember(object, &key, &more); more; p = jsonz_nextMember(p, &key, &more)) {
    jsonz_value value{};
    const jsonz_value name = key;
    const char* valueEnd = jsonz_parse(p, &value);
    readSeedMember(name, p, value, seedObject, topography, seed, seen);
    p = valueEnd;
  }
  if (!seen.terminal) refuseRequest(kTerminalMissingLine, "terminal field missing", seedObject);
  if (!seen.cost) refuseRequest(kCostMissingLine, "cost field missing or invalid", seedObject);
  if (!seen.constraints) refuseRequest(kConstraintsMissingLine, "constraints field missing", seedObject);
}

}  // namespace

void readSeeds(const char* seeds, const tTopographyInfo& topography, tRouteRequest& request) {
  const char* array = documentOfType(seeds, jsonz_typeArray);
  if (array == nullptr) return;
  for (const char* p = jsonz_firstElement(array); p != nullptr; p = jsonz_nextElement(p)) {
    jsonz_value element{};
    const char* elementEnd = jsonz_parse(p, &element);
    if (element.type != jsonz_typeObject) refuseRequest(kSeedNotObjectLine, "seed must be an object");
    readSeed(element.text, elementEnd, topography, request.seeds.appendZeroed());
    p = elementEnd;
  }
}

}  // namespace tarn
