// Helpers of the password-based encryption tests: KR_PBE with its protected
// steps reachable, and openssl command-line fixtures.
#ifndef KRTOOLS_TESTS_CRYPTO_PBE_TEST_UTIL_H
#define KRTOOLS_TESTS_CRYPTO_PBE_TEST_UTIL_H

#include <string>
#include <vector>

#include "krtools/pbe.h"
#include "testutil.h"

namespace pbetest {

class OpenPbe : public KR_PBE {
public:
    using KR_PBE::CreateTag;
    using KR_PBE::ParseTag;
};

inline const unsigned char* Octets(const std::string& text) {
    return reinterpret_cast<const unsigned char*>(text.data());
}

inline std::string Result(KR_PBE& pbe) {
    return std::string(reinterpret_cast<const char*>(pbe.GetResult()),
                       static_cast<size_t>(pbe.GetResultLen()));
}

inline std::string Encrypt(const std::string& message, const std::string& password,
                           int iterations = 1000) {
    KR_PBE pbe;
    pbe.SetMessage(Octets(message), static_cast<unsigned int>(message.size()));
    pbe.SetPassword(Octets(password), static_cast<unsigned int>(password.size()));
    pbe.SetIterationCount(iterations);
    pbe.Encrypt();
    return Result(pbe);
}

inline std::string Decrypt(const std::string& data, const std::string& password) {
    KR_PBE pbe;
    pbe.SetMessage(Octets(data), static_cast<unsigned int>(data.size()));
    pbe.SetPassword(Octets(password), static_cast<unsigned int>(password.size()));
    pbe.Decrypt();
    return Result(pbe);
}

// Base64 decoding by the openssl command line.
inline std::string OpensslBase64Decode(const testutil::TempDir& dir, const std::string& text) {
    testutil::WriteFile(dir.File("b64.txt"), text);
    return testutil::Run("openssl base64 -d -A -in " + testutil::ShellQuote(dir.File("b64.txt")))
        .output;
}

// A fresh RSA key as a DER PrivateKeyInfo, written by openssl.
inline std::string PrivateKeyInfo(const testutil::TempDir& dir, int bits) {
    std::string pem = dir.File("key.pem");
    testutil::Run("openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:" +
                  std::to_string(bits) + " -out " + testutil::ShellQuote(pem) + " 2>/dev/null");
    return testutil::Run("openssl pkcs8 -topk8 -nocrypt -outform DER -in " +
                         testutil::ShellQuote(pem))
        .output;
}

// The body of a PEM text: the lines between the BEGIN and END lines, line
// feeds kept.
inline std::string PemBody(const std::string& pem) {
    size_t begin = pem.find('\n');
    size_t end = pem.find("-----END");
    if (begin == std::string::npos || end == std::string::npos || end < begin) return "";
    return pem.substr(begin + 1, end - begin - 1);
}

}  // namespace pbetest

#endif  // KRTOOLS_TESTS_CRYPTO_PBE_TEST_UTIL_H
