// KR_PBE: PKCS #5 v1.5 password-based encryption through the crypto toolkit,
// wrapped in a DER SEQUENCE and Base64 text.
#include <cstring>

#include "krtools/bufenc.h"
#include "krtools/pbe.h"
#include "krtools/toolkit.h"

namespace {

constexpr unsigned int kMaxLength = 65536;
constexpr unsigned int kSaltLength = 8;
constexpr unsigned char kSequence = 0x30;
constexpr unsigned char kOctetString = 0x04;

const char kLengthError[] = "ASN1 length = 0 or greater than length of data";

void CheckStatus(int status, const char* where, const char* function) {
    if (status != 0) throw KRException(status, where, function);
}

// Replaces `holder` by a copy of `length` octets of `data`.
void CopyInto(KR_DYNAMIC_PTR& holder, const unsigned char* data, unsigned int length) {
    holder.Malloc(static_cast<int>(length));
    if (length > 0) std::memcpy(holder.ptr, data, length);
}

void CheckMessage(const unsigned char* message, unsigned int length, const char* where) {
    if (message == nullptr) throw KRException(-1, where, "Message pointer cannot be NULL");
    if (length == 0 || length > kMaxLength) {
        throw KRException(-2, where, "Message length must be a number from 1 to 65536");
    }
}

void CheckPassword(const unsigned char* password, unsigned int length, const char* where) {
    if (password == nullptr) throw KRException(-3, where, "Password pointer cannot be NULL");
    if (length == 0 || length > kMaxLength) {
        throw KRException(-4, where, "Password length must be a number from 1 to 65536");
    }
}

void CheckAlgorithm(int algorithm, const char* where) {
    if (algorithm != 0) throw KRException(-5, where, "Invalid password-based encryption algorithm");
}

void CheckIterationCount(int count, const char* where) {
    if (count < 1 || count > static_cast<int>(kMaxLength)) {
        throw KRException(-6, where, "Iteration count must be a number from 1 to 65536");
    }
}

}  // namespace

KR_PBE::KR_PBE() : iterationCount(1000), pbeAlgorithm(0) {}

void KR_PBE::SetMessage(const unsigned char* data, unsigned int length) {
    CheckMessage(data, length, "KR_PBE::SetMessage");
    CopyInto(message, data, length);
}

void KR_PBE::SetPassword(const unsigned char* data, unsigned int length) {
    CheckPassword(data, length, "KR_PBE::SetPassword");
    CopyInto(password, data, length);
}

void KR_PBE::SetPbeAlg(int algorithm) {
    CheckAlgorithm(algorithm, "KR_PBE::SetPbeAlg");
    pbeAlgorithm = algorithm;
}

void KR_PBE::SetIterationCount(int count) {
    CheckIterationCount(count, "KR_PBE::SetIterationCount");
    iterationCount = count;
}

void KR_PBE::CheckMessageAndPassword(const char* where) {
    CheckMessage(message.ptr, static_cast<unsigned int>(message.size), where);
    CheckPassword(password.ptr, static_cast<unsigned int>(password.size), where);
}

void KR_PBE::Encrypt() {
    const char* where = "KR_PBE::Encrypt";
    CheckMessageAndPassword(where);
    CheckAlgorithm(pbeAlgorithm, where);
    CheckIterationCount(iterationCount, where);
    DoPbe1();
    FilterResult();
}

