// Certificate objects over OpenSSL's X509: loading from DER, building from
// fields, and handing out the encoding and the fields.
#include <openssl/asn1.h>
#include <openssl/err.h>
#include <openssl/objects.h>
#include <openssl/x509.h>

#include <cstdint>
#include <ctime>
#include <new>
#include <vector>

#include "krmepit/libctx.h"
#include "krmepit/tipem.h"
#include "krmepit/tipem_internal.h"

namespace {

using Bytes = std::vector<unsigned char>;

constexpr uint32_t kCertMagic = 0x43455254;

struct CertObject {
    uint32_t magic = kCertMagic;
    X509* x509 = nullptr;
    Bytes der;  // the encoding as loaded or built
    // Storage behind the record that GetCertFields fills.
    Bytes serial;
    Bytes signatureAlgorithm;
    Bytes publicKey;
    Bytes signature;
    POINTER issuer = nullptr;
    POINTER subject = nullptr;
    POINTER extensions = nullptr;

    void ReleaseFields() {
        DestroyNameObject(&issuer);
        DestroyNameObject(&subject);
        DestroyExtensionsObject(&extensions);
    }
    ~CertObject() {
        ReleaseFields();
        X509_free(x509);
    }
};

CertObject* AsCert(POINTER handle) { return krmepit::FromHandle<CertObject>(handle, kCertMagic); }

using krmepit::Guarded;

// ---- Loading -----------------------------------------------------------------

// Decodes one certificate at the start of `data`; on success replaces the
// object's certificate and keeps the octets it took. With `whole` the
// certificate must take all `length` octets.
int Load(CertObject* object, const unsigned char* data, size_t length, bool whole) {
    if (length > 0x7FFFFFFF) return KM_ERROR_DATA;
    X509* parsed = X509_new_ex(krmepit::LibraryContext(), nullptr);
    if (parsed == nullptr) return KM_ERROR_ALLOC;
    const unsigned char* p = data;
    ERR_set_mark();
    const bool ok = d2i_X509(&parsed, &p, static_cast<long>(length)) != nullptr;
    ERR_pop_to_mark();
    if (!ok || (whole && p != data + length)) {
        X509_free(parsed);
        return KM_ERROR_DATA;
    }
    Bytes taken(data, p);
    object->ReleaseFields();
    X509_free(object->x509);
    object->x509 = parsed;
    object->der.swap(taken);
    return KM_OK;
}

// ---- Reading the fields --------------------------------------------------------

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
long DaysFromCivil(long year, unsigned month, unsigned day) {
    year -= month <= 2 ? 1 : 0;
    const long era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<long>(dayOfEra) - 719468;
}

long TimeToSeconds(const ASN1_TIME* time) {
    struct tm broken {};
    if (time == nullptr || ASN1_TIME_to_tm(time, &broken) != 1) return 0;
    const long days =
        DaysFromCivil(broken.tm_year + 1900L, static_cast<unsigned>(broken.tm_mon + 1),
                      static_cast<unsigned>(broken.tm_mday));
    return days * 86400L + broken.tm_hour * 3600L + broken.tm_min * 60L + broken.tm_sec;
}

// The content octets of a DER element (its header skipped).
Bytes ContentOf(const Bytes& element) {
    if (element.size() < 2) return {};
    size_t header = 2;
    if (element[1] & 0x80) header += element[1] & 0x7F;
    return header <= element.size() ? Bytes(element.begin() + header, element.end()) : Bytes();
}

template <typename T, typename Encode>
Bytes Encoded(const T* value, Encode encode) {
    const int length = encode(value, nullptr);
    if (length <= 0) return {};
    Bytes out(static_cast<size_t>(length));
    unsigned char* p = out.data();
    encode(value, &p);
    return out;
}

int NameObjectFrom(const X509_NAME* name, POINTER* out) {
    Bytes der =
        Encoded(name, [](const X509_NAME* n, unsigned char** p) { return i2d_X509_NAME(n, p); });
    int status = CreateNameObject(out);
    if (status != KM_OK) return status;
    return SetNameBER(*out, der.data(), static_cast<unsigned int>(der.size()), nullptr);
}

int ExtensionsObjectFrom(const X509* x509, POINTER* out) {
    int status = CreateExtensionsObject(out, EXTENSIONS_KIND_CERTIFICATE, nullptr);
    for (int i = 0; status == KM_OK && i < X509_get_ext_count(x509); ++i) {
        const X509_EXTENSION* extension = X509_get_ext(x509, i);
        const ASN1_OBJECT* oid = X509_EXTENSION_get_object(const_cast<X509_EXTENSION*>(extension));
        const ASN1_OCTET_STRING* data =
            X509_EXTENSION_get_data(const_cast<X509_EXTENSION*>(extension));
        POINTER reference = nullptr;
        status =
            CreateExtension(*out, OBJ_get0_data(oid), static_cast<unsigned int>(OBJ_length(oid)),
                            &reference, X509_EXTENSION_get_critical(extension), nullptr);
        if (status == KM_ERROR_EXTENSION_PRESENT) {  // a repeated extension: the first counts
            status = KM_OK;
            continue;
        }
        if (status != KM_OK) break;
        ITEM value{const_cast<unsigned char*>(ASN1_STRING_get0_data(data)),
                   static_cast<unsigned int>(ASN1_STRING_length(data))};
        status = AddExtensionValue(nullptr, *out, reference, &value);
    }
    return status;
}

int FillFields(CertObject* object, TCERT_FIELDS* fields) {
    X509* x509 = object->x509;
    object->ReleaseFields();
    object->serial = ContentOf(Encoded(X509_get0_serialNumber(x509), i2d_ASN1_INTEGER));
    object->signatureAlgorithm = Encoded(X509_get0_tbs_sigalg(x509), i2d_X509_ALGOR);
    object->publicKey = Encoded(X509_get_X509_PUBKEY(x509), i2d_X509_PUBKEY);
    const ASN1_BIT_STRING* signature = nullptr;
    X509_get0_signature(&signature, nullptr, x509);
    const unsigned char* bits = ASN1_STRING_get0_data(signature);
    object->signature.assign(bits, bits + ASN1_STRING_length(signature));
    int status = NameObjectFrom(X509_get_issuer_name(x509), &object->issuer);
    if (status == KM_OK) status = NameObjectFrom(X509_get_subject_name(x509), &object->subject);
    if (status == KM_OK) status = ExtensionsObjectFrom(x509, &object->extensions);
    if (status != KM_OK) {
        object->ReleaseFields();
        return status;
    }
    auto item = [](Bytes& bytes) {
        return ITEM{bytes.empty() ? nullptr : bytes.data(),
                    static_cast<unsigned int>(bytes.size())};
    };
    fields->version = static_cast<int>(X509_get_version(x509));
    fields->serialNumber = item(object->serial);
    fields->signatureAlgorithm = item(object->signatureAlgorithm);
    fields->issuerName = object->issuer;
    fields->notBefore = TimeToSeconds(X509_get0_notBefore(x509));
    fields->notAfter = TimeToSeconds(X509_get0_notAfter(x509));
    fields->subjectName = object->subject;
    fields->publicKey = item(object->publicKey);
    fields->extensions = object->extensions;
    fields->signature = item(object->signature);
    return KM_OK;
}

// ---- Building from fields --------------------------------------------------------

void AppendLength(Bytes& out, size_t length) {
    if (length < 0x80) {
        out.push_back(static_cast<unsigned char>(length));
        return;
    }
    unsigned char digits[sizeof(size_t)];
    int count = 0;
    for (size_t rest = length; rest != 0; rest >>= 8) {
        digits[count++] = static_cast<unsigned char>(rest & 0xFF);
    }
    out.push_back(static_cast<unsigned char>(0x80 | count));
    while (count > 0) out.push_back(digits[--count]);
}

void AppendElement(Bytes& out, unsigned char tag, const unsigned char* content, size_t length) {
    out.push_back(tag);
    AppendLength(out, length);
    if (length != 0) out.insert(out.end(), content, content + length);
}

void AppendElement(Bytes& out, unsigned char tag, const Bytes& content) {
    AppendElement(out, tag, content.data(), content.size());
}

void AppendItem(Bytes& out, const ITEM& item) {
    if (item.len != 0) out.insert(out.end(), item.data, item.data + item.len);
}

bool AppendName(Bytes& out, POINTER name) {
    unsigned char* der = nullptr;
    unsigned int length = 0;
    if (GetNameDER(&der, &length, name, nullptr) != KM_OK) return false;
    out.insert(out.end(), der, der + length);
    return true;
}

bool AppendTime(Bytes& out, long seconds) {
    ASN1_TIME* time = ASN1_TIME_set(nullptr, static_cast<time_t>(seconds));
    if (time == nullptr) return false;
    Bytes encoded = Encoded(time, i2d_ASN1_TIME);
    ASN1_TIME_free(time);
    out.insert(out.end(), encoded.begin(), encoded.end());
    return !encoded.empty();
}

// The [3] EXPLICIT Extensions element; nothing when there are none.
int AppendExtensions(Bytes& out, POINTER extensions) {
    unsigned int count = 0;
    if (extensions == nullptr) return KM_OK;
    int status = GetExtensionCount(&count, extensions);
    if (status != KM_OK || count == 0) return status;
    Bytes list;
    for (unsigned int i = 0; i < count; ++i) {
        EXTENSION_INFO info{};
        status = GetExtensionInfo(&info, extensions, i);
        if (status != KM_OK) return status;
        ITEM* value = nullptr;
        ITEM empty{nullptr, 0};
        if (info.valueCount == 0 || GetExtensionValue(&value, extensions, i, 0) != KM_OK) {
            value = &empty;
        }
        Bytes extension;
        AppendElement(extension, V_ASN1_OBJECT, info.oid, info.oidLen);
        if (info.critical) extension.insert(extension.end(), {V_ASN1_BOOLEAN, 1, 0xFF});
        AppendElement(extension, V_ASN1_OCTET_STRING, value->data, value->len);
        AppendElement(list, V_ASN1_SEQUENCE | V_ASN1_CONSTRUCTED, extension);
    }
    Bytes sequence;
    AppendElement(sequence, V_ASN1_SEQUENCE | V_ASN1_CONSTRUCTED, list);
    AppendElement(out, 0xA3, sequence);
    return KM_OK;
}

bool Present(const ITEM& item) { return item.data != nullptr && item.len != 0; }

int BuildCertificate(const TCERT_FIELDS& fields, Bytes& certificate) {
    if (fields.version < 0 || fields.version > 2 || !Present(fields.serialNumber) ||
        !Present(fields.signatureAlgorithm) || !Present(fields.publicKey) ||
        (fields.signature.data == nullptr && fields.signature.len != 0)) {
        return KM_ERROR_INVALID_ARGUMENT;
    }
    Bytes tbs;
    if (fields.version != 0) {
        const unsigned char version[] = {0xA0, 3, V_ASN1_INTEGER, 1,
                                         static_cast<unsigned char>(fields.version)};
        tbs.insert(tbs.end(), version, version + sizeof version);
    }
    AppendElement(tbs, V_ASN1_INTEGER, fields.serialNumber.data, fields.serialNumber.len);
    AppendItem(tbs, fields.signatureAlgorithm);
    if (!AppendName(tbs, fields.issuerName)) return KM_ERROR_INVALID_ARGUMENT;
    Bytes validity;
    if (!AppendTime(validity, fields.notBefore) || !AppendTime(validity, fields.notAfter)) {
        return KM_ERROR_INVALID_ARGUMENT;
    }
    AppendElement(tbs, V_ASN1_SEQUENCE | V_ASN1_CONSTRUCTED, validity);
    if (!AppendName(tbs, fields.subjectName)) return KM_ERROR_INVALID_ARGUMENT;
    AppendItem(tbs, fields.publicKey);
    const int status = AppendExtensions(tbs, fields.extensions);
    if (status != KM_OK) return status;

    Bytes body;
    AppendElement(body, V_ASN1_SEQUENCE | V_ASN1_CONSTRUCTED, tbs);
    AppendItem(body, fields.signatureAlgorithm);
    Bytes bits{0};  // no unused bits
    bits.insert(bits.end(), fields.signature.data, fields.signature.data + fields.signature.len);
    AppendElement(body, V_ASN1_BIT_STRING, bits);
    certificate.clear();
    AppendElement(certificate, V_ASN1_SEQUENCE | V_ASN1_CONSTRUCTED, body);
    return KM_OK;
}

}  // namespace

