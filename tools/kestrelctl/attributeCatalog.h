// Every attribute kestrelctl knows by name: the controller's and the
// watchdog's, with what each value is and whether it can be read or written.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kestrelctl {

enum class tValueType { u32, text };

// How the low eight bits of an attribute id are used.
enum class tIndexKind { none, instance, populated, entry };

// Which session answers the attribute.
enum class tTarget { controller, watchdog };

// Names for the values of an enumerated attribute.
enum class tEnumeration { none, memoryType, expansionInterface, busType, watchdogState, expiryAction };

struct tAttribute {
  const char* name;
  std::uint32_t id;
  tIndexKind index;
  bool readable;
  bool writable;
  const char* description;
  tTarget target = tTarget::controller;
  tEnumeration enumeration = tEnumeration::none;
  std::uint32_t minimum = 0;  // the smallest value a write may give

  tValueType type() const { return (id >> 28) == 1 ? tValueType::text : tValueType::u32; }
};

std::span<const tAttribute> attributeCatalog();

// A name of the catalog (or a name it had before), or a number: an id in
// decimal or 0x... hex. An id outside the catalog is passed through as it
// is (readable and writable).
std::optional<tAttribute> findAttribute(std::string_view nameOrId, tTarget target = tTarget::controller);

// The name of a value of an enumerated attribute, or "" when it has none.
std::string valueName(tEnumeration enumeration, std::uint32_t value);
// The value a name stands for (any case), or nothing.
std::optional<std::uint32_t> valueNamed(tEnumeration enumeration, std::string_view name);
// "notify (0), reset (1) or trigger (2)".
std::string valueNames(tEnumeration enumeration);

const char* indexLabel(tIndexKind kind);

}  // namespace kestrelctl
