/* Types and status codes shared by the toolkit's BSAFE-style and TIPEM-style
 * interfaces. */
#ifndef KRMEPIT_TYPES_H
#define KRMEPIT_TYPES_H

#include "krmepit/krmepit_export.h"

/* A byte string: pointer and length. Who owns `data` is said by each call. */
typedef struct {
    unsigned char* data;
    unsigned int len;
} ITEM;

/* An opaque pointer-sized value (surrender contexts, info records). */
typedef void* POINTER;

/* Status codes: every call that returns a status returns 0 on success. */
#define KM_OK 0
#define KM_ERROR_ALLOC 257             /* memory exhausted */
#define KM_ERROR_INVALID_ARGUMENT 258  /* null handle, pointer or bad length */
#define KM_ERROR_NOT_INITIALIZED 259   /* operation called out of order */
#define KM_ERROR_OUTPUT_TOO_SMALL 260  /* the output buffer cannot hold the result */
#define KM_ERROR_DATA 261              /* malformed encoding or input */
#define KM_ERROR_INTERNAL 262          /* the underlying library failed */
#define KM_ERROR_INDEX 263             /* index out of range */
#define KM_ERROR_KEY 264               /* key missing or of the wrong kind */
#define KM_ERROR_DECRYPT 265           /* bad padding or wrong key on decryption */
#define KM_ERROR_EXTENSION_PRESENT 284 /* the extension is already in the object */
#define KM_ERROR_UNKNOWN_ALGORITHM 541 /* unknown algorithm identifier */

#endif /* KRMEPIT_TYPES_H */
