/* SPDX-License-Identifier: Apache-2.0 */
/*
 * The certificate manager's C interface: four functions, an opaque handle, and
 * methods invoked by number with two parallel argument arrays.
 *
 * Each argument array has count + 1 pointer-wide entries and is closed by a 0
 * entry. A text parameter is the address of a UTF-8 text: zero-terminated when
 * its entry in the length array is 0, otherwise exactly that many bytes, none of
 * them zero. A number is passed as the value itself. Every method returns 0 for
 * success and any other value for failure; CertMgr_GetLastError then describes
 * the failure.
 *
 * One instance is used by one thread at a time; separate instances may work in
 * parallel. A call that meets another thread's call on the same instance fails
 * at once with CERTMGR_BUSY; on the refused thread CertMgr_GetLastError then
 * says so, while the running call's own text is left untouched.
 */
#ifndef CERTMGR_H
#define CERTMGR_H

#include <stdint.h>

#if defined(__GNUC__)
#define CERTMGR_API __attribute__((visibility("default")))
#else
#define CERTMGR_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Method numbers for CertMgr_Do, with their parameters in order. */
enum {
    CERTMGR_APPLY_SETTING = 1,            /* setting text "name=value" */
    CERTMGR_CREATE_SELF_SIGNED = 2,       /* subject text, serial number (0: a random one) */
    CERTMGR_DISCARD_CERTIFICATE = 4,      /* none */
    CERTMGR_EXPORT_TO_FILE = 6,           /* file path, password */
    CERTMGR_LOAD_SIGNING_CERTIFICATE = 8, /* file path, password, unused text */
    CERTMGR_ISSUE_SIGNED = 10             /* subject text, serial number (0: a random one) */
};

/* Names of the settings that CERTMGR_APPLY_SETTING takes as "name=value". */
#define CERTMGR_SETTING_VALIDITY_DAYS "CertValidityTime"      /* days, 1 or more */
#define CERTMGR_SETTING_KEY_LENGTH "CertKeyLength"            /* RSA key bits */
#define CERTMGR_SETTING_PFX_ENCRYPTION "PfxEncryption"        /* AES256 or 3DES */
#define CERTMGR_SETTING_SUBJECT_ALT_NAMES "CertSubjectAltNames" /* comma-separated DNS names and IP addresses */
#define CERTMGR_SETTING_REPLACE_EXISTING "ReplaceExisting"    /* 1 (default) replaces an existing output file, 0 never does */
#define CERTMGR_SETTING_AUTHORITY "CertAuthority"             /* 1 makes a certificate authority, 0 (default) a TLS server/client one */

/* Results of CertMgr_Do. Callers may treat every non-zero value as a failure; the distinct
 * values let a front end word its message. */
enum {
    CERTMGR_OK = 0,
    CERTMGR_FAILED = 1,
    CERTMGR_WRONG_PASSWORD = 2, /* LoadSigningCertificate: the password does not open the file */
    CERTMGR_CANCELLED = 3,      /* the event sink asked to stop */
    CERTMGR_BUSY = 4            /* another thread is in a call on the same instance */
};

/* Events raised through the sink. CERTMGR_EVENT_PROGRESS comes repeatedly while a key is
 * generated, always on the thread that made the call: params[0] counts the steps so far and
 * params[1] is the closing 0; count is 1 and the lengths are 0. Both arrays have at least 8
 * entries. A non-zero answer stops the call, which then fails with CERTMGR_CANCELLED and leaves
 * nothing behind. */
enum { CERTMGR_EVENT_PROGRESS = 3 };
/* CERTMGR_EVENT_WARNING tells of a certificate that is made as asked but that common clients will
 * refuse for some use: params[0] is a zero-terminated UTF-8 sentence, lengths[0] its length in
 * bytes; count is 1. The answer is not looked at. */
enum { CERTMGR_EVENT_WARNING = 4 };

/* Called by the component during a method call; context is the pointer given
 * to CertMgr_Create. The result goes back to the component. */
typedef int32_t (*CertMgrEventSink)(void *context, int32_t event, int32_t count, intptr_t *params,
                                    intptr_t *lengths);

CERTMGR_API void *CertMgr_Create(CertMgrEventSink sink, void *context);
CERTMGR_API int32_t CertMgr_Do(void *handle, int32_t method, int32_t count, intptr_t *params,
                               intptr_t *lengths);
/* The text stays valid until the next call on the same instance. */
CERTMGR_API const char *CertMgr_GetLastError(void *handle);
/* Accepts a null handle. */
CERTMGR_API int32_t CertMgr_Destroy(void *handle);

#ifdef __cplusplus
}
#endif

#endif /* CERTMGR_H */