extern "C" {

int CreateCertObject(POINTER* certObject) { return krmepit::CreateHandle<CertObject>(certObject); }

int DestroyCertObject(POINTER* certObject) {
    return krmepit::DestroyHandle<CertObject>(certObject, kCertMagic);
}

int SetCertBER(POINTER certObject, const ITEM* ber, POINTER /*surrender*/) {
    CertObject* object = AsCert(certObject);
    if (object == nullptr || ber == nullptr || (ber->data == nullptr && ber->len != 0)) {
        return KM_ERROR_INVALID_ARGUMENT;
    }
    if (ber->len == 0) return KM_ERROR_DATA;
    return Guarded([&] { return Load(object, ber->data, ber->len, false); });
}

int GetCertDER(ITEM* der, POINTER certObject, POINTER /*surrender*/) {
    CertObject* object = AsCert(certObject);
    if (object == nullptr || der == nullptr) return KM_ERROR_INVALID_ARGUMENT;
    if (object->x509 == nullptr) return KM_ERROR_NOT_INITIALIZED;
    der->data = object->der.data();
    der->len = static_cast<unsigned int>(object->der.size());
    return KM_OK;
}

int SetCertFields(POINTER certObject, const TCERT_FIELDS* fields, POINTER /*surrender*/) {
    CertObject* object = AsCert(certObject);
    if (object == nullptr || fields == nullptr) return KM_ERROR_INVALID_ARGUMENT;
    return Guarded([&] {
        Bytes certificate;
        const int status = BuildCertificate(*fields, certificate);
        if (status != KM_OK) return status;
        return Load(object, certificate.data(), certificate.size(), true);
    });
}

int GetCertFields(TCERT_FIELDS* fields, POINTER certObject, POINTER /*surrender*/) {
    CertObject* object = AsCert(certObject);
    if (object == nullptr || fields == nullptr) return KM_ERROR_INVALID_ARGUMENT;
    if (object->x509 == nullptr) return KM_ERROR_NOT_INITIALIZED;
    return Guarded([&] { return FillFields(object, fields); });
}

}  // extern "C"
