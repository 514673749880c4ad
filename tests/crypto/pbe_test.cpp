// KR_PBE: settings checks, the DER headers, the encrypted format and the
// length checks of decryption.
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "krmepit/krmepit_types.h"
#include "pbe_test_util.h"

namespace {

using pbetest::Decrypt;
using pbetest::Encrypt;
using pbetest::Octets;
using pbetest::OpenPbe;

void ExpectThrow(const std::function<void()>& body, int rc, const std::string& text) {
    try {
        body();
        ADD_FAILURE() << "no exception, expected " << text;
    } catch (const KRException& e) {
        EXPECT_EQ(e.rc, rc) << e.text;
        EXPECT_EQ(e.text, text);
    }
}

TEST(KR_PBE, SettersAndOperationsCheckTheirArguments) {
    KR_PBE pbe;
    const unsigned char octet = 'x';
    std::vector<unsigned char> big(65537, 'a');
    const std::string messageLength = "Message length must be a number from 1 to 65536";
    const std::string passwordLength = "Password length must be a number from 1 to 65536";
    const std::string count = "Iteration count must be a number from 1 to 65536";
    ExpectThrow([&] { pbe.Encrypt(); }, -1, "KR_PBE::Encrypt\nMessage pointer cannot be NULL");
    ExpectThrow([&] { pbe.Decrypt(); }, -1, "KR_PBE::Decrypt\nMessage pointer cannot be NULL");
    ExpectThrow([&] { pbe.SetMessage(nullptr, 5); }, -1,
                "KR_PBE::SetMessage\nMessage pointer cannot be NULL");
    ExpectThrow([&] { pbe.SetMessage(&octet, 0); }, -2, "KR_PBE::SetMessage\n" + messageLength);
    ExpectThrow([&] { pbe.SetMessage(big.data(), 65537); }, -2,
                "KR_PBE::SetMessage\n" + messageLength);
    pbe.SetMessage(big.data(), 65536);
    ExpectThrow([&] { pbe.Decrypt(); }, -3, "KR_PBE::Decrypt\nPassword pointer cannot be NULL");
    ExpectThrow([&] { pbe.SetPassword(nullptr, 1); }, -3,
                "KR_PBE::SetPassword\nPassword pointer cannot be NULL");
    ExpectThrow([&] { pbe.SetPassword(&octet, 0); }, -4, "KR_PBE::SetPassword\n" + passwordLength);
    ExpectThrow([&] { pbe.SetPassword(big.data(), 65537); }, -4,
                "KR_PBE::SetPassword\n" + passwordLength);
    pbe.SetPassword(big.data(), 65536);
    ExpectThrow([&] { pbe.SetPbeAlg(1); }, -5,
                "KR_PBE::SetPbeAlg\nInvalid password-based encryption algorithm");
    pbe.SetPbeAlg(0);
    for (int bad : {-1, 0, 65537}) {
        ExpectThrow([&] { pbe.SetIterationCount(bad); }, -6, "KR_PBE::SetIterationCount\n" + count);
    }
    pbe.SetIterationCount(65536);
}

TEST(KR_PBE, EncryptIsDeterministicAndDecryptRestoresEveryLength) {
    // Base64 text of up to 65536 characters: messages up to about 49000 octets.
    for (size_t length : {1, 7, 8, 9, 100, 1000, 49000}) {
        std::string message(length, '\0');
        for (size_t i = 0; i < length; ++i) message[i] = static_cast<char>(i * 7 + length);
        std::string text = Encrypt(message, "secret");
        EXPECT_EQ(text, Encrypt(message, "secret"));
        EXPECT_NE(text, Encrypt(message, "secret", 999));
        EXPECT_NE(text, Encrypt(message, "Secret"));
        ASSERT_EQ(text[0], 'M');
        EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos);
        EXPECT_EQ(Decrypt(text, "secret"), message) << length;
    }
}

TEST(KR_PBE, CreateTagWritesShortAndLongForms) {
    OpenPbe pbe;
    struct Case {
        unsigned char tag;
        unsigned int length;
        std::vector<unsigned char> expected;
    };
    const Case cases[] = {
        {0x04, 0, {0x04, 0x00}},
        {0x04, 127, {0x04, 0x7F}},
        {0x04, 128, {0x04, 0x81, 0x80}},
        {0x04, 255, {0x04, 0x81, 0xFF}},
        {0x30, 256, {0x30, 0x82, 0x01, 0x00}},
        {0x04, 65535, {0x04, 0x82, 0xFF, 0xFF}},
        {0x04, 65536, {0x04, 0x83, 0x01, 0x00, 0x00}},
        {0x04, 16777216, {0x04, 0x84, 0x01, 0x00, 0x00, 0x00}},
    };
    for (const Case& c : cases) {
        unsigned char out[6];
        unsigned int outLength = 0;
        pbe.CreateTag(c.tag, c.length, out, &outLength);
        EXPECT_EQ(std::vector<unsigned char>(out, out + outLength), c.expected) << c.length;
    }
}

