// Seeds: an array of seed objects, each naming a terminal with its cost and
// constraints. Members are read in document order; a repeated key takes the
// last value. An ordinary document is read in one pass that validates as it
// goes; any other is validated as a whole first and then walked, peeking at
// values and descending into containers once.
#include <cstring>
#include <string>

#include "json/jsonReader.h"
#include "routing/handledConstraintTable.h"
#include "routing/routeRequestDocuments.h"
#include "routing/routeRequestError.h"
#include "routing/tRequestReader.h"

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
                           const tTerminalNames& names, tRouteSeed& seed, tSeedMembers& seen) {
  jsonz_value value{};
  const char* peeked = jsonz_peek(position, &value);
  if (keyIs(key, "terminal")) {
    if (value.type != jsonz_typeString) object.refuse(kTerminalNameLine, "terminal name must be a string");
    seed.terminalId = names.idOf(value.text, value.length);
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
const char* readSeed(const char* object, const tTerminalNames& names, tRouteSeed& seed) {
  const tSeedObject seedObject{object};
  tSeedMembers seen;
  jsonz_value key{};
  bool more = false;
  const char* p = jsonz_firstMember(object, &key, &more);
  while (more) {
    const jsonz_value name = key;
    p = jsonz_nextMember(readSeedMember(name, p, seedObject, names, seed, seen), &key, &more);
  }
  if (!seen.terminal) seedObject.refuse(kTerminalMissingLine, "terminal field missing");
  if (!seen.cost) seedObject.refuse(kCostMissingLine, "cost field missing or invalid");
  if (!seen.constraints) seedObject.refuse(kConstraintsMissingLine, "constraints field missing");
  return p;
}

// The one-pass reading of the ordinary seeds document. Each step gives up
// (false) where the thorough walk above has something to decide: a refusal,
// a document that is not valid, a value it does not descend into.

const tHandledConstraint* findConstraint(const char* name, std::size_t length) noexcept {
  for (const tHandledConstraint& row : kHandledConstraints) {
    if (nameIs(name, length, row.name, std::char_traits<char>::length(row.name))) return &row;
  }
  return nullptr;
}

bool readConstraintsInOnePass(tRequestReader& reader, tRouteSeed& seed) {
  return reader.scalarMembers([&](const char* name, std::size_t length, const jsonz_value& value) {
    const tHandledConstraint* row = value.type != jsonz_typeNull ? findConstraint(name, length) : nullptr;
    if (row == nullptr) return true;
    if (row->expectedType != value.type) return false;
    if (value.type == jsonz_typeBool && row->id == kInversionNeededConstraint) {
      seed.inversionNeeded = jsonz_isTrue(value) ? 1 : 0;
    }
    return true;
  });
}

// Most costs are plain digits; any other number text takes the reader's
// conversion.
bool readCost(const jsonz_value& number, std::uint32_t& cost) noexcept {
  if (number.floating != 0 || number.length == 0 || number.length > 9 || number.text[0] == '-') {
    return jsonz_toUInt32(number, &cost);
  }
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < number.length; ++i) value = value * 10 + static_cast<std::uint32_t>(number.text[i] - '0');
  cost = value;
  return true;
}

bool readSeedMemberInOnePass(tRequestReader& reader, const char* name, std::size_t length,
                             const tTerminalNames& names, tRouteSeed& seed, tSeedMembers& seen) {
  const char* text = nullptr;
  std::size_t textLength = 0;
  jsonz_value value{};
  if (nameIs(name, length, "terminal")) {
    if (!reader.string(text, textLength)) return false;
    seed.terminalId = names.idOf(text, textLength);
    seen.terminal = true;
    return true;
  }
  if (nameIs(name, length, "srcDeviceToken")) return reader.string(text, textLength);
  if (nameIs(name, length, "cost")) {
    if (!reader.number(value)) return false;
    seen.cost = readCost(value, seed.cost);
    return true;
  }
  if (nameIs(name, length, "constraints")) {
    seed.inversionNeeded = 0;
    seen.constraints = true;
    if (reader.peek() == '{') return readConstraintsInOnePass(reader, seed);
  }
  return reader.scalar(value);
}

bool readSeedInOnePass(tRequestReader& reader, const tTerminalNames& names, tRouteSeed& seed) {
  tSeedMembers seen;
  return reader.peek() == '{' &&
         reader.members([&](const char* name, std::size_t length) {
           return readSeedMemberInOnePass(reader, name, length, names, seed, seen);
         }) &&
         seen.terminal && seen.cost && seen.constraints;
}

bool readSeedsInOnePass(const char* seeds, const tTerminalNames& names, tRouteRequest& request) {
  if (seeds == nullptr) return false;
  tRequestReader reader(seeds);
  return reader.elements([&] { return readSeedInOnePass(reader, names, request.seeds.appendZeroed()); });
}

}  // namespace

void readSeeds(const char* seeds, const tTerminalNames& names, tRouteRequest& request) {
  if (readSeedsInOnePass(seeds, names, request)) return;
  request.seeds.resize(0);
  const char* array = documentOfType(seeds, jsonz_typeArray);
  if (array == nullptr) return;
  for (const char* p = jsonz_firstElement(array); p != nullptr; p = jsonz_nextElement(p)) {
    jsonz_value element{};
    jsonz_peek(p, &element);
    if (element.type != jsonz_typeObject) refuseRequest(kSeedNotObjectLine, "seed must be an object");
    p = readSeed(element.text, names, request.seeds.appendZeroed());
  }
}

}  // namespace tarn
