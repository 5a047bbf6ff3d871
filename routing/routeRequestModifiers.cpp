// Modifiers: an object of modifier groups. "required" modifiers must be
// honoured or the request cannot be satisfied; "optional" ones may be
// dropped. The adaptor knows one modifier, "calculateIgnoresReservations".
#include <cstring>

#include "json/jsonReader.h"
#include "routing/routeRequestDocuments.h"
#include "routing/routeRequestError.h"
#include "routing/tRequestReader.h"

namespace tarn {
namespace {

void readModifier(const jsonz_value& key, const jsonz_value& value, bool required, tRouteModifiers& result) {
  if (value.type == jsonz_typeBool && keyIs(key, "calculateIgnoresReservations")) {
    if (jsonz_isTrue(value)) {
      result.options |= kRouteOptionIgnoreReservations;
    } else {
      result.options &= ~kRouteOptionIgnoreReservations;
    }
    return;
  }
  if (!required) return;
  if (value.type == jsonz_typeBool || value.type == jsonz_typeString) {
    result.unsatisfiable = true;
  } else {
    refuseRequest(kModifierTypeLine, "Required route modifier has unrecognized type");
  }
}

void readGroup(const char* group, bool required, tRouteModifiers& result) {
  jsonz_value key{};
  bool more = false;
  for (const char* p = jsonz_firstMember(group, &key, &more); more; p = jsonz_nextMember(p, &key, &more)) {
    jsonz_value value{};
    const jsonz_value name = key;
    p = jsonz_parse(p, &value);
    readModifier(name, value, required, result);
  }
}

// The ordinary document read in one pass: groups "required" and "optional"
// of scalar modifiers. False where the thorough walk below must decide.
bool readGroupInOnePass(tRequestReader& reader, bool required, tRouteModifiers& result) {
  return reader.scalarMembers([&](const char* name, std::size_t length, const jsonz_value& value) {
    if (value.type == jsonz_typeBool && nameIs(name, length, "calculateIgnoresReservations")) {
      result.options = jsonz_isTrue(value) ? (result.options | kRouteOptionIgnoreReservations)
                                           : (result.options & ~kRouteOptionIgnoreReservations);
      return true;
    }
    if (required && value.type != jsonz_typeBool && value.type != jsonz_typeString) return false;
    if (required) result.unsatisfiable = true;
    return true;
  });
}

bool readModifiersInOnePass(const char* modifiers, tRouteModifiers& result) {
  if (modifiers == nullptr) return false;
  tRequestReader reader(modifiers);
  return reader.members([&](const char* name, std::size_t length) {
    const bool required = nameIs(name, length, "required");
    return reader.peek() == '{' && (required || nameIs(name, length, "optional")) &&
           readGroupInOnePass(reader, required, result);
  });
}

}  // namespace

void readModifiers(const char* modifiers, tRouteModifiers& result) {
  const tRouteModifiers initial = result;
  if (readModifiersInOnePass(modifiers, result)) return;
  result = initial;
  const char* object = documentOfType(modifiers, jsonz_typeObject);
  if (object == nullptr) return;
  jsonz_value key{};
  bool more = false;
  for (const char* p = jsonz_firstMember(object, &key, &more); more; p = jsonz_nextMember(p, &key, &more)) {
    jsonz_value value{};
    const jsonz_value name = key;
    const char* group = p;
    p = jsonz_parse(p, &value);
    if (value.type != jsonz_typeObject) {
      refuseRequest(kModifiersNotObjectLine, "modifiers type must be object", {modifiers, std::strlen(modifiers)});
    }
    if (keyIs(name, "required")) readGroup(group, true, result);
    if (keyIs(name, "optional")) readGroup(group, false, result);
  }
}

}  // namespace tarn
