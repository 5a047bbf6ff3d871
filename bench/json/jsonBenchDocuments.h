// Documents the JSON benchmarks validate.
#pragma once

#include <string>

namespace jsonBench {

// A seeds request of a few hundred bytes, as the routing framework sends it.
const std::string& routeRequest();

// About 1 MB: an array of seed objects with varied names, numbers and escapes.
const std::string& largeDocument();

}  // namespace jsonBench
