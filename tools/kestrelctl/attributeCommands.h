#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "tools/kestrelctl/attributeCatalog.h"
#include "tools/kestrelctl/controllerClient.h"

namespace kestrelctl {

struct tAttributeRequest {
  std::string attribute;  // a catalog name or an id
  std::uint32_t index = 0;
  std::string value;      // for set
  bool json = false;
};

// The attribute a request names, with its index applied; prints why not and
// yields nothing when the name or index is not valid.
std::optional<tAttribute> resolveAttribute(const tAttributeRequest& request);

int runGet(const tControllerClient& controller, const tAttributeRequest& request, const tAttribute& attribute);
int runSet(const tControllerClient& controller, const tAttributeRequest& request, const tAttribute& attribute);
// Lists the catalog. Needs no controller.
int runList(bool json);

}  // namespace kestrelctl
