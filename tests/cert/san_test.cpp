// The subject alternative name extension: values checked by OpenSSL's
// GeneralNames decoder, and values made by OpenSSL decoded by ours.
#include <gtest/gtest.h>
#include <openssl/x509v3.h>

#include <cstring>

#include "cert_testutil.h"
#include "krtools/cert.h"

namespace {

const unsigned char kSanOid[3] = {0x55, 0x1D, 0x11};

// The first value of the only extension of an extensions object.
std::string OnlyValue(POINTER extensions) {
    unsigned int count = 0;
    EXPECT_EQ(GetExtensionCount(&count, extensions), 0);
    EXPECT_EQ(count, 1u);
    ITEM* value = nullptr;
    if (GetExtensionValue(&value, extensions, 0, 0) != 0) return "";
    return certtest::AsString(value->data, value->len);
}

// Puts a raw value into a fresh SAN extension of `extensions`.
void AddSanValue(POINTER extensions, const std::string& value) {
    POINTER extension = nullptr;
    ASSERT_EQ(CreateExtension(extensions, kSanOid, 3, &extension, 0, nullptr), 0);
    ITEM item{reinterpret_cast<unsigned char*>(const_cast<char*>(value.data())),
              static_cast<unsigned int>(value.size())};
    ASSERT_EQ(AddExtensionValue(nullptr, extensions, extension, &item), 0);
}

struct Decoded {
    int status;
    std::string email;
    std::string party;
};

Decoded Decode(const std::string& value) {
    TIPEM_EXTENSIONS_OBJ extensions;
    AddSanValue(extensions.extensionsObject, value);
    char email[256], party[256];
    std::memset(email, 'x', sizeof email);
    std::memset(party, 'x', sizeof party);
    const int status = DecodeSubjectAltNameExtension(extensions.extensionsObject, email, party);
    return {status, email, party};
}

std::string Text(const ASN1_STRING* s) {
    return certtest::AsString(ASN1_STRING_get0_data(s), static_cast<size_t>(ASN1_STRING_length(s)));
}

TEST(SubjectAltNameEncode, OpenSSLReadsEmailAndEdiPartyName) {
    TIPEM_EXTENSIONS_OBJ extensions;
    char email[] = "party@example.com";
    char party[] = "AB_CD";
    ASSERT_EQ(EncodeSubjectAltNameExtension(extensions.extensionsObject, email, party), 0);
    EXPECT_STREQ(party, "AB");  // the underscore became a NUL
    const std::string value = OnlyValue(extensions.extensionsObject);
    const unsigned char* p = certtest::Data(value);
    GENERAL_NAMES* names = d2i_GENERAL_NAMES(nullptr, &p, static_cast<long>(value.size()));
    ASSERT_NE(names, nullptr);
    EXPECT_EQ(p, certtest::Data(value) + value.size());
    ASSERT_EQ(sk_GENERAL_NAME_num(names), 2);
    const GENERAL_NAME* first = sk_GENERAL_NAME_value(names, 0);
    ASSERT_EQ(first->type, GEN_EMAIL);
    EXPECT_EQ(Text(first->d.rfc822Name), "party@example.com");
    const GENERAL_NAME* second = sk_GENERAL_NAME_value(names, 1);
    ASSERT_EQ(second->type, GEN_EDIPARTY);
    ASSERT_NE(second->d.ediPartyName->nameAssigner, nullptr);
    EXPECT_EQ(second->d.ediPartyName->nameAssigner->type, V_ASN1_T61STRING);
    EXPECT_EQ(Text(second->d.ediPartyName->nameAssigner), "AB");
    EXPECT_EQ(second->d.ediPartyName->partyName->type, V_ASN1_T61STRING);
    EXPECT_EQ(Text(second->d.ediPartyName->partyName), "CD");
    GENERAL_NAMES_free(names);
}

TEST(SubjectAltNameEncode, EmailAloneAndEmptyAssignerBytes) {
    TIPEM_EXTENSIONS_OBJ a;
    char email[] = "a@b";
    ASSERT_EQ(EncodeSubjectAltNameExtension(a.extensionsObject, email, nullptr), 0);
    EXPECT_EQ(certtest::Hex(OnlyValue(a.extensionsObject)), "30058103614062");

    TIPEM_EXTENSIONS_OBJ b;
    char party[] = "_X";
    char empty[] = "";
    ASSERT_EQ(EncodeSubjectAltNameExtension(b.extensionsObject, empty, party), 0);
    EXPECT_EQ(certtest::Hex(OnlyValue(b.extensionsObject)), "300BA509A0021400A103140158");
}

TEST(SubjectAltNameEncode, NothingToAddOrAPresentExtensionAddsNothing) {
    TIPEM_EXTENSIONS_OBJ extensions;
    char empty[] = "";
    EXPECT_EQ(EncodeSubjectAltNameExtension(extensions.extensionsObject, nullptr, nullptr), 0);
    EXPECT_EQ(EncodeSubjectAltNameExtension(extensions.extensionsObject, empty, empty), 0);
    unsigned int count = 99;
    ASSERT_EQ(GetExtensionCount(&count, extensions.extensionsObject), 0);
    EXPECT_EQ(count, 0u);
    char first[] = "first@example.com";
    char second[] = "second@example.com";
    ASSERT_EQ(EncodeSubjectAltNameExtension(extensions.extensionsObject, first, nullptr), 0);
    EXPECT_EQ(EncodeSubjectAltNameExtension(extensions.extensionsObject, second, nullptr), 0);
    EXPECT_EQ(OnlyValue(extensions.extensionsObject).substr(4), "first@example.com");
}

TEST(SubjectAltNameEncode, OverLongTextsAreRefusedAndLeftUnchanged) {
    TIPEM_EXTENSIONS_OBJ extensions;
    std::string longEmail(128, 'e');
    std::string longParty = "AA_" + std::string(120, 'p');  // ediPartyName content 130
    std::string fitsAlone = "A_" + std::string(100, 'p');   // 107 content, fits alone
    std::string email60(60, 'm');
    EXPECT_EQ(EncodeSubjectAltNameExtension(extensions.extensionsObject, &longEmail[0], nullptr),
              KR_SAN_TOO_LONG);
    EXPECT_EQ(EncodeSubjectAltNameExtension(extensions.extensionsObject, nullptr, &longParty[0]),
              KR_SAN_TOO_LONG);
    EXPECT_EQ(longParty.find('_'), 2u);
    // Each part fits, the sequence of both does not.
    EXPECT_EQ(
        EncodeSubjectAltNameExtension(extensions.extensionsObject, &email60[0], &fitsAlone[0]),
        KR_SAN_TOO_LONG);
    EXPECT_EQ(std::strlen(fitsAlone.c_str()), fitsAlone.size());
    unsigned int count = 9;
    GetExtensionCount(&count, extensions.extensionsObject);
    EXPECT_EQ(count, 0u);
    // The largest e-mail alone that fits: 125 octets (sequence content 127).
    std::string largest(125, 'e');
    EXPECT_EQ(EncodeSubjectAltNameExtension(extensions.extensionsObject, &largest[0], nullptr), 0);
    EXPECT_EQ(OnlyValue(extensions.extensionsObject).size(), 129u);
}

TEST(SubjectAltNameRoundTrip, TextsComeBackAsGiven) {
    const std::pair<std::string, std::string> cases[] = {
        {"party@example.com", "AB_CD"},
        {"x@y", "NOUNDERSCORE"},
        {"", "_X"},
        {"only@mail", ""},
        {"", "A_B_C"},
    };
    for (const auto& [email, party] : cases) {
        TIPEM_EXTENSIONS_OBJ extensions;
        std::string emailIn = email, partyIn = party;
        ASSERT_EQ(
            EncodeSubjectAltNameExtension(extensions.extensionsObject, &emailIn[0], &partyIn[0]),
            0);
        char emailOut[256], partyOut[256];
        ASSERT_EQ(DecodeSubjectAltNameExtension(extensions.extensionsObject, emailOut, partyOut),
                  0);
        EXPECT_EQ(std::string(emailOut), email);
        EXPECT_EQ(std::string(partyOut), party);
    }
}

// Values produced by OpenSSL's encoder, with other kinds of names around.
TEST(SubjectAltNameDecode, ReadsValuesEncodedByOpenSSL) {
    GENERAL_NAMES* names = sk_GENERAL_NAME_new_null();
    GENERAL_NAME* dns = a2i_GENERAL_NAME(nullptr, nullptr, nullptr, GEN_DNS, "host.example", 0);
    GENERAL_NAME* mail =
        a2i_GENERAL_NAME(nullptr, nullptr, nullptr, GEN_EMAIL, "ops@example.org", 0);
    GENERAL_NAME* edi = GENERAL_NAME_new();
    edi->type = GEN_EDIPARTY;
    edi->d.ediPartyName = EDIPARTYNAME_new();
    edi->d.ediPartyName->nameAssigner = ASN1_STRING_type_new(V_ASN1_PRINTABLESTRING);
    ASN1_STRING_set(edi->d.ediPartyName->nameAssigner, "ZZ", 2);
    ASN1_STRING_free(edi->d.ediPartyName->partyName);
    edi->d.ediPartyName->partyName = ASN1_STRING_type_new(V_ASN1_T61STRING);
    ASN1_STRING_set(edi->d.ediPartyName->partyName, "PARTY1", 6);
    sk_GENERAL_NAME_push(names, dns);
    sk_GENERAL_NAME_push(names, mail);
    sk_GENERAL_NAME_push(names, edi);
    unsigned char* der = nullptr;
    const int length = i2d_GENERAL_NAMES(names, &der);
    ASSERT_GT(length, 0);
    const std::string value = certtest::AsString(der, static_cast<size_t>(length));
    OPENSSL_free(der);
    GENERAL_NAMES_free(names);
    const Decoded decoded = Decode(value);
    EXPECT_EQ(decoded.status, 0);
    EXPECT_EQ(decoded.email, "ops@example.org");
    EXPECT_EQ(decoded.party, "ZZ_PARTY1");
}

TEST(SubjectAltNameDecode, MalformedValues) {
    EXPECT_EQ(Decode(std::string("\x31\x00", 2)).status, KR_SAN_NOT_SEQUENCE);
    EXPECT_EQ(Decode("").status, KR_SAN_NOT_SEQUENCE);
    // Lengths running past the value, long forms, values over 256 octets.
    for (const std::string& bad :
         {std::string("\x30\x05\x81\x03\x61", 5), std::string("\x30\x81\x03\x81\x01\x61", 6),
          std::string("\x30\x04\x81\x05\x61\x62", 6), std::string("\x30", 1),
          std::string("\x30\x06\xA5\x04\xA0\x03\x14\x01", 8),
          std::string("\x30\x02\x81\x01", 4) + std::string(260, 'a')}) {
        const Decoded decoded = Decode(bad);
        EXPECT_EQ(decoded.status, KR_SAN_TOO_LONG) << certtest::Hex(bad);
        EXPECT_EQ(decoded.email, "");
        EXPECT_EQ(decoded.party, "");
    }
}

TEST(SubjectAltNameDecode, OtherElementsInsideEdiPartyNameEndIt) {
    // [0] holding an INTEGER ends the ediPartyName; the e-mail after it is
    // still read.
    const std::string value(
        "\x30\x13\xA5\x09\xA0\x03\x02\x01\x05\xA1\x02\x14\x00"
        "\x81\x06\x61\x40\x62\x2E\x63\x64",
        21);
    const Decoded decoded = Decode(value);
    EXPECT_EQ(decoded.status, 0);
    EXPECT_EQ(decoded.email, "a@b.cd");
    EXPECT_EQ(decoded.party, "");
    // A primitive [1] is a party name; [1] holding an IA5String at the top
    // level is an e-mail address.
    const Decoded other(
        Decode(std::string("\x30\x0B\xA5\x03\x81\x01\x50\xA1\x04\x16\x02\x61\x62", 13)));
    EXPECT_EQ(other.status, 0);
    EXPECT_EQ(other.party, "P");
    EXPECT_EQ(other.email, "ab");
}

TEST(SubjectAltNameDecode, WithoutTheExtensionBothOutputsAreEmpty) {
    TIPEM_EXTENSIONS_OBJ extensions;
    const unsigned char basicConstraints[3] = {0x55, 0x1D, 0x13};
    POINTER extension = nullptr;
    ASSERT_EQ(
        CreateExtension(extensions.extensionsObject, basicConstraints, 3, &extension, 1, nullptr),
        0);
    char email[8] = "junk", party[8] = "junk";
    EXPECT_EQ(DecodeSubjectAltNameExtension(extensions.extensionsObject, email, party), 0);
    EXPECT_STREQ(email, "");
    EXPECT_STREQ(party, "");
    EXPECT_EQ(DecodeSubjectAltNameExtension(nullptr, email, party), KM_ERROR_INVALID_ARGUMENT);
}

}  // namespace
