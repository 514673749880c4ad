// Certificates, distinguished names, long names and the subject alternative
// name extension, over the crypto toolkit's TIPEM-style objects.
//
// The classes that hold a toolkit handle (TIPEM_NAME_OBJ, TIPEM_CERT_OBJ,
// TIPEM_CERT_LIST_OBJ, TIPEM_ATTRIBUTES_OBJ, TIPEM_EXTENSIONS_OBJ) own it:
// the constructor creates it, the destructor releases it. They are not
// copyable (two copies would release one handle twice); they are movable, the
// source then holding no handle. A failing toolkit call throws KRException
// with the toolkit status as rc and the toolkit function's name as the text.
#ifndef KRTOOLS_CERT_H
#define KRTOOLS_CERT_H

#include <cstdint>
#include <string>
#include <vector>

#include "krmepit/krmepit_sha1.h"
#include "krmepit/tipem.h"
#include "krtools/digest.h"
#include "krtools/exception.h"
#include "krtools/export.h"

// One attribute value assertion of a distinguished name: the attribute type
// (content octets of its object identifier) and the value as text. Copies are
// deep for the value; `type` is copied as a pointer.
class KRTOOLS_API TIPEM_NAME_AVA {
public:
    // The type's identifier octets; not owned (toolkit memory or a TAT_
    // constant). Null when unset.
    const unsigned char* type;
    // Number of octets at `type`: 3 for the X.520 attributes, 9 for e-mail.
    uint32_t typeLen;
    // Universal tag of the value's string type as reported by the toolkit
    // (19 PrintableString, 22 IA5String, 30 BMPString, ...); 0 when unset.
    int32_t valueTag;
    // The value. An AVA whose value is empty counts as empty.
    std::string value;

    // Null type, length and tag 0, empty value.
    TIPEM_NAME_AVA();
    TIPEM_NAME_AVA(const TIPEM_NAME_AVA& other);
    ~TIPEM_NAME_AVA();
    // Copies all four members; returns nothing.
    void operator=(const TIPEM_NAME_AVA& other);
    // Replaces the value by a copy of the NUL-terminated `text` (null empties
    // it); type, length and tag stay.
    void operator=(const char* text);
    // True when `type` is the same pointer (not merely equal octets), and
    // length, tag and value are equal.
    bool operator==(const TIPEM_NAME_AVA& other) const;
    // The value, NUL-terminated; "" when empty, never null.
    const char* c_str() const;
    // Length of the value in octets.
    int size() const;
    // Null type, length and tag 0, empty value.
    void Clear();
};

// A distinguished name as eleven text fields, over a toolkit name object.
class KRTOOLS_API TIPEM_NAME_OBJ {
public:
    // The DER of the name as last built by BuildDistinguishedName or loaded by
    // SetNameObject; toolkit memory of `nameObject`, valid while that name is
    // unchanged. Null (and derLen 0) before either ran.
    unsigned char* der;
    uint32_t derLen;
    // The toolkit name object; owned. Null after Destroy.
    POINTER nameObject;
    // The fields, in the order of building.
    TIPEM_NAME_AVA country;
    TIPEM_NAME_AVA state;
    TIPEM_NAME_AVA locality;
    TIPEM_NAME_AVA organization;
    TIPEM_NAME_AVA orgUnit;
    TIPEM_NAME_AVA commonName;
    TIPEM_NAME_AVA title;
    TIPEM_NAME_AVA streetAddress1;
    TIPEM_NAME_AVA streetAddress2;
    TIPEM_NAME_AVA postalCode;
    TIPEM_NAME_AVA emailAddress;
    // Every attribute of the last parsed name, in order, repeated and unknown
    // types included.
    std::vector<TIPEM_NAME_AVA> avaList;

    // Empty fields, then Create. Throws "CreateNameObject".
    TIPEM_NAME_OBJ();
    ~TIPEM_NAME_OBJ();
    TIPEM_NAME_OBJ(const TIPEM_NAME_OBJ&) = delete;
    TIPEM_NAME_OBJ& operator=(const TIPEM_NAME_OBJ&) = delete;
    TIPEM_NAME_OBJ(TIPEM_NAME_OBJ&& other) noexcept;
    TIPEM_NAME_OBJ& operator=(TIPEM_NAME_OBJ&& other) noexcept;

