#include "tools/quillhost/terminalTable.h"

namespace quillhost {
namespace {

std::string textOf(const char* value) { return value == nullptr ? std::string() : std::string(value); }

tTerminalRow readRow(const tQuillFunctions& adaptor, quill_ra_kestrel_iterator* iterator, tFrameworkStatus& status) {
  tTerminalRow row;
  row.name = textOf(adaptor.TerminalIterator_getStringAttribute(iterator, "name", status));
  row.id = adaptor.TerminalIterator_getU32Attribute(iterator, "id", status);
  row.isExternal = adaptor.TerminalIterator_getBoolAttribute(iterator, "isExternal", status);
  row.isOwned = adaptor.TerminalIterator_getBoolAttribute(iterator, "isOwned", status);
  row.visibility = textOf(adaptor.TerminalIterator_getStringAttribute(iterator, "visibility", status));
  if (const char* busType = adaptor.TerminalIterator_getStringAttribute(iterator, "busType", status)) {
    row.busType = busType;
  }
  row.busLine = adaptor.TerminalIterator_getU32Attribute(iterator, "busLine", status);
  row.canonicalName = textOf(adaptor.TerminalIterator_getStringAttribute(iterator, "canonicalName", status));
  return row;
}

}  // namespace

std::vector<tTerminalRow> readTerminals(const tQuillFunctions& adaptor, quill_ra_kestrel_session* session,
                                        tFrameworkStatus& status) {
  std::vector<tTerminalRow> rows;
  quill_ra_kestrel_iterator* iterator = adaptor.getAllTerminals(session, status);
  while (iterator != nullptr && !status.isError() && !adaptor.TerminalIterator_isEnd(iterator)) {
    rows.push_back(readRow(adaptor, iterator, status));
    adaptor.TerminalIterator_next(iterator, status);
  }
  adaptor.TerminalIterator_destroy(iterator);
  if (status.isError()) rows.clear();
  return rows;
}

}  // namespace quillhost
