// TIPEM_NAME_OBJ: building a distinguished name from its fields and parsing
// one into them, through the toolkit's name objects.
#include <utility>

#include "krtools/cert.h"

namespace {

constexpr int kPrintableString = 19;
constexpr int kIA5String = 22;
constexpr int kBMPString = 30;

struct FieldSpec {
    TIPEM_NAME_AVA TIPEM_NAME_OBJ::*field;
    const unsigned char* type;
    unsigned int typeLen;
    int tag;
};

// The fields in the order of building.
const FieldSpec kFields[] = {
    {&TIPEM_NAME_OBJ::country, TAT_COUNTRY, TAT_X520_LEN, kPrintableString},
    {&TIPEM_NAME_OBJ::state, TAT_STATE, TAT_X520_LEN, kPrintableString},
    {&TIPEM_NAME_OBJ::locality, TAT_LOCALITY, TAT_X520_LEN, kPrintableString},
    {&TIPEM_NAME_OBJ::organization, TAT_ORGANIZATION, TAT_X520_LEN, kPrintableString},
    {&TIPEM_NAME_OBJ::orgUnit, TAT_ORG_UNIT, TAT_X520_LEN, kPrintableString},
    {&TIPEM_NAME_OBJ::commonName, TAT_COMMON_NAME, TAT_X520_LEN, kPrintableString},
    {&TIPEM_NAME_OBJ::title, TAT_TITLE, TAT_X520_LEN, kPrintableString},
    {&TIPEM_NAME_OBJ::streetAddress1, TAT_STREET_ADDRESS, TAT_X520_LEN, kPrintableString},
    {&TIPEM_NAME_OBJ::streetAddress2, TAT_STREET_ADDRESS, TAT_X520_LEN, kPrintableString},
    {&TIPEM_NAME_OBJ::postalCode, TAT_POSTAL_CODE, TAT_X520_LEN, kPrintableString},
    {&TIPEM_NAME_OBJ::emailAddress, TAT_EMAIL_ADDRESS, TAT_EMAIL_LEN, kIA5String},
};

// The single-occurrence attributes of three identifier octets.
const FieldSpec kSingleFields[] = {
    kFields[0], kFields[1], kFields[2], kFields[3], kFields[4], kFields[5], kFields[6],
};

bool SameType(const TIPEM_NAME_AVA& ava, const unsigned char* type, unsigned int typeLen) {
    if (ava.typeLen != typeLen || ava.type == nullptr) return false;
    for (unsigned int i = 0; i < typeLen; ++i) {
        if (ava.type[i] != type[i]) return false;
    }
    return true;
}

// A BMPString reduced to the low octet of each big-endian 16-bit unit.
std::string ReducedBmp(const unsigned char* value, unsigned int length) {
    std::string text;
    for (unsigned int i = 1; i < length; i += 2) text += static_cast<char>(value[i]);
    return text;
}

// Stores a parsed AVA in its field: the first of each type wins, the first
// two street addresses are kept in ascending byte order.
void PlaceInField(TIPEM_NAME_OBJ& name, const TIPEM_NAME_AVA& ava) {
    for (const FieldSpec& rule : kSingleFields) {
        if (SameType(ava, rule.type, rule.typeLen)) {
            TIPEM_NAME_AVA& field = name.*rule.field;
            if (field.size() == 0) field = ava;
            return;
        }
    }
    if (SameType(ava, TAT_STREET_ADDRESS, TAT_X520_LEN)) {
        if (name.streetAddress1.size() == 0) {
            name.streetAddress1 = ava;
        } else if (name.streetAddress2.size() == 0) {
            if (ava.value < name.streetAddress1.value) {
                name.streetAddress2 = name.streetAddress1;
                name.streetAddress1 = ava;
            } else {
                name.streetAddress2 = ava;
            }
        }
    } else if (SameType(ava, TAT_POSTAL_CODE, TAT_X520_LEN)) {
        if (name.postalCode.size() == 0) name.postalCode = ava;
    } else if (SameType(ava, TAT_EMAIL_ADDRESS, TAT_EMAIL_LEN)) {
        if (name.emailAddress.size() == 0) name.emailAddress = ava;
    }
}

void Check(int status, const char* call) {
    if (status != KM_OK) throw KRException(status, call);
}

}  // namespace

TIPEM_NAME_OBJ::TIPEM_NAME_OBJ() : der(nullptr), derLen(0), nameObject(nullptr) { Create(); }

