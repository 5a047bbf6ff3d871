#include "source/user/smBiosPermission.h"

#include "platform/cZeSmBiosLinuxProvider.h"

namespace nKESTREL1400 {

tPermission readSmBiosPermission(std::uint32_t flagSelector) noexcept {
  std::uint8_t flag = 0;
  std::uint8_t level = 0;
  if (nZESMBIOS_1_1::smBiosReadByte(flagSelector, 0, &flag) != 0 ||
      nZESMBIOS_1_1::smBiosReadByte(flagSelector + 1, 0, &level) != 0) {
    return tPermission::unreadable;
  }
  return flag != 0 && level <= 1 ? tPermission::given : tPermission::refused;
}

}  // namespace nKESTREL1400
