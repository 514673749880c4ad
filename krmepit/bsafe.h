/* BSAFE-style interface of the toolkit: algorithm, key and random objects,
 * message digests, password-based encryption (PKCS #5 v1.5, DES-CBC) and
 * RSA public keys. Every call that returns a status returns 0 (KM_OK) on
 * success and one of the KM_ERROR_ codes of krmepit_types.h otherwise. The
 * last `surrender` argument of each call is accepted and ignored. */
#ifndef KRMEPIT_BSAFE_H
#define KRMEPIT_BSAFE_H

#include "krmepit/krmepit_export.h"
#include "krmepit/krmepit_types.h"

KRMEPIT_EXTERN_C_BEGIN

/* Opaque handles, created through their address and null when released. */
typedef POINTER B_ALGORITHM_OBJ;
typedef POINTER B_KEY_OBJ;

/* Algorithm-info types for B_SetAlgorithmInfo and B_GetAlgorithmInfo. */
typedef enum {
    AI_MD5 = 1,                  /* MD5 digest; no info record */
    AI_SHA1 = 2,                 /* SHA-1 digest; no info record */
    AI_MD5Random = 3,            /* random generator; no info record */
    AI_MD5WithDES_CBCPad = 4,    /* PBES1 with MD5 and DES-CBC; B_PBE_PARAMS */
    AI_MD5WithDES_CBCPadBER = 5, /* the same; ITEM holding its DER identifier */
    AI_SHA1WithDES_CBCPadBER = 6 /* PBES1 with SHA-1 and DES-CBC; ITEM with DER */
} B_INFO_TYPE;

/* Key-info types for B_SetKeyInfo and B_GetKeyInfo. */
typedef enum {
    KI_Item = 1,         /* ITEM: raw key octets, e.g. a password */
    KI_RSAPublicBER = 2, /* ITEM: DER SubjectPublicKeyInfo of an RSA key */
    KI_RSAPublic = 3     /* A_RSA_KEY: modulus and public exponent */
} B_KEY_INFO_TYPE;

/* An algorithm chooser. The toolkit has a single one; the init calls only
 * require it to be non-null. */
typedef struct {
    const char* name;
} B_ALGORITHM_CHOOSER_RECORD;
typedef const B_ALGORITHM_CHOOSER_RECORD* B_ALGORITHM_CHOOSER;

KRMEPIT_API extern const B_ALGORITHM_CHOOSER_RECORD B_DemoAlgorithmChooser;
#define DEMO_ALGORITHM_CHOOSER (&B_DemoAlgorithmChooser)

/* Parameters of AI_MD5WithDES_CBCPad: an 8-octet salt and an iteration count
 * from 1 to KM_PBE_MAX_ITERATIONS. */
typedef struct {
    unsigned char* salt;
    unsigned int iterationCount;
} B_PBE_PARAMS;

/* The greatest iteration count accepted, in parameters and in identifiers. */
#define KM_PBE_MAX_ITERATIONS 1048576u

/* An RSA public key: unsigned big-endian magnitudes without a leading zero
 * octet (a 1024-bit modulus is 128 octets). */
typedef struct {
    ITEM modulus;
    ITEM exponent;
} A_RSA_KEY;

/* ---- Algorithm objects ---- */

/* Creates an empty algorithm object at *algorithmObject. */
KRMEPIT_API int B_CreateAlgorithmObject(B_ALGORITHM_OBJ* algorithmObject);

/* Releases the object at *algorithmObject (a null pointer or handle is
 * harmless) and sets the handle to null. */
KRMEPIT_API void B_DestroyAlgorithmObject(B_ALGORITHM_OBJ* algorithmObject);

/* Gives the object its algorithm, which replaces any earlier one and ends any
 * operation in progress. `info` is the record named at B_INFO_TYPE (copied;
 * the caller keeps ownership). For the two BER types the ITEM must hold
 * exactly one DER AlgorithmIdentifier; one of another algorithm gives
 * KM_ERROR_UNKNOWN_ALGORITHM (541), a malformed one, a salt that is not 8
 * octets or an iteration count out of range KM_ERROR_DATA. On failure the
 * object holds no algorithm. */
KRMEPIT_API int B_SetAlgorithmInfo(B_ALGORITHM_OBJ algorithmObject, B_INFO_TYPE infoType,
                                   POINTER info);

/* Stores in *info a pointer to the object's record of `infoType`, owned by
 * the object and valid until its algorithm changes or it is destroyed:
 * B_PBE_PARAMS* for AI_MD5WithDES_CBCPad, ITEM* with the DER identifier for
 * the BER types, null for the digest and random types. A type that does not
 * describe the object's algorithm gives KM_ERROR_INVALID_ARGUMENT. */
KRMEPIT_API int B_GetAlgorithmInfo(POINTER* info, B_ALGORITHM_OBJ algorithmObject,
                                   B_INFO_TYPE infoType);

/* ---- Digests (AI_MD5, AI_SHA1) ---- */

/* Starts a digest; `key` is not used. */
KRMEPIT_API int B_DigestInit(B_ALGORITHM_OBJ algorithmObject, B_KEY_OBJ key,
                             B_ALGORITHM_CHOOSER chooser, POINTER surrender);