void KR_PBE::DoPbe1() {
    const char* where = "KR_PBE::DoPbe1";
    BSAFE_B_ALGORITHM_OBJ digester;
    BSAFE_B_ALGORITHM_OBJ encrypter;
    BSAFE_B_KEY_OBJ key;
    const auto messageLength = static_cast<unsigned int>(message.size);
    const auto passwordLength = static_cast<unsigned int>(password.size);

    unsigned char salt[16];
    unsigned int saltLength = 0;
    CheckStatus(B_SetAlgorithmInfo(digester.handle, AI_MD5, nullptr), where, "B_SetAlgorithmInfo");
    CheckStatus(B_DigestInit(digester.handle, nullptr, DEMO_ALGORITHM_CHOOSER, nullptr), where,
                "B_DigestInit");
    CheckStatus(B_DigestUpdate(digester.handle, message.ptr, messageLength, nullptr), where,
                "B_DigestUpdate");
    CheckStatus(B_DigestUpdate(digester.handle, password.ptr, passwordLength, nullptr), where,
                "B_DigestUpdate");
    CheckStatus(B_DigestFinal(digester.handle, salt, &saltLength, sizeof salt, nullptr), where,
                "B_DigestFinal");

    B_PBE_PARAMS parameters = {salt, static_cast<unsigned int>(iterationCount)};
    CheckStatus(B_SetAlgorithmInfo(encrypter.handle, AI_MD5WithDES_CBCPad, &parameters), where,
                "B_SetAlgorithmInfo");
    POINTER info = nullptr;
    CheckStatus(B_GetAlgorithmInfo(&info, encrypter.handle, AI_MD5WithDES_CBCPadBER), where,
                "B_GetAlgorithmInfo");
    const ITEM identifier = *static_cast<const ITEM*>(info);
    ITEM passwordItem = {password.ptr, passwordLength};
    CheckStatus(B_SetKeyInfo(key.handle, KI_Item, &passwordItem), where, "B_SetKeyInfo");

    KR_DYNAMIC_PTR work;
    work.Malloc(static_cast<int>(messageLength + kSaltLength));
    const unsigned int room = messageLength + kSaltLength;
    unsigned int updateLength = 0;
    unsigned int finalLength = 0;
    CheckStatus(B_EncryptInit(encrypter.handle, key.handle, DEMO_ALGORITHM_CHOOSER, nullptr), where,
                "B_EncryptInit");
    CheckStatus(B_EncryptUpdate(encrypter.handle, work.ptr, &updateLength, room, message.ptr,
                                messageLength, nullptr, nullptr),
                where, "B_EncryptUpdate");
    CheckStatus(B_EncryptFinal(encrypter.handle, work.ptr + updateLength, &finalLength,
                               room - updateLength, nullptr, nullptr),
                where, "B_EncryptFinal");
    const unsigned int cipherLength = updateLength + finalLength;

    unsigned char octetTag[6];
    unsigned int octetTagLength = 0;
    CreateTag(kOctetString, cipherLength, octetTag, &octetTagLength);
    unsigned char sequenceTag[6];
    unsigned int sequenceTagLength = 0;
    const unsigned int contentLength = identifier.len + octetTagLength + cipherLength;
    CreateTag(kSequence, contentLength, sequenceTag, &sequenceTagLength);

    result.Malloc(static_cast<int>(sequenceTagLength + contentLength));
    unsigned char* out = result.ptr;
    std::memcpy(out, sequenceTag, sequenceTagLength);
    out += sequenceTagLength;
    std::memcpy(out, identifier.data, identifier.len);
    out += identifier.len;
    std::memcpy(out, octetTag, octetTagLength);
    out += octetTagLength;
    std::memcpy(out, work.ptr, cipherLength);
}

void KR_PBE::CreateTag(unsigned char tag, unsigned int length, unsigned char* out,
                       unsigned int* outLength) {
    out[0] = tag;
    if (length < 0x80) {
        out[1] = static_cast<unsigned char>(length);
        *outLength = 2;
        return;
    }
    unsigned int count = length < 0x100 ? 1 : length < 0x10000 ? 2 : length < 0x1000000 ? 3 : 4;
    out[1] = static_cast<unsigned char>(0x80 + count);
    for (unsigned int i = 0; i < count; ++i) {
        out[2 + i] = static_cast<unsigned char>(length >> (8 * (count - 1 - i)));
    }
    *outLength = 2 + count;
}

unsigned int KR_PBE::ParseTag(const unsigned char* tag, unsigned int* length) {
    const char* where = "KR_PBE::ParseTag";
    if (tag == nullptr || *length < 4) {
        throw KRException(-7, where, "ASN1 tag is NULL or its length is < 4");
    }
    const unsigned char first = tag[1];
    if (first < 0x80) {
        *length = 2;
        return first;
    }
    if (first == 0x80) throw KRException(-8, where, "ASN1 indefinite length tag not supported");
    const unsigned int count = first & 0x7Fu;
    if (count > 2) throw KRException(-9, where, "Too many ASN1 length bytes in tag (> 2)");
    unsigned int content = 0;
    for (unsigned int i = 0; i < count; ++i) content = (content << 8) | tag[2 + i];
    *length = 2 + count;
    return content;
}

