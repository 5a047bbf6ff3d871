#include "tools/quillhost/tQuillAdaptor.h"

#include <dlfcn.h>

namespace quillhost {

std::unique_ptr<tQuillAdaptor> tQuillAdaptor::load(const std::string& path, std::string& error) {
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    const char* reason = dlerror();
    error = "cannot load " + path + ": " + (reason != nullptr ? reason : "unknown reason");
    return nullptr;
  }
  std::unique_ptr<tQuillAdaptor> adaptor(new tQuillAdaptor(library));
  if (!adaptor->resolve(error)) return nullptr;
  const int version = adaptor->functions_.getAPIVersion();
  if (version != kQuillApiVersion) {
    error = path + " speaks routing adaptor API version " + std::to_string(version) + ", not " +
            std::to_string(kQuillApiVersion);
    return nullptr;
  }
  return adaptor;
}

tQuillAdaptor::~tQuillAdaptor() { dlclose(library_); }

bool tQuillAdaptor::resolve(std::string& error) {
  bool complete = true;
#define QUILLHOST_RESOLVE(name)                                                                   \
  functions_.name =                                                                               \
      reinterpret_cast<decltype(functions_.name)>(dlsym(library_, "quill_ra_kestrel_" #name));   \
  if (functions_.name == nullptr && complete) {                                                   \
    error = "the adaptor lacks quill_ra_kestrel_" #name;                                          \
    complete = false;                                                                             \
  }
  QUILLHOST_ADAPTOR_FUNCTIONS(QUILLHOST_RESOLVE)
#undef QUILLHOST_RESOLVE
  return complete;
}

}  // namespace quillhost
