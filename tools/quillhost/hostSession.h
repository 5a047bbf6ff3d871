// A routing session as the framework holds one: created with a demotion
// callback that counts what arrives, destroyed with the object.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "tools/quillhost/tFrameworkStatus.h"
#include "tools/quillhost/tQuillAdaptor.h"

namespace quillhost {

class tHostSession {
 public:
  // Opens a session on `devicePath`; handle() is null when it failed
  // (`status` says why).
  tHostSession(const tQuillFunctions& adaptor, const std::string& devicePath, tFrameworkStatus& status);
  ~tHostSession();
  tHostSession(const tHostSession&) = delete;
  tHostSession& operator=(const tHostSession&) = delete;

  quill_ra_kestrel_session* handle() const noexcept { return session_; }
  // Demotions received so far, and the ticket of the last one is not known:
  // the adaptor relays only the event.
  unsigned demotions() const noexcept { return demotions_.load(); }
  std::int32_t lastEvent() const noexcept { return lastEvent_.load(); }

 private:
  static void onDemotion(void* context, std::int32_t event, tStatusReport* report);

  const tQuillFunctions& adaptor_;
  quill_ra_kestrel_session* session_ = nullptr;
  std::atomic<unsigned> demotions_{0};
  std::atomic<std::int32_t> lastEvent_{0};
};

// The trigger router's device path as the library reports it; "" when the
// library or the path is not there.
std::string triggerRouterPath(void* library);

}  // namespace quillhost
