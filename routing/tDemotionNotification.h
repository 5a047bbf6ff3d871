// The registration through which the driver reports route demotions of one
// session, with the framework's callback that receives them.
#pragma once

#include "kestrel/quill_ra_kestrel.h"
#include "platform/tIONotification.h"

namespace tarn {

class tSessionReader;

class tDemotionNotification : public nKESTREL1400::nBRIO000::tIONotification {
 public:
  tDemotionNotification(tQuillDemotionFunction function, void* context) noexcept
      : demotionFunction(function), demotionContext(context) {}

  // Written before the registration and never changed afterwards, so the
  // reader thread reads them without a lock.
  const tQuillDemotionFunction demotionFunction;
  void* const demotionContext;
  // The reader this notification is registered with, set before enable.
  tSessionReader* sessionReader = nullptr;
};

}  // namespace tarn
