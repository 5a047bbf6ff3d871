// Every status code the library reports, with its name and a one-line
// meaning, for messages and tools. Header only, so tools built on the public
// interface can use it too.
#pragma once

#include <cstdint>
#include <span>

namespace nKESTREL1400 {

struct tStatusCodeInfo {
  std::int32_t code;
  const char* name;
  const char* meaning;
};

inline constexpr tStatusCodeInfo kStatusCodeTable[] = {
    {0, "success", "the operation succeeded"},
    {-26930, "kestrelerr_bufferTooSmall", "the text buffer is too small; the size needed was written back"},
    {-26931, "kestrelerr_invalidHandle", "unknown handle, or the session is not open"},
    {-26932, "kestrelerr_deviceNotAvailable",
     "a needed device interface or companion device is missing, the controller model is refused, or an SMBIOS "
     "read failed"},
    {-26933, "kestrelerr_memoryFull", "memory allocation failed in controller or watchdog code"},
    {-26934, "kestrelerr_attributeNotSupported",
     "attribute id, index or value not supported, or refused by the board's settings"},
    {-26935, "kestrelerr_stringTooLong", "text longer than 255 bytes, or an invalid force argument"},
    {-26936, "kestrelerr_installFailed", "the safe-mode install command failed"},
    {-26937, "kestrelerr_ioError", "temporary file input or output failed, or a watchdog notification was malformed"},
    {-26938, "kestrelerr_invalidImage", "firmware image malformed or failed verification"},
    {-26941, "kestrelerr_unsupportedImageHeader", "firmware image header version not supported"},
    {-50003, "zepalerr_badSelector", "unknown selector or trigger-router topography"},
    {-52000, "brioerr_memoryFull", "memory allocation failed in the lower layers or routing code"},
    {-52002, "brioerr_notSupported", "the device does not support the request (ENOTTY, EOPNOTSUPP)"},
    {-52003, "brioerr_resourceFailure",
     "lock creation or device enumeration failed, more than one matching device interface, or no SMBIOS table"},
    {-52005, "brioerr_invalidParameter", "invalid argument (a null pointer where a value is needed, among others)"},
    {-52006, "brioerr_deviceNotFound", "device or file not found or not open (ENOENT, ESRCH, ENXIO, EBADF, ENODEV)"},
    {-52007, "brioerr_timeout", "timed out (ETIMEDOUT)"},
    {-52008, "brioerr_systemError", "a system call failed"},
    {-52011, "brioerr_inProgress", "operation already in progress (EALREADY, EINPROGRESS)"},
    {-52012, "brioerr_noSpace", "no space left, or value too large (ENOSPC, EOVERFLOW)"},
    {-52013, "brioerr_alreadyExists", "already exists or address in use (EEXIST, EADDRINUSE)"},
    {-52014, "brioerr_ownerDied", "the owner of a lock died (EOWNERDEAD)"},
    {-52015, "brioerr_deadlock", "deadlock or no locks available (EDEADLK, ENOLCK)"},
    {-52019, "brioerr_noBuffers", "no buffer space, or a device path file over 255 bytes (ENOBUFS)"},
    {-52020, "brioerr_identifierRemoved", "identifier removed (EIDRM)"},
    {-52023, "brioerr_connectionAborted", "connection aborted (ECONNABORTED)"},
    {-52024, "brioerr_ioFailure", "input/output failure or malformed message (EIO, EPIPE, EBADMSG)"},
    {-52025, "brioerr_interrupted", "interrupted or connection reset (EINTR, ECONNRESET)"},
    {-52026, "brioerr_permissionDenied", "permission denied (EPERM, EACCES, EROFS)"},
    {-52031, "brioerr_busy", "device or resource busy (EBUSY)"},
    {-89137, "quillerr_reservationConflict", "other sessions hold conflicting route reservations"},
    {240050, "smbioserr_stringNotPresent", "the requested SMBIOS string is absent (warning)"},
    {-240050, "smbioserr_dumpUnavailable", "the SMBIOS dump file cannot be opened"},
    {-240051, "smbioserr_bufferTooSmall", "the buffer for an SMBIOS value is too small"},
    {-240052, "smbioserr_notFound", "no such SMBIOS structure or field, or the field kind does not match"},
    {-240053, "smbioserr_corrupt", "the SMBIOS table or dump file is malformed"},
};

// The entry of a code, or null for a code the library never reports.
constexpr const tStatusCodeInfo* findStatusCode(std::int32_t code) {
  for (const auto& entry : kStatusCodeTable) {
    if (entry.code == code) return &entry;
  }
  return nullptr;
}

constexpr const char* statusCodeName(std::int32_t code) {
  const tStatusCodeInfo* entry = findStatusCode(code);
  return entry != nullptr ? entry->name : "unknown status";
}

}  // namespace nKESTREL1400
