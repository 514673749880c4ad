/* TIPEM-style objects of the toolkit: distinguished names, extensions,
 * attributes, certificates and certificate lists.
 *
 * Every handle is created through its address by a Create call and released
 * by the matching Destroy call, which accepts a null handle and sets the
 * handle to null. Every call that returns a status returns 0 (KM_OK) on
 * success and one of the KM_ codes of krmepit_types.h otherwise; a handle of
 * the wrong kind or a null handle gives KM_ERROR_INVALID_ARGUMENT. Pointers
 * that a Get call stores refer to memory of the object queried and stay valid
 * until that object is changed or destroyed. The trailing `surrender`
 * arguments are progress contexts; they are accepted and not used. */
#ifndef KRMEPIT_TIPEM_H
#define KRMEPIT_TIPEM_H

#include "krmepit/krmepit_export.h"
#include "krmepit/krmepit_types.h"
#include "krmepit/tipem_random.h"

KRMEPIT_EXTERN_C_BEGIN

/* ---- Attribute types ------------------------------------------------------
 * The content octets of the attributes' object identifiers. */

#define TAT_X520_LEN 3  /* length of every TAT_ constant except e-mail */
#define TAT_EMAIL_LEN 9 /* length of TAT_EMAIL_ADDRESS */

KRMEPIT_API extern const unsigned char TAT_COUNTRY[3];        /* 2.5.4.6 */
KRMEPIT_API extern const unsigned char TAT_STATE[3];          /* 2.5.4.8 */
KRMEPIT_API extern const unsigned char TAT_LOCALITY[3];       /* 2.5.4.7 */
KRMEPIT_API extern const unsigned char TAT_ORGANIZATION[3];   /* 2.5.4.10 */
KRMEPIT_API extern const unsigned char TAT_ORG_UNIT[3];       /* 2.5.4.11 */
KRMEPIT_API extern const unsigned char TAT_COMMON_NAME[3];    /* 2.5.4.3 */
KRMEPIT_API extern const unsigned char TAT_TITLE[3];          /* 2.5.4.12 */
KRMEPIT_API extern const unsigned char TAT_STREET_ADDRESS[3]; /* 2.5.4.9 */
KRMEPIT_API extern const unsigned char TAT_POSTAL_CODE[3];    /* 2.5.4.17 */
KRMEPIT_API extern const unsigned char TAT_EMAIL_ADDRESS[9];  /* 1.2.840.113549.1.9.1 */

/* ---- Name objects ---------------------------------------------------------
 * An X.500 distinguished name: a sequence of relative distinguished names,
 * each holding one or more attribute value assertions (AVAs). */

/* Creates an empty name at *nameObject. */
KRMEPIT_API int CreateNameObject(POINTER* nameObject);
/* Releases the name at *nameObject (null is harmless), sets it to null and
 * returns 0. */
KRMEPIT_API int DestroyNameObject(POINTER* nameObject);
/* Empties the name. */
KRMEPIT_API int ResetNameObject(POINTER nameObject);
/* Replaces the name by the one encoded in `ber` (a Name SEQUENCE that must
 * take exactly `berLen` octets); KM_ERROR_DATA when it does not decode, and
 * the name is then unchanged. The original octets are kept: GetNameDER gives
 * them back unchanged. */
KRMEPIT_API int SetNameBER(POINTER nameObject, const unsigned char* ber, unsigned int berLen,
                           POINTER surrender);
/* Stores in *der a pointer to the encoding of the name and in *derLen its
 * length. The octets belong to the name object and stay valid until the name
 * changes or is destroyed. */
KRMEPIT_API int GetNameDER(unsigned char** der, unsigned int* derLen, POINTER nameObject,
                           POINTER surrender);
/* Appends one AVA: `type` is the content octets of the attribute type's
 * object identifier (`typeLen` octets, copied), `valueTag` the universal tag
 * of the value's string type (12 UTF8String, 18, 19, 20, 21, 22, 25, 26, 27,
 * 28 or 30 BMPString), and `value` the value's content octets, taken as they
 * are. With `newRDN` nonzero the AVA starts a relative distinguished name of
 * its own; with 0 it joins the last one (a multi-valued RDN; the first AVA
 * of a name always starts one). Inside a multi-valued RDN the AVAs are kept
 * in the order of their DER encoding (sorted), as in a loaded name. When
 * `avaIndex` is not null it receives the index of the name's last AVA (the
 * new one, unless sorting inside a multi-valued RDN moved it).
 * KM_ERROR_INVALID_ARGUMENT for a malformed identifier or another tag;
 * KM_ERROR_DATA for a value that cannot be encoded (a BMPString of odd
 * length, UTF8String octets that are not UTF-8); the name is then unchanged. */