TIPEM_NAME_OBJ::~TIPEM_NAME_OBJ() { Destroy(); }

TIPEM_NAME_OBJ::TIPEM_NAME_OBJ(TIPEM_NAME_OBJ&& other) noexcept
    : der(other.der),
      derLen(other.derLen),
      nameObject(other.nameObject),
      country(other.country),
      state(other.state),
      locality(other.locality),
      organization(other.organization),
      orgUnit(other.orgUnit),
      commonName(other.commonName),
      title(other.title),
      streetAddress1(other.streetAddress1),
      streetAddress2(other.streetAddress2),
      postalCode(other.postalCode),
      emailAddress(other.emailAddress),
      avaList(std::move(other.avaList)) {
    other.der = nullptr;
    other.derLen = 0;
    other.nameObject = nullptr;
    other.Flush();
}

TIPEM_NAME_OBJ& TIPEM_NAME_OBJ::operator=(TIPEM_NAME_OBJ&& other) noexcept {
    if (this == &other) return *this;
    Destroy();
    der = other.der;
    derLen = other.derLen;
    nameObject = other.nameObject;
    for (const FieldSpec& rule : kFields) this->*rule.field = other.*rule.field;
    avaList = std::move(other.avaList);
    other.der = nullptr;
    other.derLen = 0;
    other.nameObject = nullptr;
    other.Flush();
    return *this;
}

void TIPEM_NAME_OBJ::Create() {
    Destroy();
    Check(CreateNameObject(&nameObject), "CreateNameObject");
}

void TIPEM_NAME_OBJ::Destroy() {
    Flush();
    DestroyNameObject(&nameObject);
    nameObject = nullptr;
}

void TIPEM_NAME_OBJ::Flush() {
    avaList.clear();
    for (const FieldSpec& rule : kFields) (this->*rule.field).Clear();
}

void TIPEM_NAME_OBJ::BuildDistinguishedName() {
    ResetNameObject(nameObject);
    for (const FieldSpec& rule : kFields) {
        const TIPEM_NAME_AVA& field = this->*rule.field;
        if (field.size() == 0) continue;
        Check(AddNameAVA(nullptr, nameObject, rule.type, rule.typeLen, rule.tag,
                         reinterpret_cast<const unsigned char*>(field.value.data()),
                         static_cast<unsigned int>(field.value.size()), 1, nullptr),
              "AddNameAVA");
    }
    unsigned char* encoding = nullptr;
    unsigned int length = 0;
    Check(GetNameDER(&encoding, &length, nameObject, nullptr), "GetNameDER");
    der = encoding;
    derLen = length;
}

void TIPEM_NAME_OBJ::SetNameObject(unsigned char* name) {
    ResetNameObject(nameObject);
    unsigned char* encoding = nullptr;
    unsigned int length = 0;
    Check(GetNameDER(&encoding, &length, name, nullptr), "GetNameDER");
    der = encoding;
    derLen = length;
    Check(SetNameBER(nameObject, der, derLen, nullptr), "SetNameBER");
    // The same octets, now held by this object's own name.
    Check(GetNameDER(&encoding, &length, nameObject, nullptr), "GetNameDER");
    der = encoding;
    derLen = length;
    ParseDistinguishedName();
}

void TIPEM_NAME_OBJ::ParseDistinguishedName(unsigned char* name) { SetNameObject(name); }

void TIPEM_NAME_OBJ::ParseDistinguishedName() {
    Flush();
    unsigned int count = 0;
    Check(GetNameAVACount(&count, nameObject, nullptr), "GetNameAVACount");
    for (unsigned int i = 0; i < count; ++i) {
        const unsigned char* type = nullptr;
        const unsigned char* value = nullptr;
        unsigned int typeLen = 0, valueLen = 0, rdn = 0;
        int tag = 0;
        Check(GetNameAVA(&type, &typeLen, &tag, &value, &valueLen, &rdn, nameObject, i, nullptr),
              "GetNameAVA");
        TIPEM_NAME_AVA ava;
        ava.type = type;
        ava.typeLen = typeLen;
        ava.valueTag = tag;
        if (tag == kBMPString) {
            ava.value = ReducedBmp(value, valueLen);
        } else if (valueLen != 0) {
            ava.value.assign(reinterpret_cast<const char*>(value), valueLen);
        }
        avaList.push_back(ava);
        PlaceInField(*this, ava);
    }
}
