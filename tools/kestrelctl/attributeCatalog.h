// Every controller attribute by name, for the command line.
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

struct tAttribute {
  const char* name;
  std::uint32_t id;
  tIndexKind index;
  bool writable;
  const char* description;

  tValueType type() const { return (id >> 28) == 1 ? tValueType::text : tValueType::u32; }
};

std::span<const tAttribute> attributeCatalog();

// A name from the catalog, or an id written in decimal or as 0x... hex.
// Ids outside the catalog are passed through as they are.
std::optional<tAttribute> findAttribute(std::string_view nameOrId);

std::string attributeLabel(std::uint32_t id);

}  // namespace kestrelctl
