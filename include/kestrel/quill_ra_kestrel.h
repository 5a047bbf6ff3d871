/*
 * quill_ra_kestrel.h - routing adaptor interface of libkestrel.so.1
 *
 * The trigger-routing framework loads libkestrel.so.1 as a routing adaptor
 * (API version 3) and drives the controller's trigger router through these
 * functions. Every function that takes a status report returns at once, with
 * its failure value (null, 0, false or nothing), when the report already
 * holds an error (a negative code); a warning does not stop the call. Every
 * failure is reported as a code plus JSON members in the report.
 *
 * Thread safety: the functions take no lock of their own. A session may be
 * used from several framework threads; its demotion callback runs on the
 * session's own notification thread ("kestrel").
 */
#ifndef KESTREL_QUILL_RA_KESTREL_H
#define KESTREL_QUILL_RA_KESTREL_H

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define QUILL_RA_KESTREL_API __attribute__((visibility("default")))
#else
#define QUILL_RA_KESTREL_API
#endif

/*
 * A status code and a growable JSON report text. The record owns its report
 * buffer through its reallocate function: reallocate(record, n) grows the
 * buffer to at least n bytes keeping the text, reallocate(record, 0) releases
 * it. The buffer holds a JSON object text, its NUL, zero bytes and the byte
 * 'J' in its last byte. Whoever creates a record releases it with size 0.
 */
typedef struct tStatusReport tStatusReport;
typedef bool (*tStatusReportReallocate)(tStatusReport* record, int32_t newSize);
struct tStatusReport {
  int32_t code;                       /* 0 success, negative error, positive warning */
  int32_t capacity;                   /* bytes in the report buffer, 0 when there is none */
  tStatusReportReallocate reallocate; /* owner of the buffer */
  char* report;                       /* JSON object text, or null */
};

/* Answer allocator: behaves like realloc(existing, size). Required. */
typedef void* (*tQuillAnswerAllocator)(void* existing, size_t size);

/* Demotion callback: called on the session's notification thread for every
 * route demotion the driver reports. */
typedef void (*tQuillDemotionFunction)(void* demotionContext, int32_t event, tStatusReport* report);

typedef struct quill_ra_kestrel_session quill_ra_kestrel_session;
typedef struct quill_ra_kestrel_iterator quill_ra_kestrel_iterator;

QUILL_RA_KESTREL_API int32_t quill_ra_kestrel_getAPIVersion(void);

QUILL_RA_KESTREL_API quill_ra_kestrel_session* quill_ra_kestrel_createSession(const char* devicePath,
                                                                              tQuillAnswerAllocator allocator,
                                                                              tStatusReport* status);
QUILL_RA_KESTREL_API quill_ra_kestrel_session* quill_ra_kestrel_createSessionWithDemotionFunc(
    const char* devicePath, tQuillAnswerAllocator allocator, tQuillDemotionFunction demotionFunction,
    void* demotionContext, tStatusReport* status);
QUILL_RA_KESTREL_API void quill_ra_kestrel_destroySession(quill_ra_kestrel_session* session);

QUILL_RA_KESTREL_API void quill_ra_kestrel_getHandledConstraints(quill_ra_kestrel_session* session, char** answer,
                                                                 tStatusReport* status);
QUILL_RA_KESTREL_API uint32_t quill_ra_kestrel_calculateRoute(quill_ra_kestrel_session* session, const char* seeds,
                                                              const char* destinations, const char* modifiers,
                                                              char** answer, tStatusReport* status);
QUILL_RA_KESTREL_API void quill_ra_kestrel_reserveRoute(quill_ra_kestrel_session* session, uint32_t ticket,
                                                        char** conflicts, tStatusReport* status);
QUILL_RA_KESTREL_API void quill_ra_kestrel_programRoute(quill_ra_kestrel_session* session, uint32_t ticket,
                                                        tStatusReport* status);
QUILL_RA_KESTREL_API void quill_ra_kestrel_unprogramRoute(quill_ra_kestrel_session* session, uint32_t ticket);
QUILL_RA_KESTREL_API void quill_ra_kestrel_unreserveRoute(quill_ra_kestrel_session* session, uint32_t ticket);
QUILL_RA_KESTREL_API void quill_ra_kestrel_beginExceptionalRouteDestruction(quill_ra_kestrel_session* session,
                                                                            uint32_t ticket);
QUILL_RA_KESTREL_API void quill_ra_kestrel_destroyRoute(quill_ra_kestrel_session* session, uint32_t ticket);
QUILL_RA_KESTREL_API void quill_ra_kestrel_getRouteTerminalPath(quill_ra_kestrel_session* session, uint32_t ticket,
                                                                char** answer, tStatusReport* status);

QUILL_RA_KESTREL_API quill_ra_kestrel_iterator* quill_ra_kestrel_getAllTerminals(quill_ra_kestrel_session* session,
                                                                                 tStatusReport* status);
QUILL_RA_KESTREL_API uint32_t quill_ra_kestrel_TerminalIterator_calculateResetTerminal(
    quill_ra_kestrel_session* session, quill_ra_kestrel_iterator* iterator, const char* mode, tStatusReport* status);
QUILL_RA_KESTREL_API void quill_ra_kestrel_TerminalIterator_resetTerminal(quill_ra_kestrel_iterator* iterator,
                                                                          const char* mode, tStatusReport* status);
QUILL_RA_KESTREL_API uint32_t quill_ra_kestrel_TerminalIterator_getU32Attribute(quill_ra_kestrel_iterator* iterator,
                                                                                const char* name,
                                                                                tStatusReport* status);
QUILL_RA_KESTREL_API bool quill_ra_kestrel_TerminalIterator_getBoolAttribute(quill_ra_kestrel_iterator* iterator,
                                                                             const char* name, tStatusReport* status);
QUILL_RA_KESTREL_API const char* quill_ra_kestrel_TerminalIterator_getStringAttribute(
    quill_ra_kestrel_iterator* iterator, const char* name, tStatusReport* status);
QUILL_RA_KESTREL_API void quill_ra_kestrel_TerminalIterator_next(quill_ra_kestrel_iterator* iterator,
                                                                 tStatusReport* status);
QUILL_RA_KESTREL_API bool quill_ra_kestrel_TerminalIterator_isEnd(quill_ra_kestrel_iterator* iterator);
QUILL_RA_KESTREL_API void quill_ra_kestrel_TerminalIterator_destroy(quill_ra_kestrel_iterator* iterator);

#ifdef __cplusplus
}
#endif

#endif /* KESTREL_QUILL_RA_KESTREL_H */