    // Destroy, then a new toolkit name object. Throws "CreateNameObject".
    void Create();
    // Flush, then releases the toolkit name object; nameObject becomes null.
    void Destroy();
    // Empties avaList and clears the eleven fields; der, derLen and the
    // toolkit object stay.
    void Flush();
    // Builds the name from the non-empty fields in the fixed order (country,
    // state, locality, organization, orgUnit, commonName, title,
    // streetAddress1, streetAddress2, postalCode as PrintableString,
    // emailAddress as IA5String; values are not checked against the string
    // type) and points der/derLen at its DER. Throws "AddNameAVA" or
    // "GetNameDER"; on failure the toolkit name stays partly built.
    void BuildDistinguishedName();
    // Loads a copy of the toolkit name object `name` and parses it into the
    // fields. der/derLen then refer to this object's own copy. Throws
    // "GetNameDER", "SetNameBER", "GetNameAVACount" or "GetNameAVA".
    void SetNameObject(unsigned char* name);
    // Refills avaList and the fields from the toolkit name: the first
    // attribute of each type fills its field (empty values fill nothing),
    // the first two street addresses in ascending byte order; BMPString
    // values are reduced to the low octet of each 16-bit unit. Throws
    // "GetNameAVACount" or "GetNameAVA"; what was read so far stays.
    // Hostile names: a value holding a control character (NUL included, or
    // a BMPString character whose low octet is NUL) is refused by the toolkit,
    // "GetNameAVA" with KM_ERROR_DATA, so a name such as CN=good.example,
    // NUL, evil.example never gives a long name or common name cut at the NUL
    // with the attributes after it missing; such a name has no long name.
    void ParseDistinguishedName();
    // The same as SetNameObject(name).
    void ParseDistinguishedName(unsigned char* name);
    // Writes the long name of the fields (country 2, postal code 11, other
    // components 30 octets at most, joined by periods; e-mail never part of
    // it) into `out`: at most outLen - 1 octets and a NUL. When `cnOut` is not
    // null it receives the common name (30 octets at most) the same way, or
    // zero octets when there is none. outLen (and cnOutLen with cnOut) must be
    // at least 1. Throws nothing of its own.
    void BuildLongName(char* out, int outLen, char* cnOut, int cnOutLen);
    // ParseDistinguishedName(name), then the long name as above without a
    // common-name buffer. Throws what the parse throws.
    void BuildLongName(char* out, int outLen, unsigned char* name);
};

// A toolkit certificate object with the identifiers used to find
// certificates.
class KRTOOLS_API TIPEM_CERT_OBJ {
public:
    POINTER certObject;  // owned; null after Destroy
    // The certificate's DER: toolkit memory after Set or GetDER, invalid after
    // Destroy. After a failed Set it holds the caller's pointer and length.
    unsigned char* der;
    uint32_t derLen;
    // The field record filled by Fields() (handles and octets owned by the
    // toolkit certificate object) or by the caller for SetFromFields.
    TCERT_FIELDS fields;
    AA_MD5_CTX md5Context;
    // A SHA_CTX in storage of its own size (see krmepit/krmepit_sha1.h).
    KRMEPIT_SHA1_CTX sha1Context;
    // The result of the last digest operation; MD5 results fill the first 16
    // octets and leave the last 4 as they were.
    unsigned char digest[20];
    // The result of the last Hex2Char.
    std::string hexText;

    // Creates the toolkit object. Throws "CreateCertObject".
    TIPEM_CERT_OBJ();
    ~TIPEM_CERT_OBJ();
    TIPEM_CERT_OBJ(const TIPEM_CERT_OBJ&) = delete;
    TIPEM_CERT_OBJ& operator=(const TIPEM_CERT_OBJ&) = delete;
    TIPEM_CERT_OBJ(TIPEM_CERT_OBJ&& other) noexcept;
    TIPEM_CERT_OBJ& operator=(TIPEM_CERT_OBJ&& other) noexcept;

    // Destroy, then a new toolkit object. Throws "CreateCertObject".
    void Create();
    // Releases the toolkit object; certObject becomes null.
    void Destroy();

    // Stores der/len, loads the certificate and fetches its DER (GetDER).
    // Throws "SetCertDER" with the toolkit status when it does not load (a
    // negative len loads nothing), or "GetCertDER".
    void Set(unsigned char* der, int len);
    // Points der/derLen at the toolkit's DER of the certificate. Throws
    // "GetCertDER".
    void GetDER();
    // Loads the certificate from the caller's field record. Throws
    // "SetCertFields".
    void Set(TCERT_FIELDS* fields);
    // Loads the certificate from `fields`. Throws "SetCertFields".
    void SetFromFields();
    // Fills `fields` (or the caller's record) from the certificate. Throws
    // "GetCertFields".
    void Fields();
    void Fields(TCERT_FIELDS* fields);

