// KR_PBE: argument checks, the DER headers, round trips and the length
// checks of decryption.
#include "crypto_test_util.h"
#include "krmepit/krmepit_types.h"

namespace {

using ctest::ExpectThrow;
using ctest::Pbe;

TEST(KR_PBE, ArgumentErrorsHaveTheirCodesAndTexts) {
    const unsigned char x = 'x';
    static const std::vector<unsigned char> big(65537, 'a');
    const std::string message = "Message length must be a number from 1 to 65536";
    const std::string password = "Password length must be a number from 1 to 65536";
    const std::string count =
        "KR_PBE::SetIterationCount\nIteration count must be a number from 1 to 65536";
    const struct {
        std::function<void(KR_PBE&)> call;
        int rc;
        std::string text;
    } cases[] = {
        {[](KR_PBE& p) { p.Encrypt(); }, -1, "KR_PBE::Encrypt\nMessage pointer cannot be NULL"},
        {[](KR_PBE& p) { p.Decrypt(); }, -1, "KR_PBE::Decrypt\nMessage pointer cannot be NULL"},
        {[](KR_PBE& p) { p.SetMessage(nullptr, 5); }, -1,
         "KR_PBE::SetMessage\nMessage pointer cannot be NULL"},
        {[&](KR_PBE& p) { p.SetMessage(&x, 0); }, -2, "KR_PBE::SetMessage\n" + message},
        {[](KR_PBE& p) { p.SetMessage(big.data(), 65537); }, -2, "KR_PBE::SetMessage\n" + message},
        {[&](KR_PBE& p) { p.SetMessage(&x, 1), p.Decrypt(); }, -3,
         "KR_PBE::Decrypt\nPassword pointer cannot be NULL"},
        {[&](KR_PBE& p) { p.SetMessage(&x, 1), p.Encrypt(); }, -3,
         "KR_PBE::Encrypt\nPassword pointer cannot be NULL"},
        {[](KR_PBE& p) { p.SetPassword(nullptr, 1); }, -3,
         "KR_PBE::SetPassword\nPassword pointer cannot be NULL"},
        {[&](KR_PBE& p) { p.SetPassword(&x, 0); }, -4, "KR_PBE::SetPassword\n" + password},
        {[](KR_PBE& p) { p.SetPassword(big.data(), 65537); }, -4,
         "KR_PBE::SetPassword\n" + password},
        {[](KR_PBE& p) { p.SetPbeAlg(1); }, -5,
         "KR_PBE::SetPbeAlg\nInvalid password-based encryption algorithm"},
        {[](KR_PBE& p) { p.SetIterationCount(-1); }, -6, count},
        {[](KR_PBE& p) { p.SetIterationCount(0); }, -6, count},
        {[](KR_PBE& p) { p.SetIterationCount(65537); }, -6, count},
    };
    for (const auto& c : cases) {
        KR_PBE pbe;
        ExpectThrow([&] { c.call(pbe); }, c.rc, c.text);
    }
    KR_PBE pbe;  // the largest values are accepted
    pbe.SetMessage(big.data(), 65536);
    pbe.SetPassword(big.data(), 65536);
    pbe.SetPbeAlg(0);
    pbe.SetIterationCount(65536);
}

TEST(KR_PBE, EncryptIsDeterministicAndDecryptRestoresEveryLength) {
    // Base64 text of up to 65536 characters: messages up to about 49000 octets.
    for (size_t length : {1, 7, 8, 9, 100, 1000, 49000}) {
        std::string message(length, '\0');
        for (size_t i = 0; i < length; ++i) message[i] = static_cast<char>(i * 7 + length);
        const std::string text = Pbe(false, message, "secret");
        EXPECT_EQ(text, Pbe(false, message, "secret"));
        EXPECT_NE(text, Pbe(false, message, "secret", 999));
        EXPECT_NE(text, Pbe(false, message, "Secret"));
        ASSERT_EQ(text[0], 'M');
        EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos);
        EXPECT_EQ(Pbe(true, text, "secret"), message) << length;
    }
}

TEST(KR_PBE, CreateTagWritesShortAndLongForms) {
    struct OpenPbe : KR_PBE {
        using KR_PBE::CreateTag;
    } pbe;
    const std::pair<unsigned int, const char*> cases[] = {
        {0, "0400"},       {127, "047f"},       {128, "048180"},       {255, "0481ff"},
        {256, "30820100"}, {65535, "0482ffff"}, {65536, "0483010000"}, {16777216, "048401000000"},
    };
    for (const auto& [length, hex] : cases) {
        unsigned char out[6];
        unsigned int outLength = 0;
        pbe.CreateTag(ctest::FromHex(hex)[0], length, out, &outLength);
        EXPECT_EQ(ctest::Hex(out, outLength), hex) << length;
    }
}

TEST(KR_PBE, DecryptRefusesBadHeadersAndLengths) {
    const std::string length = "KR_PBE::Decrypt\nASN1 length = 0 or greater than length of data";
    const std::string tag = "KR_PBE::ParseTag\n";
    const struct {
        const char* hex;
        const char* why;
        int rc;
        std::string text;
    } cases[] = {
        {"3005", "under 4 octets for the SEQUENCE header", -7,
         tag + "ASN1 tag is NULL or its length is < 4"},
        {"30800000", "indefinite length", -8, tag + "ASN1 indefinite length tag not supported"},
        {"30830100", "three length octets", -9, tag + "Too many ASN1 length bytes in tag (> 2)"},
        {"30003000", "empty SEQUENCE", -10, length},
        {"300930000401", "SEQUENCE longer than the data", -10, length},
        {"3005307f000000", "identifier longer than what is left", -10, length},
        {"30063082ffff0401", "two-octet identifier length too long", -10, length},
        {"300430020500", "identifier ends the data", -10, length},
        {"3006300004000000", "empty ciphertext", -10, length},
        {"3006300004050000", "ciphertext longer than what is left", -10, length},
        {"30053000040100", "under 4 octets for the OCTET STRING header", -7,
         tag + "ASN1 tag is NULL or its length is < 4"},
        {"300e3002050004080102030405060708", "not an AlgorithmIdentifier", KM_ERROR_DATA,
         "KR_PBE::Decrypt\nB_SetAlgorithmInfo"},
    };
    for (const auto& c : cases) {
        const ctest::Bytes der = ctest::FromHex(c.hex);
        SCOPED_TRACE(c.why);
        ExpectThrow([&] { Pbe(true, std::string(der.begin(), der.end()), "pw"); }, c.rc, c.text);
    }
    testutil::TempDir dir;  // the largest message encrypts, but its SEQUENCE needs 3 length octets
    const std::string der =
        ctest::OpensslBase64Decode(dir, Pbe(false, std::string(65536, 'z'), "pw", 1));
    ASSERT_EQ(der.substr(0, 2), "\x30\x83");
    ExpectThrow([&] { Pbe(true, der.substr(0, 65536), "pw"); }, -9,
                tag + "Too many ASN1 length bytes in tag (> 2)");
}

}  // namespace
