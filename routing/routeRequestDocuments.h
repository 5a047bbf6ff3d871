// The three request documents of a route calculation, read into the
// records the driver receives. A document that is not one valid JSON value
// of its kind (an array of seeds, an array of destinations, a modifiers
// object) contributes nothing; a valid one is walked member by member and
// refused (routeRequestError.h) where its content is wrong.
#pragma once

#include <cstdint>

#include "json/jsonReader.h"
#include "platform/driverWireFormat.h"
#include "routing/tInlineArray.h"
#include "routing/tTerminalNames.h"

namespace tarn {

inline constexpr std::uint32_t kRouteOptionIgnoreReservations = 1u << 0;

struct tRouteModifiers {
  std::uint32_t options = 0;
  bool unsatisfiable = false;
};

struct tRouteRequest {
  tInlineArray<nKESTREL1400::nDriverWire::tRouteSeed, 16> seeds;
  tInlineArray<std::uint32_t, 16> destinations;
  tRouteModifiers modifiers;
};

void readSeeds(const char* seeds, const tTerminalNames& names, tRouteRequest& request);
void readDestinations(const char* destinations, const tTerminalNames& names, tRouteRequest& request);
void readModifiers(const char* modifiers, tRouteModifiers& result);

// Whether a member key (raw, as the reader found it) is `name`: unescaped
// only when it holds an escape.
bool keyIs(const jsonz_value& key, const char* name) noexcept;

// The start of `document` when it is one valid JSON value of `type`
// (anything may follow it), else null.
const char* documentOfType(const char* document, std::int32_t type) noexcept;

}  // namespace tarn
