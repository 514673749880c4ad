// TIPEM_CERT_LIST_OBJ, TIPEM_ATTRIBUTES_OBJ and TIPEM_EXTENSIONS_OBJ: owners
// of toolkit certificate lists, attributes objects and extensions objects.
#include "krtools/cert.h"

namespace {

void Check(int status, const char* call) {
    if (status != KM_OK) throw KRException(status, call);
}

template <typename T>
T Take(T& from, T empty) {
    T value = from;
    from = empty;
    return value;
}

}  // namespace

TIPEM_CERT_LIST_OBJ::TIPEM_CERT_LIST_OBJ()
    : certListObject(nullptr), certObject(nullptr), count(0), certInfo(0), der(nullptr), derLen(0) {
    Create();
}

TIPEM_CERT_LIST_OBJ::~TIPEM_CERT_LIST_OBJ() { Destroy(); }

TIPEM_CERT_LIST_OBJ::TIPEM_CERT_LIST_OBJ(TIPEM_CERT_LIST_OBJ&& other) noexcept
    : certListObject(Take(other.certListObject, POINTER())),
      certObject(Take(other.certObject, POINTER())),
      count(Take(other.count, 0u)),
      certInfo(Take(other.certInfo, 0u)),
      der(Take(other.der, static_cast<unsigned char*>(nullptr))),
      derLen(Take(other.derLen, 0u)) {}

TIPEM_CERT_LIST_OBJ& TIPEM_CERT_LIST_OBJ::operator=(TIPEM_CERT_LIST_OBJ&& other) noexcept {
    if (this == &other) return *this;
    Destroy();
    certListObject = Take(other.certListObject, POINTER());
    certObject = Take(other.certObject, POINTER());
    count = Take(other.count, 0u);
    certInfo = Take(other.certInfo, 0u);
    der = Take(other.der, static_cast<unsigned char*>(nullptr));
    derLen = Take(other.derLen, 0u);
    return *this;
}

void TIPEM_CERT_LIST_OBJ::Create() {
    Destroy();
    Check(CreateCertListObject(&certListObject), "CreateCertListObject");
}

void TIPEM_CERT_LIST_OBJ::Destroy() {
    DestroyCertListObject(&certListObject);
    certListObject = nullptr;
    certObject = nullptr;
    der = nullptr;
    derLen = 0;
}

unsigned int TIPEM_CERT_LIST_OBJ::Count() {
    unsigned int value = 0;
    Check(GetCertListCount(&value, certListObject), "GetCertListCount");
    count = value;
    return count;
}

void TIPEM_CERT_LIST_OBJ::GetCertByIndex(unsigned int index) {
    Check(GetCertListCert(&certObject, &certInfo, certListObject, index), "GetCertListCert");
    ITEM record{der, derLen};
    Check(GetCertDER(&record, certObject, nullptr), "GetCertDER");
    der = record.data;
    derLen = record.len;
}

unsigned int TIPEM_CERT_LIST_OBJ::AddDER(const unsigned char* data, int len) {
    unsigned int added = 0;
    Check(
        AddCertListDER(certListObject, data, len > 0 ? static_cast<unsigned int>(len) : 0u, &added),
        "AddCertListDER");
    return added;
}

unsigned int TIPEM_CERT_LIST_OBJ::AddPEM(const char* text, int len) {
    unsigned int added = 0;
    Check(
        AddCertListPEM(certListObject, text, len > 0 ? static_cast<unsigned int>(len) : 0u, &added),
        "AddCertListPEM");
    return added;
}

TIPEM_ATTRIBUTES_OBJ::TIPEM_ATTRIBUTES_OBJ() : attributesObject(nullptr) { Create(); }

TIPEM_ATTRIBUTES_OBJ::~TIPEM_ATTRIBUTES_OBJ() { Destroy(); }

TIPEM_ATTRIBUTES_OBJ::TIPEM_ATTRIBUTES_OBJ(TIPEM_ATTRIBUTES_OBJ&& other) noexcept
    : attributesObject(Take(other.attributesObject, POINTER())) {}

TIPEM_ATTRIBUTES_OBJ& TIPEM_ATTRIBUTES_OBJ::operator=(TIPEM_ATTRIBUTES_OBJ&& other) noexcept {
    if (this != &other) {
        Destroy();
        attributesObject = Take(other.attributesObject, POINTER());
    }
    return *this;
}

void TIPEM_ATTRIBUTES_OBJ::Create() {
    Destroy();
    Check(CreateAttributesObject(&attributesObject), "CreateAttributesObject");
}

void TIPEM_ATTRIBUTES_OBJ::Destroy() {
    DestroyAttributesObject(&attributesObject);
    attributesObject = nullptr;
}

TIPEM_EXTENSIONS_OBJ::TIPEM_EXTENSIONS_OBJ() : extensionsObject(nullptr) { Create(); }

TIPEM_EXTENSIONS_OBJ::~TIPEM_EXTENSIONS_OBJ() { Destroy(); }

TIPEM_EXTENSIONS_OBJ::TIPEM_EXTENSIONS_OBJ(TIPEM_EXTENSIONS_OBJ&& other) noexcept
    : extensionsObject(Take(other.extensionsObject, POINTER())) {}

TIPEM_EXTENSIONS_OBJ& TIPEM_EXTENSIONS_OBJ::operator=(TIPEM_EXTENSIONS_OBJ&& other) noexcept {
    if (this != &other) {
        Destroy();
        extensionsObject = Take(other.extensionsObject, POINTER());
    }
    return *this;
}

void TIPEM_EXTENSIONS_OBJ::Create() {
    Destroy();
    Check(CreateExtensionsObject(&extensionsObject, EXTENSIONS_KIND_CERTIFICATE, nullptr),
          "CreateExtensionsObject");
}

void TIPEM_EXTENSIONS_OBJ::Destroy() {
    DestroyExtensionsObject(&extensionsObject);
    extensionsObject = nullptr;
}
