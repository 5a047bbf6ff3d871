/*
 * kestrel.h - controller and watchdog interface of libkestrel.so.1
 *
 * Every function returns a signed 32-bit status code: 0 success, negative an
 * error, positive a warning (callers test for negative values). The codes are
 * the values of enum tKestrelStatus below (KESTREL_STATUS_SUCCESS and the
 * kestrelerr_*, brioerr_*, zepalerr_*, quillerr_* and smbioserr_* names);
 * kestrel_status.h gives each code's name and meaning as text.
 *
 * Thread safety: every function may be called from any thread at any time.
 * Opening and closing are serialised inside the library. Operations run
 * concurrently with each other; a close that drops the last reference while
 * another thread is still inside an operation is safe: the last close waits
 * until the operations in flight have returned (a watchdog wait in progress
 * is ended first and returns 3) and later calls fail with
 * kestrelerr_invalidHandle. Once the last close has returned, the driver
 * receives no request of the closed session, and a session opened afterwards
 * none of the old one.
 *
 * Fork: a child process has no session of its parent. Calls with a handle the
 * parent opened answer kestrelerr_invalidHandle in the child, a close there
 * does nothing to the parent's session, and the child may open its own. A
 * fork waits for an open or close in progress on another thread.
 *
 * Signals: the functions are not async-signal-safe. An open or close called
 * from a signal handler that interrupted an open or close on the same thread
 * is refused with brioerr_inProgress (a close does nothing).
 *
 * Null pointers: a null pointer where the function needs a valid one (an out
 * value, the length pointer of KESTREL_getAttributeUTF8, the text of
 * KESTREL_setAttributeUTF8, the firmware image, the handle out of the opens) is
 * answered with brioerr_invalidParameter (-52005) after the handle check and
 * before anything else happens. The null buffer of KESTREL_getAttributeUTF8 is
 * not an error: it asks for the size a text needs (see there).
 */
#ifndef KESTREL_KESTREL_H
#define KESTREL_KESTREL_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define KESTREL_API __attribute__((visibility("default")))
#else
#define KESTREL_API
#endif

/* The version of this interface: 1.4.0. */
#define KESTREL_VERSION_MAJOR 1
#define KESTREL_VERSION_MINOR 4
#define KESTREL_VERSION_PATCH 0
#define KESTREL_VERSION ((KESTREL_VERSION_MAJOR << 16) | (KESTREL_VERSION_MINOR << 8) | KESTREL_VERSION_PATCH)

/* Handles are fixed pointer-sized values: one names the controller, the other
 * the watchdog timer. Every open writes the same constant. */
typedef uintptr_t tKestrelHandle;
#define kControllerHandle ((tKestrelHandle)0x434E5444u)
#define kWatchdogHandle ((tKestrelHandle)0x574454u)

