/* SHA-1 contexts for callers that keep one as a member without including
 * OpenSSL: the storage has the size and alignment of libcrypto's SHA_CTX, and
 * the functions behave as SHA1_Init, SHA1_Update and SHA1_Final on it. */
#ifndef KRMEPIT_SHA1_H
#define KRMEPIT_SHA1_H

#include "krmepit/krmepit_export.h"

/* Storage of a SHA_CTX (five state words, two count words, sixteen data words
 * and the count of buffered octets, 96 octets in all). */
typedef struct {
    unsigned int words[24];
} KRMEPIT_SHA1_CTX;

KRMEPIT_EXTERN_C_BEGIN

/* SHA1_Init on the context; returns 1. */
KRMEPIT_API int KRMEPIT_SHA1Init(KRMEPIT_SHA1_CTX* context);
/* SHA1_Update: adds `length` octets of `data`; returns 1. */
KRMEPIT_API int KRMEPIT_SHA1Update(KRMEPIT_SHA1_CTX* context, const void* data,
                                   unsigned long length);
/* SHA1_Final: writes the 20-octet digest (output first); returns 1. */
KRMEPIT_API int KRMEPIT_SHA1Final(unsigned char* digest, KRMEPIT_SHA1_CTX* context);

KRMEPIT_EXTERN_C_END

#endif /* KRMEPIT_SHA1_H */