TEST(KR_PBE, ParseTagReadsHeadersAndRefusesOthers) {
    OpenPbe pbe;
    const unsigned char shortForm[] = {0x30, 0x05, 0, 0};
    unsigned int length = 4;
    EXPECT_EQ(pbe.ParseTag(shortForm, &length), 5u);
    EXPECT_EQ(length, 2u);
    const unsigned char twoOctets[] = {0x30, 0x82, 0x01, 0x02};
    length = 4;
    EXPECT_EQ(pbe.ParseTag(twoOctets, &length), 258u);
    EXPECT_EQ(length, 4u);

    const std::string where = "KR_PBE::ParseTag\n";
    length = 2;
    ExpectThrow([&] { pbe.ParseTag(shortForm, &length); }, -7,
                where + "ASN1 tag is NULL or its length is < 4");
    length = 10;
    ExpectThrow([&] { pbe.ParseTag(nullptr, &length); }, -7,
                where + "ASN1 tag is NULL or its length is < 4");
    const unsigned char indefinite[] = {0x30, 0x80, 0, 0};
    length = 4;
    ExpectThrow([&] { pbe.ParseTag(indefinite, &length); }, -8,
                where + "ASN1 indefinite length tag not supported");
    const unsigned char threeOctets[] = {0x30, 0x83, 0x01, 0x00};
    length = 4;
    ExpectThrow([&] { pbe.ParseTag(threeOctets, &length); }, -9,
                where + "Too many ASN1 length bytes in tag (> 2)");
}

TEST(KR_PBE, LargestMessageEncryptsButNeedsThreeLengthOctets) {
    std::string message(65536, 'z');
    testutil::TempDir dir;
    std::string der = pbetest::OpensslBase64Decode(dir, Encrypt(message, "pw", 1));
    ASSERT_EQ(der.substr(0, 2), "\x30\x83");
    ExpectThrow([&] { Decrypt(der.substr(0, 65536), "pw"); }, -9,
                "KR_PBE::ParseTag\nToo many ASN1 length bytes in tag (> 2)");
}

std::string Bytes(std::initializer_list<int> octets) {
    std::string text;
    for (int octet : octets) text += static_cast<char>(octet);
    return text;
}

TEST(KR_PBE, DecryptRefusesLengthsBeyondTheData) {
    const std::string lengthError =
        "KR_PBE::Decrypt\nASN1 length = 0 or greater than length of data";
    // Empty SEQUENCE; SEQUENCE longer than the data.
    ExpectThrow([] { Decrypt(Bytes({0x30, 0x00, 0x30, 0x00}), "pw"); }, -10, lengthError);
    ExpectThrow(
        [] {
            Decrypt(Bytes({0x30, 0x09, 0x30, 0x00, 0x04, 0x01}), "pw");
        },
        -10, lengthError);
    // An identifier that claims more than is left makes the remaining count
    // negative.
    ExpectThrow(
        [] {
            Decrypt(Bytes({0x30, 0x05, 0x30, 0x7F, 0x00, 0x00, 0x00}), "pw");
        },
        -10, lengthError);
    ExpectThrow(
        [] {
            Decrypt(Bytes({0x30, 0x06, 0x30, 0x82, 0xFF, 0xFF, 0x04, 0x01}), "pw");
        },
        -10, lengthError);
    // Identifier that ends the data exactly.
    ExpectThrow(
        [] {
            Decrypt(Bytes({0x30, 0x04, 0x30, 0x02, 0x05, 0x00}), "pw");
        },
        -10, lengthError);
    // Ciphertext empty, or longer than what is left.
    ExpectThrow(
        [] {
            Decrypt(Bytes({0x30, 0x06, 0x30, 0x00, 0x04, 0x00, 0x00, 0x00}), "pw");
        },
        -10, lengthError);
    ExpectThrow(
        [] {
            Decrypt(Bytes({0x30, 0x06, 0x30, 0x00, 0x04, 0x05, 0x00, 0x00}), "pw");
        },
        -10, lengthError);
    // Fewer than 4 octets left for the OCTET STRING header.
    ExpectThrow(
        [] {
            Decrypt(Bytes({0x30, 0x05, 0x30, 0x00, 0x04, 0x01, 0x00}), "pw");
        },
        -7, "KR_PBE::ParseTag\nASN1 tag is NULL or its length is < 4");
}

TEST(KR_PBE, DecryptReportsTheToolkitForAMalformedIdentifier) {
    // Lengths are consistent but the identifier is not an AlgorithmIdentifier.
    ExpectThrow(
        [] {
            Decrypt(Bytes({0x30, 0x0E, 0x30, 0x02, 0x05, 0x00, 0x04, 0x08, 1, 2, 3, 4, 5, 6, 7, 8}),
                    "pw");
        },
        KM_ERROR_DATA, "KR_PBE::Decrypt\nB_SetAlgorithmInfo");
}

}  // namespace