/* Status codes. */
enum tKestrelStatus {
  KESTREL_STATUS_SUCCESS = 0,
  kestrelerr_bufferTooSmall = -26930,        /* text buffer too small; the size needed is written back */
  kestrelerr_invalidHandle = -26931,         /* unknown handle, or the session is not open */
  kestrelerr_deviceNotAvailable = -26932,    /* device interface missing, board refused, SMBIOS read failed */
  kestrelerr_memoryFull = -26933,            /* out of memory in controller or watchdog code */
  kestrelerr_attributeNotSupported = -26934, /* attribute id, index or value not supported */
  kestrelerr_stringTooLong = -26935,         /* text longer than 255 bytes; invalid force argument */
  kestrelerr_installFailed = -26936,         /* the safe-mode install command failed */
  kestrelerr_ioError = -26937,               /* temporary file i/o failed; malformed watchdog notification */
  kestrelerr_invalidImage = -26938,          /* firmware image malformed or failed verification */
  kestrelerr_unsupportedImageHeader = -26941,/* firmware image header version not supported */
  zepalerr_badSelector = -50003,             /* routing: unknown selector or topography */
  brioerr_memoryFull = -52000,               /* out of memory in the lower layers or routing code */
  brioerr_notSupported = -52002,             /* request not supported by the device (ENOTTY, EOPNOTSUPP) */
  brioerr_resourceFailure = -52003,          /* lock creation, enumeration, duplicate interface, no SMBIOS */
  brioerr_invalidParameter = -52005,         /* invalid argument, including null pointers passed here */
  brioerr_deviceNotFound = -52006,           /* ENOENT, ESRCH, ENXIO, EBADF, ENODEV */
  brioerr_timeout = -52007,                  /* ETIMEDOUT */
  brioerr_systemError = -52008,              /* any other failing system call */
  brioerr_inProgress = -52011,               /* EALREADY, EINPROGRESS */
  brioerr_noSpace = -52012,                  /* ENOSPC, EOVERFLOW */
  brioerr_alreadyExists = -52013,            /* EEXIST, EADDRINUSE */
  brioerr_ownerDied = -52014,                /* EOWNERDEAD */
  brioerr_deadlock = -52015,                 /* EDEADLK, ENOLCK */
  brioerr_noBuffers = -52019,                /* ENOBUFS */
  brioerr_identifierRemoved = -52020,        /* EIDRM */
  brioerr_connectionAborted = -52023,        /* ECONNABORTED */
  brioerr_ioFailure = -52024,                /* EIO, EPIPE, EBADMSG */
  brioerr_interrupted = -52025,              /* EINTR, ECONNRESET */
  brioerr_permissionDenied = -52026,         /* EPERM, EACCES, EROFS */
  brioerr_busy = -52031,                     /* EBUSY */
  quillerr_reservationConflict = -89137,     /* other sessions hold conflicting route reservations */
  smbioserr_stringNotPresent = 240050,       /* SMBIOS string absent (warning) */
  smbioserr_dumpUnavailable = -240050,       /* SMBIOS dump file cannot be opened */
  smbioserr_bufferTooSmall = -240051,        /* SMBIOS caller buffer too small */
  smbioserr_notFound = -240052,              /* SMBIOS structure or field absent, or wrong field kind */
  smbioserr_corrupt = -240053                /* SMBIOS table or dump file malformed */
};

/*
 * Attribute identifiers. Bits 31-28 give the value type (1 text, 2 U32),
 * bits 23-20 the source (0 library's choice, 1 SMBIOS only, 2 companion
 * device), bits 19-8 the attribute number and bits 7-0 the index: an SMBIOS
 * instance, a populated memory module or an entry number. Add the index to
 * the base id below; KESTREL_ATTR_SOURCE_* select the source.
 */
#define KESTREL_ATTR_SOURCE_SMBIOS 0x00100000u
#define KESTREL_ATTR_SOURCE_COMPANION 0x00200000u

