// The subject alternative name extension in the one shape used for parties:
// an e-mail address (rfc822Name) and a party identifier (ediPartyName), with
// short-form DER lengths only.
#include <cstring>

#include "krtools/cert.h"

namespace {

const unsigned char kSubjectAltNameOid[3] = {0x55, 0x1D, 0x11};

constexpr unsigned char kSequence = 0x30;
constexpr unsigned char kRfc822Name = 0x81;
constexpr unsigned char kContext1 = 0xA1;
constexpr unsigned char kEdiPartyName = 0xA5;
constexpr unsigned char kNameAssigner = 0xA0;
constexpr unsigned char kPrintableString = 0x13;
constexpr unsigned char kTeletexString = 0x14;
constexpr unsigned char kIA5String = 0x16;
constexpr size_t kShortFormLimit = 127;  // greatest one-octet length
constexpr size_t kWorkSize = 256;

// ---- Encoding ------------------------------------------------------------------

struct Writer {
    unsigned char bytes[kWorkSize] = {};
    size_t length = 0;

    void Put(unsigned char octet) { bytes[length++] = octet; }
    void Put(const char* text, size_t count) {
        std::memcpy(bytes + length, text, count);
        length += count;
    }
    // A context-tagged TeletexString: tag, length + 2, 0x14, length, text.
    void PutWrappedTeletex(unsigned char tag, const char* text, size_t count) {
        Put(tag);
        Put(static_cast<unsigned char>(count + 2));
        Put(kTeletexString);
        Put(static_cast<unsigned char>(count));
        Put(text, count);
    }
};

// ---- Decoding ------------------------------------------------------------------

// One element read inside [.., limit): tag, content start and end.
struct Element {
    unsigned char tag = 0;
    size_t content = 0;
    size_t end = 0;
};

// Reads the header at `at`; false when it is cut off, uses a long-form
// length, or the content runs past `limit`.
bool ReadElement(const unsigned char* data, size_t at, size_t limit, Element& element) {
    if (at + 2 > limit || data[at + 1] > kShortFormLimit) return false;
    element.tag = data[at];
    element.content = at + 2;
    element.end = element.content + data[at + 1];
    return element.end <= limit;
}

bool IsPartyString(unsigned char tag) {
    return tag == kPrintableString || tag == kTeletexString || tag == kIA5String;
}

// A NUL-terminated text that never grows past its buffer.
struct TextBuffer {
    char text[kWorkSize] = {};

    void Replace(const unsigned char* data, size_t count) {
        text[0] = '\0';
        Append(data, count);
    }
    void Append(const unsigned char* data, size_t count) {
        size_t at = std::strlen(text);
        if (count > kWorkSize - 1 - at) count = kWorkSize - 1 - at;
        std::memcpy(text + at, data, count);
        text[at + count] = '\0';
    }
};

enum class Outcome { kDone, kMalformed };

// Reads an ediPartyName's content: nameAssigner and partyName strings. An
// element of another kind ends the reading.
Outcome ReadEdiPartyName(const unsigned char* data, size_t at, size_t limit, TextBuffer& party) {
    Element sequence;
    if (at < limit && data[at] == kSequence) {
        if (!ReadElement(data, at, limit, sequence)) return Outcome::kMalformed;
        at = sequence.content;
        limit = sequence.end;
    }
    while (at < limit) {
        Element element;
        if (!ReadElement(data, at, limit, element)) return Outcome::kMalformed;
        if (element.tag == kRfc822Name) {  // primitive [1]: the party name itself
            party.Append(data + element.content, element.end - element.content);
        } else if (element.tag == kNameAssigner || element.tag == kContext1) {
            Element text;
            if (element.content >= element.end || !IsPartyString(data[element.content])) break;
            if (!ReadElement(data, element.content, element.end, text)) return Outcome::kMalformed;
            if (element.tag == kNameAssigner) {
                party.Replace(data + text.content, text.end - text.content);
                const unsigned char underscore = '_';
                party.Append(&underscore, 1);
            } else {
                party.Append(data + text.content, text.end - text.content);
            }
        } else {
            break;
        }
        at = element.end;
    }
    return Outcome::kDone;
}

// Reads the GeneralNames of a value (at most kWorkSize octets).
int ReadGeneralNames(const unsigned char* data, size_t length, TextBuffer& email,
                     TextBuffer& party) {
    if (length == 0 || data[0] != kSequence) return KR_SAN_NOT_SEQUENCE;
    Element names;
    if (!ReadElement(data, 0, length, names)) return KR_SAN_TOO_LONG;
    for (size_t at = names.content; at < names.end;) {
        Element element;
        if (!ReadElement(data, at, names.end, element)) return KR_SAN_TOO_LONG;
        if (element.tag == kRfc822Name) {
            email.Replace(data + element.content, element.end - element.content);
        } else if (element.tag == kContext1 && element.content < element.end &&
                   data[element.content] == kIA5String) {
            Element text;
            if (!ReadElement(data, element.content, element.end, text)) return KR_SAN_TOO_LONG;
            email.Replace(data + text.content, text.end - text.content);
        } else if (element.tag == kEdiPartyName) {
            if (ReadEdiPartyName(data, element.content, element.end, party) ==
                Outcome::kMalformed) {
                return KR_SAN_TOO_LONG;
            }
        }
        at = element.end;
    }
    return KM_OK;
}

}  // namespace

