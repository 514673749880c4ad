// Helpers for the certificate and name tests: OpenSSL as the oracle, the
// system certificate bundle and demo/sample-cert.pem as input.
#ifndef KRTOOLS_TESTS_CERT_TESTUTIL_H
#define KRTOOLS_TESTS_CERT_TESTUTIL_H

#include <openssl/pem.h>
#include <openssl/x509.h>

#include <memory>
#include <string>
#include <vector>

#include "krtools/cert.h"
#include "testutil.h"

namespace certtest {

struct Free {
    void operator()(X509* x) const { X509_free(x); }
    void operator()(X509_NAME* n) const { X509_NAME_free(n); }
};
using X509Ptr = std::unique_ptr<X509, Free>;
using NamePtr = std::unique_ptr<X509_NAME, Free>;

inline std::string AsString(const unsigned char* data, size_t length) {
    return std::string(reinterpret_cast<const char*>(data), length);
}
inline std::string Text(const ASN1_STRING* s) {
    return AsString(ASN1_STRING_get0_data(s), static_cast<size_t>(ASN1_STRING_length(s)));
}
inline const unsigned char* Data(const std::string& bytes) {
    return reinterpret_cast<const unsigned char*>(bytes.data());
}

// The raw DER of every CERTIFICATE block of a PEM text, as written.
inline std::vector<std::string> PemBlocks(const std::string& pem) {
    std::vector<std::string> blocks;
    BIO* bio = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
    char *label = nullptr, *header = nullptr;
    unsigned char* data = nullptr;
    long length = 0;
    while (PEM_read_bio(bio, &label, &header, &data, &length) == 1) {
        if (std::string(label) == "CERTIFICATE") blocks.push_back(AsString(data, length));
        OPENSSL_free(label);
        OPENSSL_free(header);
        OPENSSL_free(data);
    }
    BIO_free(bio);
    return blocks;
}

// The eleven name fields keyed by OpenSSL short name ("street1"/"street2").
using N = TIPEM_NAME_OBJ;
inline TIPEM_NAME_AVA N::*const kNameFields[] = {
    &N::country,        &N::state,      &N::locality,    &N::organization,
    &N::orgUnit,        &N::commonName, &N::title,       &N::streetAddress1,
    &N::streetAddress2, &N::postalCode, &N::emailAddress};
inline const std::string kNameKeys[] = {
    "C", "ST", "L", "O", "OU", "CN", "title", "street1", "street2", "postalCode", "emailAddress"};

// Sets fields given as "key=value".
inline void Fill(TIPEM_NAME_OBJ& name, const std::vector<std::string>& settings) {
    for (const std::string& setting : settings) {
        const size_t at = setting.find('=');
        for (size_t i = 0; i < 11; ++i) {
            if (kNameKeys[i] == setting.substr(0, at))
                name.*kNameFields[i] = setting.substr(at + 1).c_str();
        }
    }
}

inline const std::string kSamplePem = std::string(KRTOOLS_SOURCE_DIR) + "/demo/sample-cert.pem";
inline std::string SampleDer() { return PemBlocks(testutil::ReadFile(kSamplePem)).at(0); }

struct BundleCert {
    std::string file, der;
};

// Every certificate of /etc/ssl/certs/*.pem with its exact DER.
inline const std::vector<BundleCert>& Bundle() {
    static const std::vector<BundleCert> bundle = [] {
        std::vector<BundleCert> all;
        for (const std::string& file : testutil::SystemCertificateFiles()) {
            for (const std::string& der : PemBlocks(testutil::ReadFile(file)))
                all.push_back({file, der});
        }
        return all;
    }();
    return bundle;
}

// Loads `der` (which must outlive the object) and fills the fields.
inline void Load(TIPEM_CERT_OBJ& cert, std::string& der) {
    cert.Set(reinterpret_cast<unsigned char*>(&der[0]), static_cast<int>(der.size()));
    cert.Fields();
}

// The exception `call` throws; text "no exception" when it throws none.
template <typename Call>
KRException Thrown(Call call) {
    try {
        call();
    } catch (const KRException& e) {
        return e;
    }
    return KRException(0, "no exception");
}

inline X509Ptr ParseX509(const std::string& der) {
    const unsigned char* p = Data(der);
    return X509Ptr(d2i_X509(nullptr, &p, static_cast<long>(der.size())));
}

inline NamePtr ParseName(const unsigned char* der, size_t length) {
    const unsigned char* p = der;
    NamePtr name(d2i_X509_NAME(nullptr, &p, static_cast<long>(length)));
    return p == der + length ? std::move(name) : nullptr;
}

template <typename T, typename Encoder>
std::string Der(const T* object, Encoder i2d) {
    unsigned char* out = nullptr;
    const int length = i2d(object, &out);
    std::string der = length > 0 ? AsString(out, static_cast<size_t>(length)) : std::string();
    OPENSSL_free(out);
    return der;
}
inline std::string NameDer(const X509_NAME* name) { return Der(name, i2d_X509_NAME); }
inline std::string PublicKeyDer(const X509* x509) {
    return Der(X509_get0_pubkey(x509), i2d_PUBKEY);
}

inline std::string Digest(const EVP_MD* md, const std::string& data) {
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(data.data(), data.size(), out, &length, md, nullptr);
    return AsString(out, length);
}
inline std::string Md5(const std::string& data) { return Digest(EVP_md5(), data); }

inline std::string Hex(const unsigned char* data, size_t length) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (size_t i = 0; i < length; ++i) text += {digits[data[i] >> 4], digits[data[i] & 15]};
    return text;
}
inline std::string Hex(const std::string& bytes) { return Hex(Data(bytes), bytes.size()); }

}  // namespace certtest

#endif  // KRTOOLS_TESTS_CERT_TESTUTIL_H