/* U32 attributes (KESTREL_getAttributeU32). */
#define KESTREL_ATTR_CONTROLLER_MODEL 0x20000500u       /* model number 1..5, or 0xFFFFFFFF */
#define KESTREL_ATTR_BOARD_ID 0x20000600u               /* type 150 word at 06h */
#define KESTREL_ATTR_BOARD_REVISION 0x20006600u         /* type 150 byte at 0Bh */
#define KESTREL_ATTR_MEMORY_TYPE 0x2000C800u            /* populated module: SMBIOS memory type */
#define KESTREL_ATTR_MEMORY_SPEED 0x2000C900u           /* populated module: speed (MT/s) */
#define KESTREL_ATTR_MEMORY_CONFIGURED_SPEED 0x2000CA00u /* populated module: configured speed */
#define KESTREL_ATTR_MEMORY_MODULE_COUNT 0x2000CB00u    /* number of populated memory modules */
#define KESTREL_ATTR_MEMORY_SIZE 0x2000D000u            /* populated module: size word */
#define KESTREL_ATTR_PROCESSOR_STEPPING 0x20012E00u     /* low 4 bits of the processor ID */
#define KESTREL_ATTR_PROCESSOR_MAX_SPEED 0x20012F00u    /* MHz */
#define KESTREL_ATTR_PROCESSOR_THREAD_COUNT 0x20013000u
#define KESTREL_ATTR_DEVICE_VALUE_1 0x20013100u         /* controller device value */
#define KESTREL_ATTR_BUS_WIDTH 0x20019600u              /* type 180 byte at 07h: 16, 21, 32 or 48 */
#define KESTREL_ATTR_BUS_INFO 0x20019800u               /* type 180 byte at 06h */
#define KESTREL_ATTR_FEATURE_ENABLED 0x2001F400u        /* 1 when the type 158 flags enable it */
#define KESTREL_ATTR_SLOT_COUNT 0x20025800u             /* type 152 entry count */
#define KESTREL_ATTR_SLOT_ENTRY 0x20025A00u             /* type 152 entry 0..3 */
#define KESTREL_ATTR_EXPANSION_INTERFACE 0x2002BC00u    /* 1 ExpressCard, 2 GPIB, 3 Thunderbolt */
#define KESTREL_ATTR_BUS_TYPE 0x20032000u               /* 1 PCI */
#define KESTREL_ATTR_CHASSIS_BYTE_0 0x2003E800u         /* type 159 byte at 04h */
#define KESTREL_ATTR_CHASSIS_BYTE_1 0x2003E900u         /* type 159 byte at 05h */
#define KESTREL_ATTR_DEVICE_VALUE_2 0x20044C00u         /* controller device value */
#define KESTREL_ATTR_TEXT_WRITE_SUPPORT 0x2004B000u     /* type 157 byte at 04h */
#define KESTREL_ATTR_DEVICE_VALUE_3 0x20051400u         /* controller device value */
#define KESTREL_ATTR_INTERFACES_PRESENT 0x2005DC00u     /* KESTREL_INTERFACE_* of the open interfaces */
#define KESTREL_ATTR_TRIGGER_ENTRY_COUNT 0x2006A400u    /* type 163 entry count */
#define KESTREL_ATTR_INFO_VERSION 0x28000200u           /* type 150 byte at 04h */

/* Bits of KESTREL_ATTR_INTERFACES_PRESENT. */
#define KESTREL_INTERFACE_CONTROLLER 0x00100000u /* the controller's interface */
#define KESTREL_INTERFACE_COMPANION 0x00200000u  /* the companion chip's interface */

/* Text attributes (KESTREL_getAttributeUTF8, KESTREL_setAttributeUTF8). */
#define KESTREL_ATTR_SYSTEM_MANUFACTURER 0x10000000u
#define KESTREL_ATTR_PRODUCT_NAME 0x10000100u
#define KESTREL_ATTR_SERIAL_NUMBER 0x10000200u
#define KESTREL_ATTR_SYSTEM_VERSION 0x10000300u
/*
 * KESTREL_ATTR_BIOS_VERSION without a source is the companion chip's record
 * of the BIOS version where the board has the chip (0.0.0f0 once a firmware
 * update ran), else the BIOS version in SMBIOS. +KESTREL_ATTR_SOURCE_SMBIOS
 * gives the SMBIOS version alone (as the BIOS reported it at its last start),
 * +KESTREL_ATTR_SOURCE_COMPANION the companion chip's own firmware version.
 */
