// Certificate lists: certificate objects owned by the list, filled from
// concatenated DER or from PEM text.
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/pem.h>

#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "krmepit/tipem.h"
#include "krmepit/tipem_internal.h"

namespace {

constexpr uint32_t kCertListMagic = 0x434C5354;

struct Entry {
    POINTER cert = nullptr;
    unsigned int info = 0;
};

struct CertListObject {
    uint32_t magic = kCertListMagic;
    std::vector<Entry> entries;
};

CertListObject* AsList(POINTER handle) {
    return krmepit::FromHandle<CertListObject>(handle, kCertListMagic);
}

// Certificates read but not yet handed to a list; released unless taken.
class Pending {
public:
    Pending() = default;
    Pending(const Pending&) = delete;
    Pending& operator=(const Pending&) = delete;
    ~Pending() {
        for (Entry& entry : entries_) DestroyCertObject(&entry.cert);
    }

    // Loads the certificate at the start of `data`; *used receives the
    // number of octets it takes.
    int Add(const unsigned char* data, size_t length, size_t* used) {
        if (length > 0xFFFFFFFFu) return KM_ERROR_DATA;
        entries_.emplace_back();
        Entry& entry = entries_.back();
        int status = CreateCertObject(&entry.cert);
        if (status != KM_OK) return status;
        ITEM ber{const_cast<unsigned char*>(data), static_cast<unsigned int>(length)};
        status = SetCertBER(entry.cert, &ber, nullptr);
        ITEM der{};
        if (status == KM_OK) status = GetCertDER(&der, entry.cert, nullptr);
        if (status == KM_OK) status = Classify(entry);
        if (used != nullptr) *used = der.len;
        return status;
    }

    unsigned int MoveTo(CertListObject* list) {
        list->entries.reserve(list->entries.size() + entries_.size());
        list->entries.insert(list->entries.end(), entries_.begin(), entries_.end());
        const auto count = static_cast<unsigned int>(entries_.size());
        entries_.clear();
        return count;
    }

private:
    // Sets the self-issued flag when the encodings of issuer and subject are
    // equal.
    static int Classify(Entry& entry) {
        TCERT_FIELDS fields{};
        int status = GetCertFields(&fields, entry.cert, nullptr);
        unsigned char *issuer = nullptr, *subject = nullptr;
        unsigned int issuerLen = 0, subjectLen = 0;
        if (status == KM_OK) status = GetNameDER(&issuer, &issuerLen, fields.issuerName, nullptr);
        if (status == KM_OK) {
            status = GetNameDER(&subject, &subjectLen, fields.subjectName, nullptr);
        }
        if (status == KM_OK && issuerLen == subjectLen &&
            std::memcmp(issuer, subject, issuerLen) == 0) {
            entry.info |= CERT_INFO_SELF_ISSUED;
        }
        return status;
    }

    std::vector<Entry> entries_;
};

bool IsCertificateLabel(const char* label) {
    return std::strcmp(label, PEM_STRING_X509) == 0 ||
           std::strcmp(label, PEM_STRING_X509_OLD) == 0 ||
           std::strcmp(label, PEM_STRING_X509_TRUSTED) == 0;
}

// Reads every PEM block of the text; certificates go to `pending`.
int ReadPem(const char* text, unsigned int len, Pending& pending) {
    if (len > 0x7FFFFFFF) return KM_ERROR_DATA;
    BIO* bio = BIO_new_mem_buf(text, static_cast<int>(len));
    if (bio == nullptr) return KM_ERROR_ALLOC;
    int status = KM_OK;
    for (;;) {
        char* label = nullptr;
        char* header = nullptr;
        unsigned char* data = nullptr;
        long length = 0;
        if (PEM_read_bio(bio, &label, &header, &data, &length) != 1) {
            const unsigned long error = ERR_peek_last_error();
            if (ERR_GET_LIB(error) != ERR_LIB_PEM || ERR_GET_REASON(error) != PEM_R_NO_START_LINE) {
                status = KM_ERROR_DATA;
            }
            break;
        }
        if (IsCertificateLabel(label)) {
            status = pending.Add(data, static_cast<size_t>(length), nullptr);
        }
        OPENSSL_free(label);
        OPENSSL_free(header);
        OPENSSL_free(data);
        if (status != KM_OK) break;
    }
    BIO_free(bio);
    return status;
}

// Reads certificates with `read` into a pending set and, only when all of
// them were read, moves them to the list; OpenSSL's error queue is left as it
// was found.
template <typename Read>
int AddAllOrNothing(CertListObject* object, unsigned int* added, Read&& read) {
    try {
        ERR_set_mark();
        Pending pending;
        const int status = read(pending);
        ERR_pop_to_mark();
        if (status != KM_OK) return status;
        const unsigned int count = pending.MoveTo(object);
        if (added != nullptr) *added = count;
        return KM_OK;
    } catch (const std::bad_alloc&) {
        ERR_pop_to_mark();
        return KM_ERROR_ALLOC;
    }
}

}  // namespace

extern "C" {

int CreateCertListObject(POINTER* certListObject) {
    if (certListObject == nullptr) return KM_ERROR_INVALID_ARGUMENT;
    *certListObject = new (std::nothrow) CertListObject;
    return *certListObject != nullptr ? KM_OK : KM_ERROR_ALLOC;
}

int DestroyCertListObject(POINTER* certListObject) {
    if (certListObject == nullptr) return KM_OK;
    CertListObject* object = AsList(*certListObject);
    if (object != nullptr) {
        for (Entry& entry : object->entries) DestroyCertObject(&entry.cert);
        object->magic = 0;
        delete object;
    }
    *certListObject = nullptr;
    return KM_OK;
}

int GetCertListCount(unsigned int* count, POINTER certListObject) {
    CertListObject* object = AsList(certListObject);
    if (object == nullptr || count == nullptr) return KM_ERROR_INVALID_ARGUMENT;
    *count = static_cast<unsigned int>(object->entries.size());
    return KM_OK;
}

int GetCertListCert(POINTER* certObject, unsigned int* certInfo, POINTER certListObject,
                    unsigned int index) {
    CertListObject* object = AsList(certListObject);
    if (object == nullptr || certObject == nullptr) return KM_ERROR_INVALID_ARGUMENT;
    if (index >= object->entries.size()) return KM_ERROR_INDEX;
    *certObject = object->entries[index].cert;
    if (certInfo != nullptr) *certInfo = object->entries[index].info;
    return KM_OK;
}

int AddCertListDER(POINTER certListObject, const unsigned char* der, unsigned int len,
                   unsigned int* added) {
    CertListObject* object = AsList(certListObject);
    if (added != nullptr) *added = 0;
    if (object == nullptr || (der == nullptr && len != 0)) return KM_ERROR_INVALID_ARGUMENT;
    return AddAllOrNothing(object, added, [&](Pending& pending) {
        int status = KM_OK;
        for (size_t offset = 0; status == KM_OK && offset < len;) {
            size_t used = 0;
            status = pending.Add(der + offset, len - offset, &used);
            offset += used;
        }
        return status;
    });
}

int AddCertListPEM(POINTER certListObject, const char* text, unsigned int len,
                   unsigned int* added) {
    CertListObject* object = AsList(certListObject);
    if (added != nullptr) *added = 0;
    if (object == nullptr || (text == nullptr && len != 0)) return KM_ERROR_INVALID_ARGUMENT;
    if (len == 0) return KM_OK;
    return AddAllOrNothing(object, added,
                           [&](Pending& pending) { return ReadPem(text, len, pending); });
}

}  // extern "C"
