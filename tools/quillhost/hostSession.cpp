#include "tools/quillhost/hostSession.h"

#include <dlfcn.h>
#include <kestrel/kestrel.h>

#include <vector>

namespace quillhost {

tHostSession::tHostSession(const tQuillFunctions& adaptor, const std::string& devicePath, tFrameworkStatus& status)
    : adaptor_(adaptor) {
  session_ = adaptor_.createSessionWithDemotionFunc(devicePath.c_str(), &answerAllocator, &onDemotion, this, status);
}

tHostSession::~tHostSession() { adaptor_.destroySession(session_); }

void tHostSession::onDemotion(void* context, std::int32_t event, tStatusReport*) {
  auto* session = static_cast<tHostSession*>(context);
  session->lastEvent_.store(event);
  session->demotions_.fetch_add(1);
}

std::string triggerRouterPath(void* library) {
  using tGetText = decltype(&KESTREL_getAttributeUTF8);
  auto getText = reinterpret_cast<tGetText>(dlsym(library, "KESTREL_getAttributeUTF8"));
  if (getText == nullptr) return {};
  std::uint64_t length = 0;
  if (getText(kControllerHandle, kTriggerRouterPathAttribute, nullptr, &length) != kestrelerr_bufferTooSmall) return {};
  std::vector<char> path(length + 1, '\0');
  length = path.size();
  if (getText(kControllerHandle, kTriggerRouterPathAttribute, path.data(), &length) < 0) return {};
  return path.data();
}

}  // namespace quillhost
