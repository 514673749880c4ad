// TIPEM_CERT_OBJ: a toolkit certificate object and the identifiers used to
// find certificates (issuer-serial, subject-name and public-key digests, the
// SHA-1 thumbprint).
#include <cstdio>
#include <cstring>
#include <utility>

#include "krtools/cert.h"

namespace {

void Check(int status, const char* call) {
    if (status != KM_OK) throw KRException(status, call);
}

}  // namespace

TIPEM_CERT_OBJ::TIPEM_CERT_OBJ()
    : certObject(nullptr),
      der(nullptr),
      derLen(0),
      fields(),
      md5Context(),
      sha1Context(),
      digest() {
    Create();
}

TIPEM_CERT_OBJ::~TIPEM_CERT_OBJ() { Destroy(); }

TIPEM_CERT_OBJ::TIPEM_CERT_OBJ(TIPEM_CERT_OBJ&& other) noexcept
    : certObject(other.certObject),
      der(other.der),
      derLen(other.derLen),
      fields(other.fields),
      md5Context(other.md5Context),
      sha1Context(other.sha1Context),
      hexText(std::move(other.hexText)) {
    std::memcpy(digest, other.digest, sizeof digest);
    other.certObject = nullptr;
    other.der = nullptr;
    other.derLen = 0;
    other.fields = TCERT_FIELDS();
}

TIPEM_CERT_OBJ& TIPEM_CERT_OBJ::operator=(TIPEM_CERT_OBJ&& other) noexcept {
    if (this == &other) return *this;
    Destroy();
    certObject = other.certObject;
    der = other.der;
    derLen = other.derLen;
    fields = other.fields;
    md5Context = other.md5Context;
    sha1Context = other.sha1Context;
    std::memcpy(digest, other.digest, sizeof digest);
    hexText = std::move(other.hexText);
    other.certObject = nullptr;
    other.der = nullptr;
    other.derLen = 0;
    other.fields = TCERT_FIELDS();
    return *this;
}

void TIPEM_CERT_OBJ::Create() {
    Destroy();
    Check(CreateCertObject(&certObject), "CreateCertObject");
}

void TIPEM_CERT_OBJ::Destroy() {
    DestroyCertObject(&certObject);
    certObject = nullptr;
}

void TIPEM_CERT_OBJ::Set(unsigned char* data, int len) {
    der = data;
    derLen = static_cast<uint32_t>(len);
    ITEM record{der, len > 0 ? static_cast<unsigned int>(len) : 0u};
    Check(SetCertBER(certObject, &record, nullptr), "SetCertDER");
    GetDER();
}

void TIPEM_CERT_OBJ::GetDER() {
    ITEM record{der, derLen};
    Check(GetCertDER(&record, certObject, nullptr), "GetCertDER");
    der = record.data;
    derLen = record.len;
}

void TIPEM_CERT_OBJ::Set(TCERT_FIELDS* from) {
    Check(SetCertFields(certObject, from, nullptr), "SetCertFields");
}

void TIPEM_CERT_OBJ::SetFromFields() {
    Check(SetCertFields(certObject, &fields, nullptr), "SetCertFields");
}

void TIPEM_CERT_OBJ::Fields() {
    Check(GetCertFields(&fields, certObject, nullptr), "GetCertFields");
}

void TIPEM_CERT_OBJ::Fields(TCERT_FIELDS* into) {
    Check(GetCertFields(into, certObject, nullptr), "GetCertFields");
}

int TIPEM_CERT_OBJ::GetModulusSize() {
    BSAFE_B_KEY_OBJ key;
    Check(B_SetKeyInfo(key.handle, KI_RSAPublicBER, &fields.publicKey), "SetKeyInfo");
    POINTER info = nullptr;
    Check(B_GetKeyInfo(&info, key.handle, KI_RSAPublic), "GetKeyInfo");
    return static_cast<int>(static_cast<A_RSA_KEY*>(info)->modulus.len * 8);
}

unsigned char* TIPEM_CERT_OBJ::GetIssuerSerialHash() {
    TIPEM_NAME_OBJ issuer;
    issuer.SetNameObject(static_cast<unsigned char*>(fields.issuerName));
    AA_MD5Init(&md5Context);
    AA_MD5Update(&md5Context, issuer.der, issuer.derLen);
    AA_MD5Update(&md5Context, fields.serialNumber.data, fields.serialNumber.len);
    AA_MD5Final(&md5Context, digest);
    return digest;
}

unsigned char* TIPEM_CERT_OBJ::GetSubjectNameHash() {
    TIPEM_NAME_OBJ subject;
    subject.SetNameObject(static_cast<unsigned char*>(fields.subjectName));
    AA_MD5Init(&md5Context);
    AA_MD5Update(&md5Context, subject.der, subject.derLen);
    AA_MD5Final(&md5Context, digest);
    return digest;
}

unsigned char* TIPEM_CERT_OBJ::GetPublicKeyHash() {
    AA_MD5Init(&md5Context);
    AA_MD5Update(&md5Context, fields.publicKey.data, fields.publicKey.len);
    AA_MD5Final(&md5Context, digest);
    return digest;
}

unsigned char* TIPEM_CERT_OBJ::GetMD5FingerPrint() { return GetPublicKeyHash(); }

unsigned char* TIPEM_CERT_OBJ::GetSHA1ThumbPrint() {
    KRMEPIT_SHA1Init(&sha1Context);
    KRMEPIT_SHA1Update(&sha1Context, der, derLen);
    KRMEPIT_SHA1Final(digest, &sha1Context);
    return digest;
}

const char* TIPEM_CERT_OBJ::Hex2Char(unsigned char* data, int len) {
    hexText.clear();
    for (int i = 0; i < len; ++i) {
        if (i > 0 && i % 2 == 0) hexText += ' ';
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02X", static_cast<unsigned>(data[i]));
        hexText += pair;
    }
    return hexText.c_str();
}
