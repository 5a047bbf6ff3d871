// A routing adaptor loaded the way the routing framework loads one: the
// library opened with dlopen, every quill_ra_kestrel_* function resolved
// by name, the API version checked.
#pragma once

#include <kestrel/quill_ra_kestrel.h>

#include <memory>
#include <string>

namespace quillhost {

// The adaptor's functions, named without their prefix.
#define QUILLHOST_ADAPTOR_FUNCTIONS(X)                                                                       \
  X(getAPIVersion)                                                                                           \
  X(createSession) X(createSessionWithDemotionFunc) X(destroySession) X(getHandledConstraints)               \
  X(calculateRoute) X(reserveRoute) X(programRoute) X(unprogramRoute) X(unreserveRoute)                      \
  X(beginExceptionalRouteDestruction) X(destroyRoute) X(getRouteTerminalPath) X(getAllTerminals)             \
  X(TerminalIterator_calculateResetTerminal) X(TerminalIterator_resetTerminal)                               \
  X(TerminalIterator_getU32Attribute) X(TerminalIterator_getBoolAttribute)                                   \
  X(TerminalIterator_getStringAttribute) X(TerminalIterator_next) X(TerminalIterator_isEnd)                  \
  X(TerminalIterator_destroy)

struct tQuillFunctions {
#define QUILLHOST_DECLARE(name) decltype(&quill_ra_kestrel_##name) name = nullptr;
  QUILLHOST_ADAPTOR_FUNCTIONS(QUILLHOST_DECLARE)
#undef QUILLHOST_DECLARE
};

inline constexpr int kQuillApiVersion = 3;

class tQuillAdaptor {
 public:
  // Loads the library and resolves its functions; null with the reason in
  // `error` when the library, a function or the API version is missing.
  static std::unique_ptr<tQuillAdaptor> load(const std::string& path, std::string& error);
  // Unloads the library; sessions must be destroyed first.
  ~tQuillAdaptor();
  tQuillAdaptor(const tQuillAdaptor&) = delete;
  tQuillAdaptor& operator=(const tQuillAdaptor&) = delete;

  const tQuillFunctions& functions() const noexcept { return functions_; }
  const tQuillFunctions* operator->() const noexcept { return &functions_; }
  // The dlopen handle, for looking up further names.
  void* library() const noexcept { return library_; }

  static constexpr int kFunctionCount = 22;

 private:
  explicit tQuillAdaptor(void* library) noexcept : library_(library) {}
  bool resolve(std::string& error);

  void* library_;
  tQuillFunctions functions_;
};

}  // namespace quillhost