#define KESTREL_ATTR_BIOS_VERSION 0x10000400u
#define KESTREL_ATTR_BOARD_TEXT 0x10000700u             /* type 150 text at 0Dh */
#define KESTREL_ATTR_BOARD_TEXT_1 0x10006400u           /* type 150 text at 09h */
#define KESTREL_ATTR_BOARD_TEXT_2 0x10006500u           /* type 150 text at 0Ah */
#define KESTREL_ATTR_MEMORY_MANUFACTURER 0x1000CC00u    /* populated module */
#define KESTREL_ATTR_MEMORY_PART_NUMBER 0x1000CD00u     /* populated module */
#define KESTREL_ATTR_MEMORY_SERIAL_NUMBER 0x1000CE00u   /* populated module */
#define KESTREL_ATTR_MEMORY_LOCATOR 0x1000CF00u         /* populated module */
#define KESTREL_ATTR_PROCESSOR_MANUFACTURER 0x10012C00u
#define KESTREL_ATTR_PROCESSOR_VERSION 0x10012D00u
#define KESTREL_ATTR_CONTROLLER_MODEL_NAME 0x1001F400u  /* type 151 text, normalised */
#define KESTREL_ATTR_SLOT_TEXT 0x10025900u              /* type 152 entry 0..3, normalised */
#define KESTREL_ATTR_EXPANSION_TEXT 0x1002BD00u         /* type 153 text at 05h, normalised */
#define KESTREL_ATTR_EXPANSION_TEXT_2 0x1002BE00u       /* type 153 text at 06h */
#define KESTREL_ATTR_BUS_TEXT 0x10032100u               /* type 154 text at 05h, normalised */
#define KESTREL_ATTR_CHASSIS_TEXT 0x10038400u           /* type 156 text at 04h */
#define KESTREL_ATTR_TRIGGER_TEXT 0x1006A500u           /* type 163 entry 0..4, normalised */
#define KESTREL_ATTR_TRIGGER_FIELDS 0x1006A600u         /* type 163 entry 0..4, normalised per comma field */
#define KESTREL_ATTR_USER_TEXT 0x18000000u              /* written to the controller and the companion */
#define kTriggerRouterPathAttribute 0x18000100u         /* device path of the trigger router; no handle needed */

/*
 * Controller session. The first open creates the session, later opens count
 * references; each close drops one. On success (a non-negative code) the
 * handle out receives kControllerHandle; on failure it is left untouched.
 */
KESTREL_API int32_t KESTREL_openController(tKestrelHandle* handle);
KESTREL_API void KESTREL_closeController(tKestrelHandle handle);

/* Numeric attributes. The U32 functions accept the controller and the
 * watchdog handle; the I32 and DBL reads exist for completeness: the
 * controller has no such attribute and they answer
 * kestrelerr_attributeNotSupported without writing the value. */
KESTREL_API int32_t KESTREL_getAttributeU32(tKestrelHandle handle, uint32_t attribute, uint32_t* value);
KESTREL_API int32_t KESTREL_setAttributeU32(tKestrelHandle handle, uint32_t attribute, uint32_t value);
KESTREL_API int32_t KESTREL_getAttributeI32(tKestrelHandle handle, uint32_t attribute, int32_t* value);
KESTREL_API int32_t KESTREL_getAttributeDBL(tKestrelHandle handle, uint32_t attribute, double* value);

/*
 * Text attributes. *length holds the buffer's capacity in bytes. A text that
 * does not fit gives kestrelerr_bufferTooSmall (-26930) and *length receives
 * the size needed including the NUL. To ask for the size first, pass a null
 * buffer (capacity taken as 0): that call answers -26930 too, a negative code
 * that is expected here, not a failure. The one exception is
 * kTriggerRouterPathAttribute: a null buffer with a *length large enough for
 * the path succeeds and writes nothing. kTriggerRouterPathAttribute is
 * answered without a session and accepts any handle value. Texts written are
 * at most 255 bytes.
 */
KESTREL_API int32_t KESTREL_getAttributeUTF8(tKestrelHandle handle, uint32_t attribute, char* buffer,
                                             uint64_t* length);
KESTREL_API int32_t KESTREL_setAttributeUTF8(tKestrelHandle handle, uint32_t attribute, const char* value);

KESTREL_API int32_t KESTREL_performSelfTest(tKestrelHandle handle);

/* Firmware update from an update file held in memory. force 1 installs every
 * image of the file, 0 only images newer than the installed ones.
 * KESTREL_updateFirmware is KESTREL_updateFirmware2 with force 1. */
