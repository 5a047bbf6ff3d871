#include "sim/smbios/tSmBiosBoard.h"

#include <cctype>
#include <fstream>
#include <stdexcept>
#include <string_view>

#include "sim/smbios/smBiosFieldTable.h"

namespace nKESTRELSIM::nSMBIOS {
namespace {

using nlohmann::json;

[[noreturn]] void fail(const std::string& where, const std::string& what) {
  throw std::invalid_argument("SMBIOS board description: " + where + ": " + what);
}

std::uint64_t number(const json& value, const std::string& where, std::uint64_t maximum) {
  if (!value.is_number_unsigned() && !(value.is_number_integer() && value.get<std::int64_t>() >= 0)) {
    fail(where, "expected a non-negative integer");
  }
  const auto result = value.get<std::uint64_t>();
  if (result > maximum) fail(where, "value " + std::to_string(result) + " above " + std::to_string(maximum));
  return result;
}

std::string text(const json& value, const std::string& where) {
  if (!value.is_string()) fail(where, "expected a text");
  return value.get<std::string>();
}

std::size_t offsetKey(const std::string& key, const std::string& where) {
  std::size_t used = 0;
  unsigned long offset = 0;
  try {
    offset = std::stoul(key, &used, 0);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used != key.size() || offset < tSmBiosStructure::kHeaderLength || offset >= tSmBiosStructure::kMaxLength) {
    fail(where + "." + key, "expected an offset from 4 to 254, such as \"0x0C\"");
  }
  return offset;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}

// "01 2a FF" or "012aff".
std::vector<std::uint8_t> hexBytes(const std::string& digits, const std::string& where) {
  std::vector<std::uint8_t> bytes;
  int high = -1;
  for (char c : digits) {
    if (c == ' ') continue;
    const int digit = hexDigit(c);
    if (digit < 0) fail(where, "expected hexadecimal bytes");
    if (high < 0) {
      high = digit;
    } else {
      bytes.push_back(static_cast<std::uint8_t>(high * 16 + digit));
      high = -1;
    }
  }
  if (high >= 0) fail(where, "odd number of hexadecimal digits");
  return bytes;
}

std::string hexText(const std::vector<std::uint8_t>& bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string result;
  for (std::uint8_t byte : bytes) {
    if (!result.empty()) result += ' ';
    result += kDigits[byte >> 4];
    result += kDigits[byte & 0xF];
  }
  return result;
}

void applyNamedField(tSmBiosStructure& structure, const std::string& name, const json& value,
                     const std::string& where) {
  const tSmBiosField* field = findSmBiosField(structure.type(), name);
  if (field == nullptr) fail(where, "type " + std::to_string(structure.type()) + " has no such field");
  switch (field->kind) {
    case tFieldKind::kString:
      structure.setString(field->offset, text(value, where));
      break;
    case tFieldKind::kBytes: {
      const std::vector<std::uint8_t> bytes = hexBytes(text(value, where), where);
      if (bytes.size() != field->width) fail(where, "expected " + std::to_string(field->width) + " bytes");
      structure.setBytes(field->offset, bytes);
      break;
    }
    default:
      setField(structure, *field, number(value, where, UINT64_MAX));
  }
}

// "byte", "word", "dword", "qword", "string" and "stringHex": fields by offset.
void applyOffsetFields(tSmBiosStructure& structure, const std::string& kind, const json& fields,
                       const std::string& where) {
  if (!fields.is_object()) fail(where, "expected an object of offsets");
  for (const auto& [key, value] : fields.items()) {
    const std::size_t offset = offsetKey(key, where);
    const std::string at = where + "." + key;
    if (kind == "string") {
      structure.setString(offset, text(value, at));
    } else if (kind == "stringHex") {
      // Bytes that JSON text cannot carry, such as Latin-1 from old firmware.
      const std::vector<std::uint8_t> bytes = hexBytes(text(value, at), at);
      structure.setString(offset, std::string(bytes.begin(), bytes.end()));
    } else if (kind == "byte") {
      structure.setByte(offset, static_cast<std::uint8_t>(number(value, at, UINT8_MAX)));
    } else if (kind == "word") {
      structure.setWord(offset, static_cast<std::uint16_t>(number(value, at, UINT16_MAX)));
    } else if (kind == "dword") {
      structure.setDword(offset, static_cast<std::uint32_t>(number(value, at, UINT32_MAX)));
    } else {
      structure.setQword(offset, number(value, at, UINT64_MAX));
    }
  }
}

tSmBiosStructure readStructure(const json& entry, const std::string& where) {
  if (!entry.is_object() || !entry.contains("type")) fail(where, "expected an object with a \"type\"");
  tSmBiosStructure structure(static_cast<std::uint8_t>(number(entry["type"], where + ".type", UINT8_MAX)));
  const std::size_t formattedLength =
      entry.contains("formatted") ? tSmBiosStructure::kHeaderLength
                                  : defaultSmBiosLength(structure.type());
  const std::size_t length =
      entry.contains("length") ? number(entry["length"], where + ".length", tSmBiosStructure::kMaxLength)
                               : formattedLength;
  if (length < tSmBiosStructure::kHeaderLength) fail(where + ".length", "below the 4-byte header");
  structure.setLength(length);
  if (entry.contains("formatted")) {
    structure.setBytes(tSmBiosStructure::kHeaderLength,
                       hexBytes(text(entry["formatted"], where + ".formatted"), where + ".formatted"));
  }
  if (entry.contains("stringSet")) {
    const json& strings = entry["stringSet"];
    if (!strings.is_array()) fail(where + ".stringSet", "expected an array of texts");
    for (std::size_t i = 0; i < strings.size(); ++i) {
      structure.addString(text(strings[i], where + ".stringSet[" + std::to_string(i) + "]"));
    }
  }
  for (const auto& [key, value] : entry.items()) {
    const std::string at = where + "." + key;
    if (key == "fields") {
      if (!value.is_object()) fail(at, "expected an object of named fields");
      for (const auto& [name, fieldValue] : value.items()) applyNamedField(structure, name, fieldValue, at + "." + name);
    } else if (key == "byte" || key == "word" || key == "dword" || key == "qword" || key == "string" ||
               key == "stringHex") {
      applyOffsetFields(structure, key, value, at);
    } else if (key != "type" && key != "handle" && key != "length" && key != "formatted" && key != "stringSet" &&
               key != "comment") {
      fail(at, "unknown member");
    }
  }
  return structure;
}

void readTable(tSmBiosBoard& board, const json& smbios) {
  if (!smbios.is_object()) fail("smbios", "expected an object");
  if (smbios.contains("identification")) board.identification = text(smbios["identification"], "smbios.identification");
  if (smbios.contains("endOfTable")) {
    if (!smbios["endOfTable"].is_boolean()) fail("smbios.endOfTable", "expected true or false");
    board.table.setEndOfTable(smbios["endOfTable"].get<bool>());
  }
  if (!smbios.contains("structures") || !smbios["structures"].is_array()) {
    fail("smbios.structures", "expected an array of structures");
  }
  const json& structures = smbios["structures"];
  for (std::size_t i = 0; i < structures.size(); ++i) {
    const std::string where = "smbios.structures[" + std::to_string(i) + "]";
    std::optional<std::uint16_t> handle;
    if (structures[i].is_object() && structures[i].contains("handle")) {
      handle = static_cast<std::uint16_t>(number(structures[i]["handle"], where + ".handle", UINT16_MAX));
    }
    board.table.add(readStructure(structures[i], where), handle);
  }
}

}  // namespace

tSmBiosBoard tSmBiosBoard::fromJson(const json& document) {
  if (!document.is_object()) fail("(top level)", "expected an object");
  tSmBiosBoard board;
  for (const auto& [key, value] : document.items()) {
    if (key == "name") {
      board.name = text(value, key);
    } else if (key == "description") {
      board.description = text(value, key);
    } else if (key == "smbios") {
      readTable(board, value);
    } else {
      board.extra[key] = value;
    }
  }
  if (!document.contains("smbios")) fail("smbios", "missing");
  return board;
}

tSmBiosBoard tSmBiosBoard::fromFile(const std::filesystem::path& path) {
  std::ifstream file(path);
  if (!file) throw std::invalid_argument("cannot open SMBIOS board description " + path.string());
  json document;
  try {
    document = json::parse(file);
  } catch (const json::parse_error& error) {
    throw std::invalid_argument(path.string() + ": " + error.what());
  }
  return fromJson(document);
}

json tSmBiosBoard::toJson() const {
  json structures = json::array();
  for (std::size_t i = 0; i < table.size(); ++i) {
    const tSmBiosStructure& structure = table.at(i);
    structures.push_back({{"type", structure.type()},
                          {"handle", table.handleAt(i)},
                          {"length", structure.length()},
                          {"formatted", hexText(structure.body())},
                          {"stringSet", structure.strings()}});
  }
  json document = extra;
  document["name"] = name;
  document["description"] = description;
  document["smbios"] = {{"identification", identification},
                        {"endOfTable", table.endOfTable()},
                        {"structures", std::move(structures)}};
  return document;
}

}  // namespace nKESTRELSIM::nSMBIOS
