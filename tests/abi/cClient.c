/* A plain C client: both public headers compile as C99 and the library
 * answers through its C interface without any session open. */
#include <kestrel/kestrel.h>
#include <kestrel/kestrel_status.h>
#include <kestrel/quill_ra_kestrel.h>
#include <stdio.h>
#include <string.h>

static int failures = 0;

static void expect(int condition, const char* what) {
  if (!condition) {
    fprintf(stderr, "failed: %s\n", what);
    ++failures;
  }
}

int main(void) {
  uint32_t value = 7;
  tStatusReport report = {0, 0, NULL, NULL};
  expect(sizeof report == 24, "tStatusReport is 24 bytes");
  expect(KESTREL_getAttributeU32(0, KESTREL_ATTR_CONTROLLER_MODEL, &value) == kestrelerr_invalidHandle,
         "a wrong handle is refused");
  expect(value == 7, "a refused call leaves the value alone");
  expect(KESTREL_performSelfTest(kControllerHandle) == kestrelerr_invalidHandle, "no session is open");
  expect(strcmp(kestrelStatusName(kestrelerr_invalidHandle), "kestrelerr_invalidHandle") == 0,
         "status names come with the public headers");
  expect(strcmp(kestrelStatusName(smbioserr_stringNotPresent), "smbioserr_stringNotPresent") == 0,
         "warnings have names too");
  expect(strcmp(kestrelStatusName(-12345), "unknown status") == 0 && kestrelStatusMeaning(-12345)[0] == 0,
         "a device's own code has no name");
  expect(strlen(kestrelStatusMeaning(brioerr_busy)) > 10, "every code has a meaning");
  expect(KESTREL_VERSION_MAJOR == KESTREL_PROJECT_VERSION_MAJOR && KESTREL_VERSION_MINOR == KESTREL_PROJECT_VERSION_MINOR &&
             KESTREL_VERSION_PATCH == KESTREL_PROJECT_VERSION_PATCH,
         "the version macros are the project's version");
  KESTREL_closeController(kControllerHandle);
  KESTREL_closeWatchdog(kWatchdogHandle);
  if (failures == 0) puts("C client: ok");
  return failures == 0 ? 0 : 1;
}