KRMEPIT_API int AddNameAVA(unsigned int* avaIndex, POINTER nameObject, const unsigned char* type,
                           unsigned int typeLen, int valueTag, const unsigned char* value,
                           unsigned int valueLen, int newRDN, POINTER surrender);
/* Stores in *count the number of AVAs of the name. */
KRMEPIT_API int GetNameAVACount(unsigned int* count, POINTER nameObject, POINTER surrender);
/* Stores the index-th AVA (from 0, in the order of the encoding): the
 * identifier's content octets and length, the value's universal tag, the
 * value's content octets and length, and in *rdnIndex the index of the
 * relative distinguished name that holds it. Octets belong to the name
 * object. KM_ERROR_INDEX when `index` is not below the count; KM_ERROR_DATA,
 * with no output changed, when the value holds a control character (below
 * 0x20, or 0x7F; NUL included) or, in a BMPString or UniversalString, a
 * character whose low octet is NUL: a value such as "good.example", NUL,
 * "evil.example" is refused rather than handed on to be read as less than
 * it is. */
KRMEPIT_API int GetNameAVA(const unsigned char** type, unsigned int* typeLen, int* valueTag,
                           const unsigned char** value, unsigned int* valueLen,
                           unsigned int* rdnIndex, POINTER nameObject, unsigned int index,
                           POINTER surrender);

/* ---- Extensions objects ---------------------------------------------------
 * An ordered set of extensions, each identified by its object identifier
 * (unique within the object), with a criticality flag and a list of values
 * (DER octets). When extensions go into a certificate, each contributes its
 * first value as extnValue (an empty value when it has none). */

#define EXTENSIONS_KIND_CERTIFICATE 1 /* the only kind: certificate extensions */

/* Information about one extension, filled by GetExtensionInfo. */
typedef struct {
    unsigned char* oid;      /* content octets of the identifier (object's memory) */
    unsigned int oidLen;     /* their number */
    int critical;            /* nonzero when the extension is critical */
    unsigned int valueCount; /* number of values */
} EXTENSION_INFO;

/* Creates an empty extensions object at *extensionsObject; `kind` must be
 * EXTENSIONS_KIND_CERTIFICATE. */
KRMEPIT_API int CreateExtensionsObject(POINTER* extensionsObject, int kind, POINTER surrender);
/* Releases the object (null is harmless), sets it to null, returns 0. */
KRMEPIT_API int DestroyExtensionsObject(POINTER* extensionsObject);
/* Appends an extension without values, identified by the `oidLen` content
 * octets at `oid`, and stores a reference to it in *extension. When an
 * extension with that identifier is already present nothing is added,
 * *extension refers to the present one and the status is
 * KM_ERROR_EXTENSION_PRESENT (284). KM_ERROR_INVALID_ARGUMENT for a
 * malformed identifier. */
KRMEPIT_API int CreateExtension(POINTER extensionsObject, const unsigned char* oid,
                                unsigned int oidLen, POINTER* extension, int critical,
                                POINTER surrender);
/* Appends a copy of the octets of `value` to the values of `extension` (a
 * reference from CreateExtension on this object) and, when `valueIndex` is
 * not null, stores the index of the new value in it. */
KRMEPIT_API int AddExtensionValue(unsigned int* valueIndex, POINTER extensionsObject,
                                  POINTER extension, const ITEM* value);
/* Stores in *count the number of extensions. */
KRMEPIT_API int GetExtensionCount(unsigned int* count, POINTER extensionsObject);
/* Fills *info for the index-th extension (from 0); KM_ERROR_INDEX when out of
 * range. */
KRMEPIT_API int GetExtensionInfo(EXTENSION_INFO* info, POINTER extensionsObject,
                                 unsigned int index);
/* Stores in *value a pointer to a record holding the valueIndex-th value of
 * the index-th extension (object's memory); KM_ERROR_INDEX when either index
 * is out of range. */
KRMEPIT_API int GetExtensionValue(ITEM** value, POINTER extensionsObject, unsigned int index,
                                  unsigned int valueIndex);

/* ---- Attributes objects ---------------------------------------------------
 * An ordered list of attributes (identifier content octets and the DER of
 * one value each). */

/* Creates an empty attributes object at *attributesObject. */
KRMEPIT_API int CreateAttributesObject(POINTER* attributesObject);
/* Releases the object (null is harmless), sets it to null, returns 0. */
KRMEPIT_API int DestroyAttributesObject(POINTER* attributesObject);
/* Appends an attribute: copies of the identifier and of the value's DER. */
KRMEPIT_API int AddAttribute(POINTER attributesObject, const unsigned char* oid,
                             unsigned int oidLen, const ITEM* value);
