#include <kestrel/kestrel.h>
#include <stdio.h>

int main(void) {
  uint32_t value = 0;
  int32_t code = KESTREL_getAttributeU32(0, KESTREL_ATTR_CONTROLLER_MODEL, &value);
  printf("consumer: wrong handle answers %d\n", (int)code);
  return code == kestrelerr_invalidHandle ? 0 : 1;
}
