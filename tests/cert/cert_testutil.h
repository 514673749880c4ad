// Helpers for the certificate and name tests: OpenSSL as the oracle, the
// system certificate bundle as input.
#ifndef KRTOOLS_TESTS_CERT_TESTUTIL_H
#define KRTOOLS_TESTS_CERT_TESTUTIL_H

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <memory>
#include <string>
#include <vector>

#include "testutil.h"

namespace certtest {

struct X509Free {
    void operator()(X509* x) const { X509_free(x); }
};
struct NameFree {
    void operator()(X509_NAME* n) const { X509_NAME_free(n); }
};
using X509Ptr = std::unique_ptr<X509, X509Free>;
using NamePtr = std::unique_ptr<X509_NAME, NameFree>;

inline std::string AsString(const unsigned char* data, size_t length) {
    return std::string(reinterpret_cast<const char*>(data), length);
}

inline const unsigned char* Data(const std::string& bytes) {
    return reinterpret_cast<const unsigned char*>(bytes.data());
}

// The raw DER of every CERTIFICATE block of a PEM text, as written.
inline std::vector<std::string> PemBlocks(const std::string& pem) {
    std::vector<std::string> blocks;
    BIO* bio = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
    char* label = nullptr;
    char* header = nullptr;
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

struct BundleCert {
    std::string file;
    std::string der;
};

// Every certificate of /etc/ssl/certs/*.pem with its exact DER.
inline const std::vector<BundleCert>& Bundle() {
    static const std::vector<BundleCert> bundle = [] {
        std::vector<BundleCert> all;
        for (const std::string& file : testutil::SystemCertificateFiles()) {
            for (const std::string& der : PemBlocks(testutil::ReadFile(file))) {
                all.push_back({file, der});
            }
        }
        return all;
    }();
    return bundle;
}

inline X509Ptr ParseX509(const std::string& der) {
    const unsigned char* p = Data(der);
    return X509Ptr(d2i_X509(nullptr, &p, static_cast<long>(der.size())));
}

inline NamePtr ParseName(const unsigned char* der, size_t length) {
    const unsigned char* p = der;
    NamePtr name(d2i_X509_NAME(nullptr, &p, static_cast<long>(length)));
    if (name && p != der + length) name.reset();
    return name;
}

inline std::string NameDer(const X509_NAME* name) {
    unsigned char* out = nullptr;
    const int length = i2d_X509_NAME(name, &out);
    std::string der = length > 0 ? AsString(out, static_cast<size_t>(length)) : std::string();
    OPENSSL_free(out);
    return der;
}

inline std::string Digest(const EVP_MD* md, const std::string& data) {
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(data.data(), data.size(), out, &length, md, nullptr);
    return AsString(out, length);
}

inline std::string Md5(const std::string& data) { return Digest(EVP_md5(), data); }

// Bytes as text for readable comparisons.
inline std::string Hex(const unsigned char* data, size_t length) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (size_t i = 0; i < length; ++i) {
        text += digits[data[i] >> 4];
        text += digits[data[i] & 15];
    }
    return text;
}

inline std::string Hex(const std::string& bytes) { return Hex(Data(bytes), bytes.size()); }

}  // namespace certtest

#endif  // KRTOOLS_TESTS_CERT_TESTUTIL_H