/* Stores in *count the number of attributes. */
KRMEPIT_API int GetAttributeCount(unsigned int* count, POINTER attributesObject);
/* Stores the index-th attribute's identifier and value (object's memory). */
KRMEPIT_API int GetAttribute(ITEM* oid, ITEM* value, POINTER attributesObject, unsigned int index);

/* ---- Certificate objects -------------------------------------------------- */

/* The fields of an X.509 certificate. Filled by GetCertFields with pointers
 * and handles owned by the certificate object (valid until the next
 * GetCertFields, a new certificate or the object's end); read by
 * SetCertFields, which copies what it needs. */
typedef struct {
    int version;             /* 0 for v1, 1 for v2, 2 for v3 */
    ITEM serialNumber;       /* content octets of the DER INTEGER */
    ITEM signatureAlgorithm; /* DER AlgorithmIdentifier */
    POINTER issuerName;      /* a name object */
    long notBefore;          /* validity, seconds since 1970-01-01 00:00:00 UTC */
    long notAfter;           /* (UTCTime through 2049, GeneralizedTime after) */
    POINTER subjectName;     /* a name object */
    ITEM publicKey;          /* DER SubjectPublicKeyInfo */
    POINTER extensions;      /* an extensions object, or null for none */
    ITEM signature;          /* the signature value's octets */
} TCERT_FIELDS;

/* Creates an empty certificate object at *certObject. */
KRMEPIT_API int CreateCertObject(POINTER* certObject);
/* Releases the object (null is harmless), sets it to null, returns 0. */
KRMEPIT_API int DestroyCertObject(POINTER* certObject);
/* Loads the certificate encoded at the start of `ber` (anything that
 * OpenSSL reads as a DER certificate; octets after the certificate are
 * ignored). KM_ERROR_DATA when it does not decode; the object is then
 * unchanged. */
KRMEPIT_API int SetCertBER(POINTER certObject, const ITEM* ber, POINTER surrender);
/* Stores in *der the certificate's encoding as it was loaded or built
 * (object's memory). KM_ERROR_NOT_INITIALIZED when no certificate is loaded. */
KRMEPIT_API int GetCertDER(ITEM* der, POINTER certObject, POINTER surrender);
/* Builds a certificate from the caller's fields and loads it. The signature
 * is taken as given (it is not computed or checked). Required: a serial
 * number, a signature algorithm, both names and a public key; a version
 * outside 0..2, a missing field or fields that do not form a certificate give
 * KM_ERROR_INVALID_ARGUMENT or KM_ERROR_DATA, and the object is unchanged.
 * Issuer and subject unique identifiers are not supported. */
KRMEPIT_API int SetCertFields(POINTER certObject, const TCERT_FIELDS* fields, POINTER surrender);
/* Fills *fields from the loaded certificate (see TCERT_FIELDS for who owns
 * what). KM_ERROR_NOT_INITIALIZED when no certificate is loaded. */
KRMEPIT_API int GetCertFields(TCERT_FIELDS* fields, POINTER certObject, POINTER surrender);

/* ---- Certificate lists ---------------------------------------------------- */

#define CERT_INFO_SELF_ISSUED 1 /* certInfo flag: issuer and subject are equal */

/* Creates an empty certificate list at *certListObject. */
KRMEPIT_API int CreateCertListObject(POINTER* certListObject);
/* Releases the list and its certificates (null is harmless), sets the handle
 * to null, returns 0. */
KRMEPIT_API int DestroyCertListObject(POINTER* certListObject);
/* Stores in *count the number of certificates in the list. */
KRMEPIT_API int GetCertListCount(unsigned int* count, POINTER certListObject);
/* Stores in *certObject the index-th certificate (from 0) as a certificate
 * object owned by the list, and in *certInfo its flags (CERT_INFO_...).
 * KM_ERROR_INDEX when out of range. */
KRMEPIT_API int GetCertListCert(POINTER* certObject, unsigned int* certInfo, POINTER certListObject,
                                unsigned int index);
/* Appends the certificates of `len` octets of DER certificates placed one
 * after another. Either all are appended or, when one does not decode
 * (KM_ERROR_DATA), none. *added (when not null) receives how many. */
KRMEPIT_API int AddCertListDER(POINTER certListObject, const unsigned char* der, unsigned int len,
                               unsigned int* added);
/* Appends every certificate of a PEM text (blocks labelled CERTIFICATE,
 * X509 CERTIFICATE or TRUSTED CERTIFICATE; other blocks and text between
 * blocks are skipped). All or nothing as AddCertListDER; a text without any
 * certificate adds none and succeeds. */
KRMEPIT_API int AddCertListPEM(POINTER certListObject, const char* text, unsigned int len,
                               unsigned int* added);

KRMEPIT_EXTERN_C_END

#endif /* KRMEPIT_TIPEM_H */
