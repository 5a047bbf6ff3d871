#include "platform/zesdbgAssert.h"

#include <atomic>

#include "platform/kSourceLocation.h"

namespace nKESTREL1400::nBRIO000 {
namespace {

void returnAfterReport(zesdbg_VarLine&, const char*) {}

std::atomic<tAssertionHandler> gHandler{&returnAfterReport};

}  // namespace

tAssertionHandler setAssertionHandler(tAssertionHandler handler) noexcept {
  return gHandler.exchange(handler != nullptr ? handler : &returnAfterReport);
}

void reportAssertion(const char* file, std::int32_t line, const char* condition) {
  zesdbg_printf("[%s|%s|%d] !!ASSERT!!\n", kComponent, file, line);
  zesdbg_VarLine site(file, line, "\n");
  site.printf("%s", condition);
  site.printf(" ");
  gHandler.load()(site, condition);
}

}  // namespace nKESTREL1400::nBRIO000
