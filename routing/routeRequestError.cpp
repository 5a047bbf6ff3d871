#include "routing/routeRequestError.h"

#include <string>

#include "json/jsonReader.h"
#include "json/jsonWriter.h"
#include "platform/tStatusReport.h"
#include "platform/zeerrException.h"
#include "routing/strictJsonValue.h"
#include "routing/wellFormedText.h"

namespace tarn {
namespace {

using namespace nKESTREL1400;

constexpr std::int32_t kInvalidParameter = -52005;

// The exception with the code and its place; the caller adds "quill_debug"
// at the returned position (null when the report could not grow).
char* startRefusal(zeerr::Exception& exception, std::uint32_t line) {
  tStatusReport& report = exception.statusReport();
  if (!setCode(report, kInvalidParameter, kSourceLocation{"QuillUtils", line}, "brioerr_invalidParameter")) {
    return nullptr;
  }
  return reserveReportSpace(report, 0);
}

std::string unescaped(tDocumentSpan raw) {
  std::string text(raw.length + 1, '\0');
  if (jsonz_unescape(raw.text, raw.length, text.data()) == nullptr) return std::string(raw.text, raw.length);
  text.resize(std::char_traits<char>::length(text.c_str()));
  return text;
}

// The report is JSON, and JSON is UTF-8: bytes that are not well-formed
// UTF-8 would make it unreadable to a strict reader, so such a document goes
// in as a string with those bytes replaced.
char* addDocument(char* position, tDocumentSpan document, const jsonz_growHandler& grow) {
  if (document.text == nullptr) return jsonz_addRaw(position, "json", "null", grow);
  if (isWellFormedUtf8(document.text, document.length) && isStrictJsonValue(document.text, document.length)) {
    return jsonz_addRaw(position, "json", std::string(document.text, document.length).c_str(), grow);
  }
  return jsonz_addString(position, "json", wellFormedText(document.text, document.length).c_str(), grow);
}

}  // namespace

void refuseRequest(std::uint32_t line, const char* message) {
  zeerr::Exception exception;
  char* position = startRefusal(exception, line);
  if (position != nullptr) jsonz_addString(position, "quill_debug", message, reportGrowHandler(exception.statusReport()));
  throw exception;
}

void refuseRequest(std::uint32_t line, const char* message, tDocumentSpan document) {
  zeerr::Exception exception;
  const jsonz_growHandler grow = reportGrowHandler(exception.statusReport());
  char* position = jsonz_addObject(startRefusal(exception, line), "quill_debug", grow);
  position = jsonz_addString(position, "msg", message, grow);
  addDocument(position, document, grow);
  throw exception;
}

void refuseConstraintType(tDocumentSpan rawName, std::int32_t expectedType, std::int32_t actualType) {
  zeerr::Exception exception;
  const jsonz_growHandler grow = reportGrowHandler(exception.statusReport());
  char* position = jsonz_addObject(startRefusal(exception, kUnexpectedConstraintTypeLine), "quill_debug", grow);
  position = jsonz_addString(position, "msg", "Unexpected constraint type", grow);
  position = jsonz_addString(position, "constraint", unescaped(rawName).c_str(), grow);
  position = jsonz_addInt32(position, "expected_type", expectedType, grow);
  jsonz_addInt32(position, "actual_type", actualType, grow);
  throw exception;
}

}  // namespace tarn
