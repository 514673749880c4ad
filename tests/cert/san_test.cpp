// The subject alternative name extension: values checked by OpenSSL's
// GeneralNames decoder, and values made by OpenSSL decoded by ours.
#include <gtest/gtest.h>
#include <openssl/x509v3.h>

#include <cstring>

#include "cert_testutil.h"

using namespace certtest;
using namespace std::string_literals;

namespace {

const unsigned char kSanOid[3] = {0x55, 0x1D, 0x11};

unsigned int ExtensionCount(POINTER extensions) {
    unsigned int count = 99;
    EXPECT_EQ(GetExtensionCount(&count, extensions), 0);
    return count;
}

// The first value of the only extension of an extensions object.
std::string OnlyValue(POINTER extensions) {
    EXPECT_EQ(ExtensionCount(extensions), 1u);
    ITEM* value = nullptr;
    if (GetExtensionValue(&value, extensions, 0, 0) != 0) return "";
    return AsString(value->data, value->len);
}

// "status|email|party" from decoding a raw value in a fresh SAN extension.
std::string Decode(const std::string& value) {
    TIPEM_EXTENSIONS_OBJ extensions;
    POINTER extension = nullptr;
    EXPECT_EQ(CreateExtension(extensions.extensionsObject, kSanOid, 3, &extension, 0, nullptr), 0);
    ITEM item{const_cast<unsigned char*>(Data(value)), static_cast<unsigned int>(value.size())};
    EXPECT_EQ(AddExtensionValue(nullptr, extensions.extensionsObject, extension, &item), 0);
    std::string email(256, 'x'), party(256, 'x');
    const int status =
        DecodeSubjectAltNameExtension(extensions.extensionsObject, &email[0], &party[0]);
    return std::to_string(status) + "|" + email.c_str() + "|" + party.c_str();
}

TEST(SubjectAltNameEncode, OpenSSLReadsEmailAndEdiPartyName) {
    TIPEM_EXTENSIONS_OBJ extensions;
    char email[] = "party@example.com", party[] = "AB_CD";
    ASSERT_EQ(EncodeSubjectAltNameExtension(extensions.extensionsObject, email, party), 0);
    EXPECT_STREQ(party, "AB");  // the underscore became a NUL
    const std::string value = OnlyValue(extensions.extensionsObject);
    const unsigned char* p = Data(value);
    GENERAL_NAMES* names = d2i_GENERAL_NAMES(nullptr, &p, static_cast<long>(value.size()));
    ASSERT_NE(names, nullptr);
    EXPECT_EQ(p, Data(value) + value.size());
    ASSERT_EQ(sk_GENERAL_NAME_num(names), 2);
    const GENERAL_NAME* first = sk_GENERAL_NAME_value(names, 0);
    ASSERT_EQ(first->type, GEN_EMAIL);
    EXPECT_EQ(Text(first->d.rfc822Name), "party@example.com");
    const GENERAL_NAME* second = sk_GENERAL_NAME_value(names, 1);
    ASSERT_EQ(second->type, GEN_EDIPARTY);
    const EDIPARTYNAME* edi = second->d.ediPartyName;
    ASSERT_NE(edi->nameAssigner, nullptr);
    EXPECT_EQ(edi->nameAssigner->type, V_ASN1_T61STRING);
    EXPECT_EQ(Text(edi->nameAssigner), "AB");
    EXPECT_EQ(edi->partyName->type, V_ASN1_T61STRING);
    EXPECT_EQ(Text(edi->partyName), "CD");
    GENERAL_NAMES_free(names);
}

// Exact bytes where given; the texts come back from the decoder as given.
TEST(SubjectAltNameEncode, ExactBytesAndRoundTrip) {
    const struct {
        std::string email, party, hex;
    } cases[] = {{"a@b", "", "30058103614062"},
                 {"", "_X", "300BA509A0021400A103140158"},
                 {"party@example.com", "AB_CD", ""},
                 {"x@y", "NOUNDERSCORE", ""},
                 {"", "A_B_C", ""}};
    for (auto c : cases) {
        SCOPED_TRACE(c.email + " " + c.party);
        TIPEM_EXTENSIONS_OBJ extensions;
        std::string email = c.email, party = c.party;
        ASSERT_EQ(EncodeSubjectAltNameExtension(extensions.extensionsObject, &email[0], &party[0]),
                  0);
        const std::string value = OnlyValue(extensions.extensionsObject);
        EXPECT_EQ(c.hex.empty() ? "" : Hex(value), c.hex);
        EXPECT_EQ(Decode(value), "0|" + c.email + "|" + c.party);
    }
}

// Over-long texts, empty texts and a second encode add nothing.
TEST(SubjectAltNameEncode, OnlyTheFirstValidValueIsAdded) {
    TIPEM_EXTENSIONS_OBJ extensions;
    POINTER object = extensions.extensionsObject;
    std::string longEmail(128, 'e');
    std::string longParty = "AA_" + std::string(120, 'p');  // ediPartyName content 130
    std::string fitsAlone = "A_" + std::string(100, 'p');   // 107 content, fits alone
    std::string email60(60, 'm');
    EXPECT_EQ(EncodeSubjectAltNameExtension(object, &longEmail[0], nullptr), KR_SAN_TOO_LONG);
    EXPECT_EQ(EncodeSubjectAltNameExtension(object, nullptr, &longParty[0]), KR_SAN_TOO_LONG);
    EXPECT_EQ(longParty.find('_'), 2u);
    // Each part fits, the sequence of both does not.
    EXPECT_EQ(EncodeSubjectAltNameExtension(object, &email60[0], &fitsAlone[0]), KR_SAN_TOO_LONG);
    EXPECT_EQ(std::strlen(fitsAlone.c_str()), fitsAlone.size());
    char empty[] = "", second[] = "second@example.com";
    EXPECT_EQ(EncodeSubjectAltNameExtension(object, nullptr, nullptr), 0);
    EXPECT_EQ(EncodeSubjectAltNameExtension(object, empty, empty), 0);
    EXPECT_EQ(ExtensionCount(object), 0u);
    // The largest e-mail alone that fits: 125 octets (sequence content 127).
    std::string largest(125, 'e');
    EXPECT_EQ(EncodeSubjectAltNameExtension(object, &largest[0], nullptr), 0);
    EXPECT_EQ(EncodeSubjectAltNameExtension(object, second, nullptr), 0);
    EXPECT_EQ(OnlyValue(object), "\x30\x7F\x81\x7D"s + largest);
}

// OpenSSL's encoding, with a DNS name before the e-mail address.
TEST(SubjectAltNameDecode, ReadsValuesEncodedByOpenSSL) {
    GENERAL_NAMES* names = sk_GENERAL_NAME_new_null();
    sk_GENERAL_NAME_push(names,
                         a2i_GENERAL_NAME(nullptr, nullptr, nullptr, GEN_DNS, "host.example", 0));
    sk_GENERAL_NAME_push(
        names, a2i_GENERAL_NAME(nullptr, nullptr, nullptr, GEN_EMAIL, "ops@example.org", 0));
    GENERAL_NAME* edi = GENERAL_NAME_new();
    edi->type = GEN_EDIPARTY;
    edi->d.ediPartyName = EDIPARTYNAME_new();
    edi->d.ediPartyName->nameAssigner = ASN1_STRING_type_new(V_ASN1_PRINTABLESTRING);
    ASN1_STRING_set(edi->d.ediPartyName->nameAssigner, "ZZ", 2);
    ASN1_STRING_free(edi->d.ediPartyName->partyName);
    edi->d.ediPartyName->partyName = ASN1_STRING_type_new(V_ASN1_T61STRING);
    ASN1_STRING_set(edi->d.ediPartyName->partyName, "PARTY1", 6);
    sk_GENERAL_NAME_push(names, edi);
    const std::string value = Der(names, i2d_GENERAL_NAMES);
    GENERAL_NAMES_free(names);
    EXPECT_EQ(Decode(value), "0|ops@example.org|ZZ_PARTY1");
}

TEST(SubjectAltNameDecode, MalformedAndUnusualValues) {
    const std::pair<std::string, std::string> cases[] = {
        {"\x31\x00"s, "-1||"},
        {"", "-1||"},
        // Lengths running past the value, long forms, values over 256 octets.
        {"\x30\x05\x81\x03\x61"s, "-2||"},
        {"\x30\x81\x03\x81\x01\x61"s, "-2||"},
        {"\x30\x04\x81\x05\x61\x62"s, "-2||"},
        {"\x30"s, "-2||"},
        {"\x30\x06\xA5\x04\xA0\x03\x14\x01"s, "-2||"},
        {"\x30\x02\x81\x01"s + std::string(260, 'a'), "-2||"},
        // [0] holding an INTEGER ends the ediPartyName; the e-mail is read.
        {"\x30\x13\xA5\x09\xA0\x03\x02\x01\x05\xA1\x02\x14\x00\x81\x06"
         "\x61\x40\x62\x2E\x63\x64"s,
         "0|a@b.cd|"},
        // A primitive [1] is a party; a top-level [1] with an IA5String an e-mail.
        {"\x30\x0B\xA5\x03\x81\x01\x50\xA1\x04\x16\x02\x61\x62"s, "0|ab|P"},
    };
    static_assert(KR_SAN_NOT_SEQUENCE == -1 && KR_SAN_TOO_LONG == -2, "status codes");
    for (const auto& [value, expected] : cases) EXPECT_EQ(Decode(value), expected) << Hex(value);
    TIPEM_EXTENSIONS_OBJ extensions;  // holds basic constraints only
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
