// The library's own MD5 against RFC 1321's test suite and libcrypto's MD5.
#include <openssl/evp.h>

#include <random>
#include <string>
#include <vector>

#include "krtools/digest.h"
#include "testutil.h"

namespace {

static_assert(sizeof(AA_MD5_CTX) == 88, "four state words, two count words, 64 octets");

std::string Hex(const unsigned char* data, size_t length) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < length; ++i) {
        text += kDigits[data[i] >> 4];
        text += kDigits[data[i] & 15];
    }
    return text;
}

std::string OurMd5(const std::vector<unsigned char>& data, const std::vector<size_t>& pieces) {
    AA_MD5_CTX context;
    AA_MD5Init(&context);
    size_t offset = 0;
    for (size_t piece : pieces) {
        AA_MD5Update(&context, const_cast<unsigned char*>(data.data()) + offset,
                     static_cast<unsigned int>(piece));
        offset += piece;
    }
    unsigned char digest[16];
    AA_MD5Final(&context, digest);
    return Hex(digest, sizeof digest);
}

std::string LibcryptoMd5(const std::vector<unsigned char>& data) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EXPECT_EQ(EVP_Digest(data.data(), data.size(), digest, &length, EVP_md5(), nullptr), 1);
    return Hex(digest, length);
}

TEST(AA_MD5, Rfc1321TestSuite) {
    const std::pair<const char*, const char*> suite[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
    };
    for (const auto& entry : suite) {
        std::vector<unsigned char> data = testutil::Bytes(entry.first);
        EXPECT_EQ(OurMd5(data, {data.size()}), entry.second) << entry.first;
    }
    std::string digits;
    for (int i = 0; i < 8; ++i) digits += "1234567890";
    std::vector<unsigned char> data = testutil::Bytes(digits);
    EXPECT_EQ(OurMd5(data, {data.size()}), "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(AA_MD5, AgreesWithLibcryptoForEveryLengthAndRandomPieces) {
    std::mt19937 random(12345);
    for (size_t length = 0; length <= 300; ++length) {
        std::vector<unsigned char> data(length);
        for (auto& octet : data) octet = static_cast<unsigned char>(random());
        std::string expected = LibcryptoMd5(data);
        ASSERT_EQ(OurMd5(data, {length}), expected) << "length " << length;

        std::vector<size_t> pieces;
        for (size_t left = length; left > 0;) {
            size_t piece =
                std::uniform_int_distribution<size_t>(0, std::min<size_t>(left, 130))(random);
            pieces.push_back(piece);
            left -= piece;
        }
        pieces.push_back(0);
        ASSERT_EQ(OurMd5(data, pieces), expected) << "length " << length << " in pieces";
    }
}

TEST(AA_MD5, FinalLeavesTheContextReadyForANewDigest) {
    AA_MD5_CTX context;
    AA_MD5Init(&context);
    unsigned char abc[] = {'a', 'b', 'c'};
    unsigned char first[16];
    unsigned char second[16];
    AA_MD5Update(&context, abc, 3);
    AA_MD5Final(&context, first);
    EXPECT_EQ(context.count[0], 0u);
    EXPECT_EQ(context.count[1], 0u);
    AA_MD5Update(&context, abc, 3);
    AA_MD5Final(&context, second);
    EXPECT_EQ(Hex(first, 16), Hex(second, 16));
    EXPECT_EQ(Hex(first, 16), "900150983cd24fb0d6963f7d28e17f72");
}

TEST(AA_MD5, BitCountCarriesIntoTheHighWord) {
    // 2^29 octets are 2^32 bits: the low word wraps to 0 and the high word
    // becomes 1; the padding then still encodes the full length.
    AA_MD5_CTX context;
    AA_MD5Init(&context);
    context.count[0] = 0xFFFFFFF8u;  // 2^29 - 1 octets already counted
    unsigned char octet = 'x';
    AA_MD5Update(&context, &octet, 1);
    EXPECT_EQ(context.count[0], 0u);
    EXPECT_EQ(context.count[1], 1u);
}

}  // namespace
