// Helpers shared by the stream tests: random data and independent encoders.
#ifndef KRTOOLS_TESTS_STREAM_TESTUTIL_H
#define KRTOOLS_TESTS_STREAM_TESTUTIL_H

#include <openssl/evp.h>

#include <random>
#include <string>
#include <vector>

namespace streamtest {

inline std::string RandomBytes(std::mt19937& rng, size_t length) {
    std::string data(length, '\0');
    for (char& c : data) c = char(rng() & 0xFF);
    return data;
}

// Base64 of `data` in one line with "=" padding, by OpenSSL.
inline std::string OpensslBase64(const std::string& data) {
    std::vector<unsigned char> out(4 * ((data.size() + 2) / 3) + 1);
    int n = EVP_EncodeBlock(out.data(), reinterpret_cast<const unsigned char*>(data.data()),
                            int(data.size()));
    return std::string(out.begin(), out.begin() + n);
}

}  // namespace streamtest

#endif  // KRTOOLS_TESTS_STREAM_TESTUTIL_H
