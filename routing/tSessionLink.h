// What a terminal iterator reaches of the session that made it: the
// session's trigger-router proxy, for as long as the session lives. For
// everything else an iterator reads the topography's constant table, so an
// iterator used after its session was destroyed (the caller's fault) reads
// constant data, and a reset through it is refused instead of reaching
// freed memory. Session and iterators share the link.
#pragma once

#include <atomic>

#include "codegen/tInterfaceProxy_routing.h"

namespace tarn {

class tSessionLink {
 public:
  explicit tSessionLink(nKESTREL1400::tInterfaceProxy_routing& proxy) noexcept : proxy_(&proxy) {}

  // Null once the session has been torn down.
  nKESTREL1400::tInterfaceProxy_routing* proxy() const noexcept { return proxy_.load(std::memory_order_acquire); }
  // The session goes: no request through the link after this.
  void sever() noexcept { proxy_.store(nullptr, std::memory_order_release); }

 private:
  std::atomic<nKESTREL1400::tInterfaceProxy_routing*> proxy_;
};

}  // namespace tarn
