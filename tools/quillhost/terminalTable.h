// The terminals of a routing session, read through the adaptor's iterator
// as the framework reads them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/quillhost/tFrameworkStatus.h"
#include "tools/quillhost/tQuillAdaptor.h"

namespace quillhost {

struct tTerminalRow {
  std::string name;
  std::uint32_t id = 0;
  bool isExternal = false;
  bool isOwned = false;
  std::string visibility;
  std::optional<std::string> busType;  // none for the controller's own terminals
  std::uint32_t busLine = 0xFFFFFFFFu;
  std::string canonicalName;
};

// Walks every terminal; stops at the first failure, which `status` holds.
std::vector<tTerminalRow> readTerminals(const tQuillFunctions& adaptor, quill_ra_kestrel_session* session,
                                        tFrameworkStatus& status);

// Walks to the terminal named `name` (exactly) and runs `visit` on the
// iterator there; false when there is no such terminal or a read failed.
template <typename Visit>
bool atTerminal(const tQuillFunctions& adaptor, quill_ra_kestrel_session* session, const std::string& name,
                tFrameworkStatus& status, Visit visit) {
  quill_ra_kestrel_iterator* iterator = adaptor.getAllTerminals(session, status);
  bool found = false;
  while (iterator != nullptr && !status.isError() && !adaptor.TerminalIterator_isEnd(iterator)) {
    const char* current = adaptor.TerminalIterator_getStringAttribute(iterator, "name", status);
    if (current != nullptr && name == current) {
      found = true;
      visit(iterator);
      break;
    }
    adaptor.TerminalIterator_next(iterator, status);
  }
  adaptor.TerminalIterator_destroy(iterator);
  return found;
}

}  // namespace quillhost
