/*
 * kestrel_status.h - names and one-line meanings of libkestrel's status codes
 *
 * Header only: the look-ups below are static inline functions over a table
 * compiled into the application, so no library function is needed for them.
 * The library builds its own messages from the same table.
 *
 *   printf("%s: %s\n", kestrelStatusName(code), kestrelStatusMeaning(code));
 *
 * Codes the table does not know (a device's own codes) give the name
 * "unknown status" and an empty meaning. Thread safety: the functions only
 * read constant data and may be called from any thread.
 */
#ifndef KESTREL_KESTREL_STATUS_H
#define KESTREL_KESTREL_STATUS_H

#include <stddef.h>
#include <stdint.h>

#include "kestrel.h"

#ifdef __cplusplus
extern "C" {
#endif

/* One row per code: X(code, name, meaning). */
#define KESTREL_STATUS_TABLE(X)                                                                                    \
  X(KESTREL_STATUS_SUCCESS, "success", "the operation succeeded")                                               \
  X(kestrelerr_bufferTooSmall, "kestrelerr_bufferTooSmall",                                                     \
    "the text buffer is too small; the size needed was written back")                                           \
  X(kestrelerr_invalidHandle, "kestrelerr_invalidHandle", "unknown handle, or the session is not open")         \
  X(kestrelerr_deviceNotAvailable, "kestrelerr_deviceNotAvailable",                                             \
    "a needed device interface or companion device is missing, the controller model is refused, or an SMBIOS "  \
    "read failed")                                                                                               \
  X(kestrelerr_memoryFull, "kestrelerr_memoryFull", "memory allocation failed in controller or watchdog code")  \
  X(kestrelerr_attributeNotSupported, "kestrelerr_attributeNotSupported",                                       \
    "attribute id, index or value not supported, or refused by the board's settings")                           \
  X(kestrelerr_stringTooLong, "kestrelerr_stringTooLong", "text longer than 255 bytes, or an invalid force argument") \
  X(kestrelerr_installFailed, "kestrelerr_installFailed", "the safe-mode install command failed")               \
  X(kestrelerr_ioError, "kestrelerr_ioError",                                                                   \
    "temporary file input or output failed, or a watchdog notification was malformed")                          \
  X(kestrelerr_invalidImage, "kestrelerr_invalidImage", "firmware image malformed or failed verification")      \
  X(kestrelerr_unsupportedImageHeader, "kestrelerr_unsupportedImageHeader",                                     \
    "firmware image header version not supported")                                                              \
  X(zepalerr_badSelector, "zepalerr_badSelector", "unknown selector or trigger-router topography")              \
  X(brioerr_memoryFull, "brioerr_memoryFull", "memory allocation failed in the lower layers or routing code")   \
  X(brioerr_notSupported, "brioerr_notSupported", "the device does not support the request (ENOTTY, EOPNOTSUPP)") \
  X(brioerr_resourceFailure, "brioerr_resourceFailure",                                                         \
    "lock creation or device enumeration failed, more than one matching device interface, or no SMBIOS table")  \
  X(brioerr_invalidParameter, "brioerr_invalidParameter",                                                       \
    "invalid argument (a null pointer where a value is needed, among others)")                                  \
  X(brioerr_deviceNotFound, "brioerr_deviceNotFound",                                                           \
    "device or file not found or not open (ENOENT, ESRCH, ENXIO, EBADF, ENODEV)")                               \
  X(brioerr_timeout, "brioerr_timeout", "timed out (ETIMEDOUT)")                                                \
  X(brioerr_systemError, "brioerr_systemError", "a system call failed")                                         \
  X(brioerr_inProgress, "brioerr_inProgress", "operation already in progress (EALREADY, EINPROGRESS)")          \
  X(brioerr_noSpace, "brioerr_noSpace", "no space left, or value too large (ENOSPC, EOVERFLOW)")                \
  X(brioerr_alreadyExists, "brioerr_alreadyExists", "already exists or address in use (EEXIST, EADDRINUSE)")    \
  X(brioerr_ownerDied, "brioerr_ownerDied", "the owner of a lock died (EOWNERDEAD)")                            \
  X(brioerr_deadlock, "brioerr_deadlock", "deadlock or no locks available (EDEADLK, ENOLCK)")                   \
  X(brioerr_noBuffers, "brioerr_noBuffers", "no buffer space, or a device path file over 255 bytes (ENOBUFS)")  \
  X(brioerr_identifierRemoved, "brioerr_identifierRemoved", "identifier removed (EIDRM)")                       \
  X(brioerr_connectionAborted, "brioerr_connectionAborted", "connection aborted (ECONNABORTED)")                \
  X(brioerr_ioFailure, "brioerr_ioFailure", "input/output failure or malformed message (EIO, EPIPE, EBADMSG)")  \
  X(brioerr_interrupted, "brioerr_interrupted", "interrupted or connection reset (EINTR, ECONNRESET)")          \
  X(brioerr_permissionDenied, "brioerr_permissionDenied", "permission denied (EPERM, EACCES, EROFS)")           \
  X(brioerr_busy, "brioerr_busy", "device or resource busy (EBUSY)")                                            \
  X(quillerr_reservationConflict, "quillerr_reservationConflict",                                               \
    "other sessions hold conflicting route reservations")                                                       \
  X(smbioserr_stringNotPresent, "smbioserr_stringNotPresent", "the requested SMBIOS string is absent (warning)") \
  X(smbioserr_dumpUnavailable, "smbioserr_dumpUnavailable", "the SMBIOS dump file cannot be opened")            \
  X(smbioserr_bufferTooSmall, "smbioserr_bufferTooSmall", "the buffer for an SMBIOS value is too small")        \
  X(smbioserr_notFound, "smbioserr_notFound",                                                                   \
    "no such SMBIOS structure or field, or the field kind does not match")                                      \
  X(smbioserr_corrupt, "smbioserr_corrupt", "the SMBIOS table or dump file is malformed")

typedef struct tKestrelStatusInfo {
  int32_t code;
  const char* name;
  const char* meaning;
} tKestrelStatusInfo;

#define KESTREL_STATUS_INFO_ROW(code, name, meaning) {(int32_t)(code), name, meaning},

/* The row of a code, or null for a code the library never reports. */
static inline const tKestrelStatusInfo* kestrelStatusInfo(int32_t code) {
  static const tKestrelStatusInfo table[] = {KESTREL_STATUS_TABLE(KESTREL_STATUS_INFO_ROW)};
  size_t i;
  for (i = 0; i < sizeof table / sizeof table[0]; ++i) {
    if (table[i].code == code) return &table[i];
  }
  return NULL;
}

/* "kestrelerr_invalidHandle", ...; "unknown status" for other codes. */
static inline const char* kestrelStatusName(int32_t code) {
  const tKestrelStatusInfo* info = kestrelStatusInfo(code);
  return info != NULL ? info->name : "unknown status";
}

/* One line on what the code means; "" for codes the table does not know. */
static inline const char* kestrelStatusMeaning(int32_t code) {
  const tKestrelStatusInfo* info = kestrelStatusInfo(code);
  return info != NULL ? info->meaning : "";
}

#ifdef __cplusplus
}
#endif

#endif /* KESTREL_KESTREL_STATUS_H */