void KR_PBE::FilterResult() {
    const int length = result.size;
    KR_DYNAMIC_PTR text;
    text.Malloc(2 * length + 4);
    FilterContext context;
    FilterInit(&context, 1);
    char* out = reinterpret_cast<char*>(text.ptr);
    int written = FilterData(result.ptr, out, length, &context);
    written += FilterFinal(out + written, &context);
    result = std::move(text);
    result.size = written;
}

void KR_PBE::UnfilterMessage() {
    const int length = message.size;
    KR_DYNAMIC_PTR decoded;
    decoded.Malloc(length);
    FilterContext context;
    FilterInit(&context, 1);
    int written =
        UnfilterData(reinterpret_cast<const char*>(message.ptr), decoded.ptr, length, &context);
    message = std::move(decoded);
    message.size = written;
}

void KR_PBE::Decrypt() {
    const char* where = "KR_PBE::Decrypt";
    CheckMessageAndPassword(where);
    if (message.ptr[0] == 'M') UnfilterMessage();

    // `remaining` is signed: a header or identifier longer than the data left
    // makes it negative, which is refused before anything is read.
    long long remaining = message.size;
    unsigned int sequenceHeader = static_cast<unsigned int>(remaining);
    const unsigned int sequenceLength = ParseTag(message.ptr, &sequenceHeader);
    if (sequenceLength == 0 || remaining - sequenceHeader < sequenceLength) {
        throw KRException(-10, where, kLengthError);
    }
    remaining -= sequenceHeader;

    const unsigned char* identifier = message.ptr + sequenceHeader;
    unsigned int identifierHeader = static_cast<unsigned int>(remaining);
    const unsigned int identifierLength =
        ParseTag(identifier, &identifierHeader) + identifierHeader;
    remaining -= identifierLength;
    if (remaining <= 0) throw KRException(-10, where, kLengthError);

    const unsigned char* octetString = identifier + identifierLength;
    unsigned int cipherHeader = static_cast<unsigned int>(remaining);
    const unsigned int cipherLength = ParseTag(octetString, &cipherHeader);
    if (cipherLength == 0 || remaining - cipherHeader < cipherLength) {
        throw KRException(-10, where, kLengthError);
    }
    DecryptCiphertext(identifier, identifierLength, octetString + cipherHeader, cipherLength);
}

void KR_PBE::DecryptCiphertext(const unsigned char* identifier, unsigned int identifierLength,
                               const unsigned char* ciphertext, unsigned int cipherLength) {
    const char* where = "KR_PBE::Decrypt";
    result.Malloc(static_cast<int>(cipherLength));
    std::memset(result.ptr, 0, cipherLength);

    BSAFE_B_ALGORITHM_OBJ decrypter;
    BSAFE_B_KEY_OBJ key;
    ITEM identifierItem = {const_cast<unsigned char*>(identifier), identifierLength};
    int status = B_SetAlgorithmInfo(decrypter.handle, AI_MD5WithDES_CBCPadBER, &identifierItem);
    if (status == KM_ERROR_UNKNOWN_ALGORITHM) {
        status = B_SetAlgorithmInfo(decrypter.handle, AI_SHA1WithDES_CBCPadBER, &identifierItem);
    }
    CheckStatus(status, where, "B_SetAlgorithmInfo");
    ITEM passwordItem = {password.ptr, static_cast<unsigned int>(password.size)};
    CheckStatus(B_SetKeyInfo(key.handle, KI_Item, &passwordItem), where, "B_SetKeyInfo");

    unsigned int updateLength = 0;
    unsigned int finalLength = 0;
    CheckStatus(B_DecryptInit(decrypter.handle, key.handle, DEMO_ALGORITHM_CHOOSER, nullptr), where,
                "B_DecryptInit");
    CheckStatus(B_DecryptUpdate(decrypter.handle, result.ptr, &updateLength, cipherLength,
                                ciphertext, cipherLength, nullptr, nullptr),
                where, "B_DecryptUpdate");
    CheckStatus(B_DecryptFinal(decrypter.handle, result.ptr + updateLength, &finalLength,
                               cipherLength - updateLength, nullptr, nullptr),
                where, "B_DecryptFinal");
    result.size = static_cast<int32_t>(updateLength + finalLength);
}