extern "C" {

int EncodeSubjectAltNameExtension(POINTER extensions, char* email, char* party) {
    const size_t emailLength = email != nullptr ? std::strlen(email) : 0;
    const size_t partyLength = party != nullptr ? std::strlen(party) : 0;
    char* underscore = partyLength != 0 ? std::strchr(party, '_') : nullptr;
    const size_t assignerLength =
        underscore != nullptr ? static_cast<size_t>(underscore - party) : 0;
    const char* partyName = underscore != nullptr ? underscore + 1 : party;
    const size_t nameLength =
        underscore != nullptr ? partyLength - assignerLength - 1 : partyLength;

    // Every length is checked before anything changes.
    size_t ediLength = 0;
    size_t total = 0;
    if (partyLength != 0) {
        ediLength = nameLength + 4 + (underscore != nullptr ? assignerLength + 4 : 0);
        if (ediLength > kShortFormLimit) return KR_SAN_TOO_LONG;
        total += ediLength + 2;
    }
    if (emailLength != 0) {
        if (emailLength > kShortFormLimit) return KR_SAN_TOO_LONG;
        total += emailLength + 2;
    }
    if (total > kShortFormLimit) return KR_SAN_TOO_LONG;
    if (total == 0) return KM_OK;

    Writer value;
    value.Put(kSequence);
    value.Put(static_cast<unsigned char>(total));
    if (emailLength != 0) {
        value.Put(kRfc822Name);
        value.Put(static_cast<unsigned char>(emailLength));
        value.Put(email, emailLength);
    }
    if (partyLength != 0) {
        value.Put(kEdiPartyName);
        value.Put(static_cast<unsigned char>(ediLength));
        if (underscore != nullptr) value.PutWrappedTeletex(kNameAssigner, party, assignerLength);
        value.PutWrappedTeletex(kContext1, partyName, nameLength);
        if (underscore != nullptr) *underscore = '\0';
    }

    POINTER extension = nullptr;
    int status = CreateExtension(extensions, kSubjectAltNameOid, sizeof kSubjectAltNameOid,
                                 &extension, 0, nullptr);
    if (status == KM_ERROR_EXTENSION_PRESENT) return KM_OK;
    if (status != KM_OK) return status;
    unsigned int valueIndex = 0;
    ITEM item{value.bytes, static_cast<unsigned int>(value.length)};
    return AddExtensionValue(&valueIndex, extensions, extension, &item);
}

int DecodeSubjectAltNameExtension(POINTER extensions, char* emailOut, char* partyOut) {
    if (emailOut == nullptr || partyOut == nullptr) return KM_ERROR_INVALID_ARGUMENT;
    emailOut[0] = '\0';
    partyOut[0] = '\0';
    unsigned int count = 0;
    int status = GetExtensionCount(&count, extensions);
    if (status != KM_OK) return status;
    for (unsigned int i = 0; i < count; ++i) {
        EXTENSION_INFO info{};
        status = GetExtensionInfo(&info, extensions, i);
        if (status != KM_OK) return status;
        if (info.oidLen != sizeof kSubjectAltNameOid ||
            std::memcmp(info.oid, kSubjectAltNameOid, sizeof kSubjectAltNameOid) != 0) {
            continue;
        }
        ITEM* value = nullptr;
        status = GetExtensionValue(&value, extensions, i, 0);
        if (status != KM_OK) return status;
        if (value->len > kWorkSize) return KR_SAN_TOO_LONG;
        unsigned char work[kWorkSize];
        if (value->len != 0) std::memcpy(work, value->data, value->len);
        TextBuffer email, party;
        status = ReadGeneralNames(work, value->len, email, party);
        if (status != KM_OK) return status;
        std::memcpy(emailOut, email.text, std::strlen(email.text) + 1);
        std::memcpy(partyOut, party.text, std::strlen(party.text) + 1);
        return KM_OK;
    }
    return KM_OK;
}

}  // extern "C"