/* Hashes `length` octets (data may be null when length is 0). */
KRMEPIT_API int B_DigestUpdate(B_ALGORITHM_OBJ algorithmObject, const unsigned char* data,
                               unsigned int length, POINTER surrender);
/* Writes the digest (16 or 20 octets) and its length. Afterwards the object
 * needs B_DigestInit again (KM_ERROR_NOT_INITIALIZED otherwise). */
KRMEPIT_API int B_DigestFinal(B_ALGORITHM_OBJ algorithmObject, unsigned char* digest,
                              unsigned int* digestLength, unsigned int maxDigestLength,
                              POINTER surrender);

/* ---- Password-based encryption (PBES1: the key and IV are derived from a
 * KI_Item password, the data enciphered with DES-CBC and PKCS #5 padding) ---- */

/* Starts encryption with the password held by `key`. */
KRMEPIT_API int B_EncryptInit(B_ALGORITHM_OBJ algorithmObject, B_KEY_OBJ key,
                              B_ALGORITHM_CHOOSER chooser, POINTER surrender);
/* Enciphers `inLength` octets; writes every complete 8-octet block and keeps
 * the rest for the next call. KM_ERROR_OUTPUT_TOO_SMALL when maxOut cannot
 * hold the blocks (nothing is consumed then). `random` is not used. */
KRMEPIT_API int B_EncryptUpdate(B_ALGORITHM_OBJ algorithmObject, unsigned char* out,
                                unsigned int* outLength, unsigned int maxOut,
                                const unsigned char* in, unsigned int inLength,
                                B_ALGORITHM_OBJ random, POINTER surrender);
/* Pads and writes the last block (always 8 octets). */
KRMEPIT_API int B_EncryptFinal(B_ALGORITHM_OBJ algorithmObject, unsigned char* out,
                               unsigned int* outLength, unsigned int maxOut, B_ALGORITHM_OBJ random,
                               POINTER surrender);

/* Starts decryption with the password held by `key`. */
KRMEPIT_API int B_DecryptInit(B_ALGORITHM_OBJ algorithmObject, B_KEY_OBJ key,
                              B_ALGORITHM_CHOOSER chooser, POINTER surrender);
/* Deciphers `inLength` octets; the last complete block is held back until
 * B_DecryptFinal, so at most inLength + 8 octets are written. */
KRMEPIT_API int B_DecryptUpdate(B_ALGORITHM_OBJ algorithmObject, unsigned char* out,
                                unsigned int* outLength, unsigned int maxOut,
                                const unsigned char* in, unsigned int inLength,
                                B_ALGORITHM_OBJ random, POINTER surrender);
/* Writes the last block without its padding (0 to 7 octets).
 * KM_ERROR_DATA when the ciphertext was not a positive multiple of 8 octets,
 * KM_ERROR_DECRYPT when the padding is wrong (wrong password or data). */
KRMEPIT_API int B_DecryptFinal(B_ALGORITHM_OBJ algorithmObject, unsigned char* out,
                               unsigned int* outLength, unsigned int maxOut, B_ALGORITHM_OBJ random,
                               POINTER surrender);

/* ---- Random objects (AI_MD5Random) ---- */

/* Seeds the generator from the operating system's entropy. */
KRMEPIT_API int B_RandomInit(B_ALGORITHM_OBJ algorithmObject, B_ALGORITHM_CHOOSER chooser,
                             POINTER surrender);
/* Mixes `length` caller octets into the generator's state. */
KRMEPIT_API int B_RandomUpdate(B_ALGORITHM_OBJ algorithmObject, unsigned char* seed,
                               unsigned int length, POINTER surrender);
/* Writes `length` pseudo-random octets. */
KRMEPIT_API int B_GenerateRandomBytes(B_ALGORITHM_OBJ algorithmObject, unsigned char* out,
                                      unsigned int length, POINTER surrender);

/* ---- Key objects ---- */

/* Creates an empty key object at *keyObject. */
KRMEPIT_API int B_CreateKeyObject(B_KEY_OBJ* keyObject);
/* Releases the key at *keyObject (null is harmless), clearing its octets, and
 * sets the handle to null. */
KRMEPIT_API void B_DestroyKeyObject(B_KEY_OBJ* keyObject);

/* Gives the key its value, replacing any earlier one; `info` is copied.
 * KI_RSAPublicBER takes a DER SubjectPublicKeyInfo of an RSA key:
 * KM_ERROR_DATA when the octets are not exactly one.
 * KI_RSAPublic takes an A_RSA_KEY whose modulus and exponent are non-empty. */
KRMEPIT_API int B_SetKeyInfo(B_KEY_OBJ keyObject, B_KEY_INFO_TYPE infoType, POINTER info);

/* Stores in *info a pointer to the key as `infoType` (ITEM* or A_RSA_KEY*),
 * owned by the key object and valid until its value changes or it is
 * destroyed. An RSA key is given as KI_RSAPublicBER (DER
 * SubjectPublicKeyInfo) and as KI_RSAPublic; a KI_Item key only as KI_Item.
 * KM_ERROR_KEY when the key holds nothing or not that kind of key. */
KRMEPIT_API int B_GetKeyInfo(POINTER* info, B_KEY_OBJ keyObject, B_KEY_INFO_TYPE infoType);

KRMEPIT_EXTERN_C_END

#endif /* KRMEPIT_BSAFE_H */
