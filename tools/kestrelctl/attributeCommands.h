#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "tools/kestrelctl/attributeCatalog.h"
#include "tools/kestrelctl/controllerClient.h"

namespace kestrelctl {

struct tAttributeRequest {
  std::string attribute;                // a catalog name or an id
  std::optional<std::string> index;     // --index, as given
  std::string value;                    // for set
};

enum class tAccess { read, write };

// The attribute a request names, with its index applied; prints why not
// (a usage error) and yields nothing when the request is not valid: an
// unknown name, an index the attribute does not take or that is not a number
// from 0 to 255, an index beside an explicit id, an attribute that cannot be
// read or written as asked.
std::optional<tAttribute> resolveAttribute(const tAttributeRequest& request, tAccess access);

// A value as the user gave it, checked before any session opens: a number,
// or a name where the attribute's values have names ("reset"), within the
// values the attribute takes. Prints why not (a usage error).
std::optional<std::uint32_t> parseValue(const tAttribute& attribute, const std::string& text);

// The value printed as text or JSON.
void printU32Value(const tAttribute& attribute, std::uint32_t value);
void printTextValue(const tAttribute& attribute, const std::string& value);

int runGet(const tControllerClient& controller, const tAttributeRequest& request, const tAttribute& attribute);
int runSet(const tControllerClient& controller, const tAttributeRequest& request, const tAttribute& attribute);
// Lists the catalog. Needs no controller.
int runList();

}  // namespace kestrelctl