    // The RSA modulus size in bits: 8 times its length in octets as the
    // toolkit gives it (no leading zero). Needs Fields(). Throws
    // "B_CreateKeyObject", "SetKeyInfo" (for instance for a key that is not
    // RSA) or "GetKeyInfo".
    int GetModulusSize();
    // MD5 of the issuer name's DER followed by the serial number's content
    // octets. Needs Fields(). Returns `digest`. Throws what
    // TIPEM_NAME_OBJ::SetNameObject throws (also for a name it refuses for a
    // control character in a value; the same for GetSubjectNameHash).
    unsigned char* GetIssuerSerialHash();
    // MD5 of the subject name's DER. Needs Fields(). Returns `digest`.
    unsigned char* GetSubjectNameHash();
    // MD5 of the DER SubjectPublicKeyInfo of `fields`. Returns `digest`.
    unsigned char* GetPublicKeyHash();
    // The same as GetPublicKeyHash (not a digest of the whole certificate).
    unsigned char* GetMD5FingerPrint();
    // SHA-1 of der/derLen (20 octets). Returns `digest`.
    unsigned char* GetSHA1ThumbPrint();
    // Upper-case hexadecimal text of `len` octets in groups of two octets
    // separated by one blank ("0102 0304 05"); "" for len < 1. The text lives
    // in hexText until the next call.
    const char* Hex2Char(unsigned char* data, int len);
};

// A toolkit certificate list, stepped through by index.
class KRTOOLS_API TIPEM_CERT_LIST_OBJ {
public:
    POINTER certListObject;  // owned; null after Destroy
    // The certificate last selected by GetCertByIndex (owned by the list).
    POINTER certObject;
    // The count as last read by Count.
    uint32_t count;
    // The toolkit's flags of the selected certificate (CERT_INFO_...).
    unsigned int certInfo;
    // The selected certificate's DER (list memory).
    unsigned char* der;
    uint32_t derLen;

    // Throws "CreateCertListObject".
    TIPEM_CERT_LIST_OBJ();
    ~TIPEM_CERT_LIST_OBJ();
    TIPEM_CERT_LIST_OBJ(const TIPEM_CERT_LIST_OBJ&) = delete;
    TIPEM_CERT_LIST_OBJ& operator=(const TIPEM_CERT_LIST_OBJ&) = delete;
    TIPEM_CERT_LIST_OBJ(TIPEM_CERT_LIST_OBJ&& other) noexcept;
    TIPEM_CERT_LIST_OBJ& operator=(TIPEM_CERT_LIST_OBJ&& other) noexcept;

    void Create();
    void Destroy();

    // Reads and returns the number of certificates. Throws "GetCertListCount".
    unsigned int Count();
    // Selects the index-th certificate (from 0) and its DER. Throws
    // "GetCertListCert" (also for an index out of range) or "GetCertDER".
    void GetCertByIndex(unsigned int index);
    // Appends the certificates of concatenated DER, all or none; returns how
    // many. Throws "AddCertListDER".
    unsigned int AddDER(const unsigned char* data, int len);
    // Appends the certificates of a PEM text, all or none; returns how many.
    // Throws "AddCertListPEM".
    unsigned int AddPEM(const char* text, int len);
};

// Owns a toolkit attributes object.
class KRTOOLS_API TIPEM_ATTRIBUTES_OBJ {
public:
    POINTER attributesObject;

    // Throws "CreateAttributesObject".
    TIPEM_ATTRIBUTES_OBJ();
    ~TIPEM_ATTRIBUTES_OBJ();
    TIPEM_ATTRIBUTES_OBJ(const TIPEM_ATTRIBUTES_OBJ&) = delete;
    TIPEM_ATTRIBUTES_OBJ& operator=(const TIPEM_ATTRIBUTES_OBJ&) = delete;
    TIPEM_ATTRIBUTES_OBJ(TIPEM_ATTRIBUTES_OBJ&& other) noexcept;
    TIPEM_ATTRIBUTES_OBJ& operator=(TIPEM_ATTRIBUTES_OBJ&& other) noexcept;

