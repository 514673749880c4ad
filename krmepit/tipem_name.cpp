// Name objects and the attribute type constants, over OpenSSL's X509_NAME.
#include <openssl/asn1.h>
#include <openssl/err.h>
#include <openssl/objects.h>
#include <openssl/x509.h>

#include <cstdint>
#include <new>
#include <vector>

#include "krmepit/tipem.h"
#include "krmepit/tipem_internal.h"

extern "C" {
const unsigned char TAT_COUNTRY[3] = {0x55, 0x04, 0x06};
const unsigned char TAT_STATE[3] = {0x55, 0x04, 0x08};
const unsigned char TAT_LOCALITY[3] = {0x55, 0x04, 0x07};
const unsigned char TAT_ORGANIZATION[3] = {0x55, 0x04, 0x0A};
const unsigned char TAT_ORG_UNIT[3] = {0x55, 0x04, 0x0B};
const unsigned char TAT_COMMON_NAME[3] = {0x55, 0x04, 0x03};
const unsigned char TAT_TITLE[3] = {0x55, 0x04, 0x0C};
const unsigned char TAT_STREET_ADDRESS[3] = {0x55, 0x04, 0x09};
const unsigned char TAT_POSTAL_CODE[3] = {0x55, 0x04, 0x11};
const unsigned char TAT_EMAIL_ADDRESS[9] = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x09, 0x01};
}

namespace {

constexpr uint32_t kNameMagic = 0x4E414D45;

struct NameObject {
    uint32_t magic = kNameMagic;
    X509_NAME* name = nullptr;
    std::vector<unsigned char> der;  // the last encoding handed out
};

NameObject* AsName(POINTER handle) { return krmepit::FromHandle<NameObject>(handle, kNameMagic); }

using krmepit::Guarded;

bool IsStringTag(int tag) {
    switch (tag) {
        case V_ASN1_UTF8STRING:
        case V_ASN1_NUMERICSTRING:
        case V_ASN1_PRINTABLESTRING:
        case V_ASN1_T61STRING:
        case V_ASN1_VIDEOTEXSTRING:
        case V_ASN1_IA5STRING:
        case V_ASN1_GRAPHICSTRING:
        case V_ASN1_VISIBLESTRING:
        case V_ASN1_GENERALSTRING:
        case V_ASN1_UNIVERSALSTRING:
        case V_ASN1_BMPSTRING:
            return true;
        default:
            return false;
    }
}

// Adds the entry, then replaces the name by the decoding of its encoding:
// OpenSSL refuses to encode some values (a BMPString of odd length, UTF-8
// that is not), and inside a multi-valued RDN the AVAs then come in their
// DER (sorted) order, the order in which a loaded name reports them. On
// failure the name is unchanged.
int AppendEntry(X509_NAME*& name, X509_NAME_ENTRY* entry, bool newRDN) {
    X509_NAME* extended = X509_NAME_dup(name);
    if (extended == nullptr) return KM_ERROR_ALLOC;
    const int set = (newRDN || X509_NAME_entry_count(extended) == 0) ? 0 : -1;
    unsigned char* der = nullptr;
    int length = 0;
    if (X509_NAME_add_entry(extended, entry, -1, set) == 1) {
        length = i2d_X509_NAME(extended, &der);
    }
    X509_NAME_free(extended);
    if (length <= 0) return KM_ERROR_DATA;
    const unsigned char* p = der;
    X509_NAME* normalised = d2i_X509_NAME(nullptr, &p, length);
    OPENSSL_free(der);
    if (normalised == nullptr) return KM_ERROR_DATA;
    X509_NAME_free(name);
    name = normalised;
    return KM_OK;
}

// The octets per character of a string type: two for BMPString, four for
// UniversalString, one otherwise (UTF-8 control characters are single
// octets below 0x80).
size_t UnitWidth(int tag) {
    if (tag == V_ASN1_BMPSTRING) return 2;
    if (tag == V_ASN1_UNIVERSALSTRING) return 4;
    return 1;
}

bool IsControl(unsigned long code) { return code < 0x20 || code == 0x7F; }

// True when a character of the value is a control character (NUL
// included), or a wide character whose low octet is NUL: readers that keep
// one octet per character would see a NUL the value does not hold and stop
// their text there.
bool HoldsControlCharacter(const ASN1_STRING* data) {
    const unsigned char* octets = ASN1_STRING_get0_data(data);
    const size_t length = static_cast<size_t>(ASN1_STRING_length(data));
    const size_t width = UnitWidth(ASN1_STRING_type(data));
    for (size_t at = 0; at + width <= length; at += width) {
        unsigned long code = 0;
        for (size_t i = 0; i < width; ++i) code = (code << 8) | octets[at + i];
        if (IsControl(code) || octets[at + width - 1] == 0) return true;
    }
    return false;
}

}  // namespace

