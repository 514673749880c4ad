// Certificate field extraction (TIPEM_CERT_OBJ, TIPEM_NAME_OBJ) against
// OpenSSL's X509 getters on the same octets: the same accept/reject, and
// for an accepted certificate the same version, serial number content
// octets, signature algorithm, validity, issuer and subject encodings and
// attributes, public key, signature and SHA-1 thumbprint.
#include <openssl/asn1.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/x509.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "krtools/cert.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

template <typename T, typename Encoder>
std::string Der(const T* object, Encoder encode) {
    unsigned char* out = nullptr;
    const int length = encode(object, &out);
    std::string der = length > 0 ? std::string(reinterpret_cast<char*>(out), length) : "";
    OPENSSL_free(out);
    return der;
}

std::string Octets(const ITEM& item) {
    return item.len == 0 ? "" : std::string(reinterpret_cast<const char*>(item.data), item.len);
}

std::string Octets(const unsigned char* data, size_t length) {
    return std::string(reinterpret_cast<const char*>(data), length);
}

std::string NameDer(POINTER name) {
    unsigned char* der = nullptr;
    unsigned int length = 0;
    Check(GetNameDER(&der, &length, name, nullptr) == 0);
    return Octets(der, length);
}

// The validity field against OpenSSL's reading of the time; a time OpenSSL
// cannot read is not compared.
void CheckTime(long seconds, const ASN1_TIME* time) {
    std::tm tm;
    if (ASN1_TIME_to_tm(time, &tm) != 1) return;
    Check(seconds == static_cast<long>(timegm(&tm)));
}

// The attributes of the parsed name against the X509_NAME entries; a name
// refused for a control character must hold one.
void CheckName(POINTER name, const X509_NAME* expected) {
    TIPEM_NAME_OBJ parsed;
    try {
        parsed.SetNameObject(static_cast<unsigned char*>(name));
    } catch (const KRException& e) {
        Check(e.text == "GetNameAVA" && e.rc == KM_ERROR_DATA);
        return;
    }
    Check(parsed.avaList.size() == static_cast<size_t>(X509_NAME_entry_count(expected)));
    for (size_t i = 0; i < parsed.avaList.size(); ++i) {
        const X509_NAME_ENTRY* entry = X509_NAME_get_entry(expected, static_cast<int>(i));
        const ASN1_OBJECT* type = X509_NAME_ENTRY_get_object(entry);
        const ASN1_STRING* value = X509_NAME_ENTRY_get_data(entry);
        const TIPEM_NAME_AVA& ava = parsed.avaList[i];
        Check(Octets(ava.type, ava.typeLen) == Octets(OBJ_get0_data(type), OBJ_length(type)));
        Check(ava.valueTag == ASN1_STRING_type(value));
        if (ava.valueTag != V_ASN1_BMPSTRING) {
            Check(ava.value == Octets(ASN1_STRING_get0_data(value), ASN1_STRING_length(value)));
        }
    }
}

void CheckFields(TIPEM_CERT_OBJ& cert, X509* x509) {
    cert.Fields();
    const TCERT_FIELDS& f = cert.fields;
    Check(f.version == X509_get_version(x509));
    const std::string serial = Der(X509_get0_serialNumber(x509), i2d_ASN1_INTEGER);
    Check(serial.size() >= 2);
    const size_t header = (serial[1] & 0x80) ? 2 + (serial[1] & 0x7F) : 2;
    Check(Octets(f.serialNumber) == serial.substr(header));
    Check(Octets(f.signatureAlgorithm) == Der(X509_get0_tbs_sigalg(x509), i2d_X509_ALGOR));
    CheckTime(f.notBefore, X509_get0_notBefore(x509));
    CheckTime(f.notAfter, X509_get0_notAfter(x509));
    Check(NameDer(f.issuerName) == Der(X509_get_issuer_name(x509), i2d_X509_NAME));
    Check(NameDer(f.subjectName) == Der(X509_get_subject_name(x509), i2d_X509_NAME));
    Check(Octets(f.publicKey) == Der(X509_get_X509_PUBKEY(x509), i2d_X509_PUBKEY));
    const ASN1_BIT_STRING* signature = nullptr;
    X509_get0_signature(&signature, nullptr, x509);
    Check(Octets(f.signature) ==
          Octets(ASN1_STRING_get0_data(signature), ASN1_STRING_length(signature)));
    CheckName(f.issuerName, X509_get_issuer_name(x509));
    CheckName(f.subjectName, X509_get_subject_name(x509));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65536) return 0;
    const unsigned char* p = data;
    X509* x509 = d2i_X509(nullptr, &p, static_cast<long>(size));
    std::vector<unsigned char> bytes(data, data + size);
    TIPEM_CERT_OBJ cert;
    bool loaded = true;
    try {
        cert.Set(bytes.data(), static_cast<int>(bytes.size()));
    } catch (const KRException& e) {
        Check(e.text == "SetCertDER");
        loaded = false;
    }
    Check(loaded == (x509 != nullptr));
    if (x509 != nullptr) {
        const size_t consumed = static_cast<size_t>(p - data);
        Check(cert.derLen == consumed && std::memcmp(cert.der, data, consumed) == 0);
        unsigned char sha1[20];
        Check(EVP_Digest(data, consumed, sha1, nullptr, EVP_sha1(), nullptr) == 1);
        Check(std::memcmp(cert.GetSHA1ThumbPrint(), sha1, 20) == 0);
        CheckFields(cert, x509);
        X509_free(x509);
    }
    return 0;
}