    void Create();
    void Destroy();
};

// Owns a toolkit extensions object (created for certificate extensions).
class KRTOOLS_API TIPEM_EXTENSIONS_OBJ {
public:
    POINTER extensionsObject;

    // Throws "CreateExtensionsObject".
    TIPEM_EXTENSIONS_OBJ();
    ~TIPEM_EXTENSIONS_OBJ();
    TIPEM_EXTENSIONS_OBJ(const TIPEM_EXTENSIONS_OBJ&) = delete;
    TIPEM_EXTENSIONS_OBJ& operator=(const TIPEM_EXTENSIONS_OBJ&) = delete;
    TIPEM_EXTENSIONS_OBJ(TIPEM_EXTENSIONS_OBJ&& other) noexcept;
    TIPEM_EXTENSIONS_OBJ& operator=(TIPEM_EXTENSIONS_OBJ&& other) noexcept;

    void Create();
    void Destroy();
};

KRTOOLS_EXTERN_C_BEGIN

// One entry of a NameStruct: a NUL-terminated text and a length. A length
// of 0 (or a null text) marks the entry absent; otherwise the length only
// orders the two street addresses.
typedef struct {
    char* text;
    int32_t length;
} NameStructEntry;

// The components of a long name, in the field order of TIPEM_NAME_OBJ
// without the e-mail address.
typedef struct {
    NameStructEntry country;
    NameStructEntry state;
    NameStructEntry locality;
    NameStructEntry organization;
    NameStructEntry orgUnit;
    NameStructEntry commonName;
    NameStructEntry title;
    NameStructEntry streetAddress1;
    NameStructEntry streetAddress2;
    NameStructEntry postalCode;
} NameStruct;

// Writes the long name of the record (every present text whole, joined by
// periods in the order country, organization, common name, title,
// organizational unit, street addresses, locality, state, postal code) into
// `out`, which must hold all of it and a NUL. The two street addresses are
// ordered by their first min(length1, length2) octets (never compared past
// either text's NUL), then by length, streetAddress1 first when equal.
KRTOOLS_API void NameStructToLongName(char* out, NameStruct* name);

// The same long name written into `out` of `outLen` octets: the same text
// whenever it fits, otherwise its first outLen - 1 octets and a NUL (nothing
// is written when outLen < 1). Returns the length of the whole long name, so
// a result of outLen or more means it was cut.
KRTOOLS_API int NameStructToLongNameN(char* out, int outLen, NameStruct* name);

// Status of the subject alternative name functions for a value that is not
// a SEQUENCE.
#define KR_SAN_NOT_SEQUENCE (-1)
// Status for texts or values outside the short-form limits: an e-mail text,
// an ediPartyName element or the whole sequence of 128 content octets or
// more on encoding; a value longer than 256 octets, a long-form length or an
// element running past its enclosing one on decoding.
#define KR_SAN_TOO_LONG (-2)

// Adds a subject alternative name extension (2.5.29.17) holding `email` as
// rfc822Name and `party` ("assigner_party name", or a party name alone) as
// ediPartyName with TeletexString values, to the toolkit extensions object.
// Null or empty texts are left out; with both left out nothing is added and
// 0 is returned. Every length is checked first: KR_SAN_TOO_LONG leaves the
// object and both texts unchanged. Otherwise the first underscore of `party`
// is overwritten with a NUL. When the object already has the extension
// nothing is added and 0 is returned. Returns 0 or the toolkit's status.
KRTOOLS_API int EncodeSubjectAltNameExtension(POINTER extensions, char* email, char* party);

// Reads the first subject alternative name extension of the toolkit
// extensions object: the last rfc822Name (or [1] IA5String) into `emailOut`
// and the ediPartyName's assigner, an underscore and its party name into
// `partyOut`, both NUL-terminated and emptied first (256 octets each always
// suffice). Other kinds of names are skipped; an ediPartyName element of
// another kind ends that ediPartyName. Returns 0 (also without such an
// extension), KR_SAN_NOT_SEQUENCE, KR_SAN_TOO_LONG (both outputs then
// empty), KM_ERROR_INVALID_ARGUMENT for a null output, or the toolkit's
// status.
KRTOOLS_API int DecodeSubjectAltNameExtension(POINTER extensions, char* emailOut, char* partyOut);

KRTOOLS_EXTERN_C_END

#endif  // KRTOOLS_CERT_H