extern "C" {

int CreateNameObject(POINTER* nameObject) {
    if (nameObject == nullptr) return KM_ERROR_INVALID_ARGUMENT;
    *nameObject = nullptr;
    return Guarded([&] {
        auto* object = new NameObject;
        object->name = X509_NAME_new();
        if (object->name == nullptr) {
            delete object;
            return KM_ERROR_ALLOC;
        }
        *nameObject = object;
        return KM_OK;
    });
}

int DestroyNameObject(POINTER* nameObject) {
    if (nameObject == nullptr) return KM_OK;
    NameObject* object = AsName(*nameObject);
    if (object != nullptr) {
        X509_NAME_free(object->name);
        object->magic = 0;
        delete object;
    }
    *nameObject = nullptr;
    return KM_OK;
}

int ResetNameObject(POINTER nameObject) {
    NameObject* object = AsName(nameObject);
    if (object == nullptr) return KM_ERROR_INVALID_ARGUMENT;
    X509_NAME* empty = X509_NAME_new();
    if (empty == nullptr) return KM_ERROR_ALLOC;
    X509_NAME_free(object->name);
    object->name = empty;
    return KM_OK;
}

int SetNameBER(POINTER nameObject, const unsigned char* ber, unsigned int berLen,
               POINTER /*surrender*/) {
    NameObject* object = AsName(nameObject);
    if (object == nullptr || (ber == nullptr && berLen != 0) || berLen > 0x7FFFFFFF) {
        return KM_ERROR_INVALID_ARGUMENT;
    }
    const unsigned char* p = ber;
    ERR_set_mark();
    X509_NAME* parsed = d2i_X509_NAME(nullptr, &p, static_cast<long>(berLen));
    ERR_pop_to_mark();
    if (parsed == nullptr) return KM_ERROR_DATA;
    if (p != ber + berLen) {
        X509_NAME_free(parsed);
        return KM_ERROR_DATA;
    }
    X509_NAME_free(object->name);
    object->name = parsed;
    return KM_OK;
}

int GetNameDER(unsigned char** der, unsigned int* derLen, POINTER nameObject,
               POINTER /*surrender*/) {
    NameObject* object = AsName(nameObject);
    if (object == nullptr || der == nullptr || derLen == nullptr) {
        return KM_ERROR_INVALID_ARGUMENT;
    }
    return Guarded([&] {
        const int length = i2d_X509_NAME(object->name, nullptr);
        if (length <= 0) return KM_ERROR_INTERNAL;
        object->der.resize(static_cast<size_t>(length));
        unsigned char* p = object->der.data();
        if (i2d_X509_NAME(object->name, &p) != length) return KM_ERROR_INTERNAL;
        *der = object->der.data();
        *derLen = static_cast<unsigned int>(length);
        return KM_OK;
    });
}

int AddNameAVA(unsigned int* avaIndex, POINTER nameObject, const unsigned char* type,
               unsigned int typeLen, int valueTag, const unsigned char* value,
               unsigned int valueLen, int newRDN, POINTER /*surrender*/) {
    NameObject* object = AsName(nameObject);
    if (object == nullptr || !IsStringTag(valueTag) || (value == nullptr && valueLen != 0) ||
        valueLen > 0x7FFFFFFF) {
        return KM_ERROR_INVALID_ARGUMENT;
    }
    ASN1_OBJECT* attribute = krmepit::ObjectFromContent(type, typeLen);
    if (attribute == nullptr) return KM_ERROR_INVALID_ARGUMENT;
    static const unsigned char kNothing = 0;
    X509_NAME_ENTRY* entry = X509_NAME_ENTRY_create_by_OBJ(nullptr, attribute, valueTag,
                                                           value != nullptr ? value : &kNothing,
                                                           static_cast<int>(valueLen));
    ASN1_OBJECT_free(attribute);
    if (entry == nullptr) return KM_ERROR_ALLOC;
    ERR_set_mark();
    const int status = AppendEntry(object->name, entry, newRDN != 0);
    ERR_pop_to_mark();
    X509_NAME_ENTRY_free(entry);  // the name holds a copy
    if (status == KM_OK && avaIndex != nullptr) {
        *avaIndex = static_cast<unsigned int>(X509_NAME_entry_count(object->name) - 1);
    }
    return status;
}

int GetNameAVACount(unsigned int* count, POINTER nameObject, POINTER /*surrender*/) {
    NameObject* object = AsName(nameObject);
    if (object == nullptr || count == nullptr) return KM_ERROR_INVALID_ARGUMENT;
    *count = static_cast<unsigned int>(X509_NAME_entry_count(object->name));
    return KM_OK;
}

int GetNameAVA(const unsigned char** type, unsigned int* typeLen, int* valueTag,
               const unsigned char** value, unsigned int* valueLen, unsigned int* rdnIndex,
               POINTER nameObject, unsigned int index, POINTER /*surrender*/) {
    NameObject* object = AsName(nameObject);
    if (object == nullptr || type == nullptr || typeLen == nullptr || valueTag == nullptr ||
        value == nullptr || valueLen == nullptr) {
        return KM_ERROR_INVALID_ARGUMENT;
    }
    if (index >= static_cast<unsigned int>(X509_NAME_entry_count(object->name))) {
        return KM_ERROR_INDEX;
    }
    const X509_NAME_ENTRY* entry = X509_NAME_get_entry(object->name, static_cast<int>(index));
    const ASN1_OBJECT* attribute = X509_NAME_ENTRY_get_object(entry);
    const ASN1_STRING* data = X509_NAME_ENTRY_get_data(entry);
    if (HoldsControlCharacter(data)) return KM_ERROR_DATA;
    const int length = OBJ_length(attribute);
    *type = OBJ_get0_data(attribute);
    *typeLen = length > 0 ? static_cast<unsigned int>(length) : 0;
    const int tag = ASN1_STRING_type(data);
    *valueTag = tag >= 0 ? tag : 0;
    *value = ASN1_STRING_get0_data(data);
    *valueLen = static_cast<unsigned int>(ASN1_STRING_length(data));
    if (rdnIndex != nullptr) *rdnIndex = static_cast<unsigned int>(X509_NAME_ENTRY_set(entry));
    return KM_OK;
}

}  // extern "C"