KESTREL_API int32_t KESTREL_updateFirmware(tKestrelHandle handle, const uint8_t* image, uint64_t size);
KESTREL_API int32_t KESTREL_updateFirmware2(tKestrelHandle handle, const uint8_t* image, uint64_t size,
                                            int32_t force);

/*
 * Watchdog session. KESTREL_waitForWatchdogNotification blocks until the
 * driver delivers a notification: its value is the notification byte (0-255),
 * or 3 once the driver has ended the notification stream, after which every
 * wait returns 3 at once. A wait that finds that notifications were lost (the
 * driver sent more than the notification queue holds) returns
 * brioerr_noBuffers without a value; the next wait receives again. Waits are
 * served one at a time. Start, stop, pet,
 * cancel and the attribute functions run while another thread waits; cancel
 * ends a wait in progress through the driver.
 */
/*
 * The watchdog's attributes (KESTREL_getAttributeU32 / KESTREL_setAttributeU32
 * with the watchdog handle) and the values its notifications carry. They are
 * the driver's: the library passes them through.
 */
#define KESTREL_WATCHDOG_ATTR_TIMEOUT 0x20070100u       /* ms from a start or pet to the expiry */
#define KESTREL_WATCHDOG_ATTR_EXPIRY_ACTION 0x20070200u /* KESTREL_WATCHDOG_EXPIRY_* */
#define KESTREL_WATCHDOG_ATTR_STATE 0x20070300u         /* KESTREL_WATCHDOG_STATE_*, read-only */
#define KESTREL_WATCHDOG_ATTR_REMAINING 0x20070400u     /* ms left while running, read-only */

#define KESTREL_WATCHDOG_EXPIRY_NOTIFY 0u  /* an expiry only notifies */
#define KESTREL_WATCHDOG_EXPIRY_RESET 1u   /* an expiry resets the controller */
#define KESTREL_WATCHDOG_EXPIRY_TRIGGER 2u /* an expiry fires the watchdog trigger line */

#define KESTREL_WATCHDOG_STATE_STOPPED 0u
#define KESTREL_WATCHDOG_STATE_RUNNING 1u
#define KESTREL_WATCHDOG_STATE_EXPIRED 2u

#define KESTREL_WATCHDOG_NOTIFY_EXPIRED 1         /* the timer expired */
#define KESTREL_WATCHDOG_NOTIFY_CANCELLED 2       /* the wait was cancelled */
#define KESTREL_WATCHDOG_NOTIFY_ENDED 3           /* notifications ended (from the library) */
#define KESTREL_WATCHDOG_NOTIFY_EXPIRED_RESET 4   /* expired, the controller resets */
#define KESTREL_WATCHDOG_NOTIFY_EXPIRED_TRIGGER 5 /* expired, the watchdog trigger fired */

/*
 * Opening while the watchdog session is open adds a reference; each close
 * drops one. The last close ends the session: a wait in progress in this
 * process returns 3 at once, the close waits until every call in flight on
 * the session has returned, and then the driver receives, in this order,
 * the timer's stop, the end of the notification registration and the close
 * of the device. Once the last close has returned, no request of the closed
 * session reaches the driver; calls with the handle answer
 * kestrelerr_invalidHandle until the next open.
 */
KESTREL_API int32_t KESTREL_openWatchdog(tKestrelHandle* handle);
KESTREL_API void KESTREL_closeWatchdog(tKestrelHandle handle);
KESTREL_API int32_t KESTREL_startWatchdogTimer(tKestrelHandle handle);
KESTREL_API int32_t KESTREL_stopWatchdogTimer(tKestrelHandle handle);
KESTREL_API int32_t KESTREL_petWatchdog(tKestrelHandle handle);
KESTREL_API int32_t KESTREL_waitForWatchdogNotification(tKestrelHandle handle, int32_t* notification);
KESTREL_API int32_t KESTREL_cancelWaitForWatchdogNotification(tKestrelHandle handle);

#ifdef __cplusplus
}
#endif

#endif /* KESTREL_KESTREL_H */
