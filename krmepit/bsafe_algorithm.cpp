// Algorithm objects: creation, release and algorithm info; the fetched
// digests and cipher.
#include <openssl/crypto.h>

#include <new>

#include "krmepit/bsafe_internal.h"
#include "krmepit/libctx.h"

const B_ALGORITHM_CHOOSER_RECORD B_DemoAlgorithmChooser = {"demo"};

namespace krmepit {
namespace {

// Fetches once per process; the methods are released after the library
// context's last user has gone (this object is built after the context).
class FetchedMethods {
public:
    FetchedMethods() {
        OSSL_LIB_CTX* context = LibraryContext();
        if (context == nullptr) return;
        md5_ = EVP_MD_fetch(context, "MD5", nullptr);
        sha1_ = EVP_MD_fetch(context, "SHA1", nullptr);
        desCbc_ = EVP_CIPHER_fetch(context, "DES-CBC", nullptr);
    }
    ~FetchedMethods() {
        EVP_MD_free(md5_);
        EVP_MD_free(sha1_);
        EVP_CIPHER_free(desCbc_);
    }
    FetchedMethods(const FetchedMethods&) = delete;
    FetchedMethods& operator=(const FetchedMethods&) = delete;

    const EVP_MD* Digest(DigestKind kind) const { return kind == DigestKind::MD5 ? md5_ : sha1_; }
    const EVP_CIPHER* DesCbc() const { return desCbc_; }

private:
    EVP_MD* md5_ = nullptr;
    EVP_MD* sha1_ = nullptr;
    EVP_CIPHER* desCbc_ = nullptr;
};

const FetchedMethods& Methods() {
    static const FetchedMethods methods;
    return methods;
}

bool IsDigestType(int type) { return type == AI_MD5 || type == AI_SHA1; }

bool IsPbeType(int type) {
    return type == AI_MD5WithDES_CBCPad || type == AI_MD5WithDES_CBCPadBER ||
           type == AI_SHA1WithDES_CBCPadBER;
}

// Whether an object set up with `held` can report itself as `asked`.
bool Describes(int held, int asked, DigestKind pbeDigest) {
    if (IsPbeType(held)) {
        if (pbeDigest == DigestKind::SHA1) return asked == AI_SHA1WithDES_CBCPadBER;
        return asked == AI_MD5WithDES_CBCPad || asked == AI_MD5WithDES_CBCPadBER;
    }
    return held != 0 && held == asked;
}

}  // namespace

const EVP_MD* FetchedDigest(DigestKind kind) { return Methods().Digest(kind); }
const EVP_CIPHER* FetchedDesCbc() { return Methods().DesCbc(); }

AlgorithmObject::~AlgorithmObject() { Reset(); }

void AlgorithmObject::Reset() {
    infoType = 0;
    phase = Phase::Idle;
    EVP_CIPHER_CTX_free(pbe.cipher);
    pbe = PbeState();
    OPENSSL_cleanse(&random, sizeof random);
    random = RandomState();
    OPENSSL_cleanse(digestState, sizeof digestState);
}

namespace {

// Destroyed algorithm objects of this thread, kept emptied, so that an
// object made per message (as KR_HASH does) costs no allocation once the
// first has gone.
class ReleasedObjects {
public:
    ReleasedObjects() = default;
    ~ReleasedObjects() {
        while (count_ != 0) delete objects_[--count_];
    }
    ReleasedObjects(const ReleasedObjects&) = delete;
    ReleasedObjects& operator=(const ReleasedObjects&) = delete;

    // A kept object, empty as a new one, or null.
    AlgorithmObject* Take() { return count_ != 0 ? objects_[--count_] : nullptr; }

    // Keeps the emptied |object|, or deletes it when enough are kept.
    void Give(AlgorithmObject* object) {
        if (count_ == kKept) {
            delete object;
            return;
        }
        objects_[count_++] = object;
    }

private:
    static constexpr int kKept = 4;
    AlgorithmObject* objects_[kKept] = {};
    int count_ = 0;
};

thread_local ReleasedObjects releasedObjects;

}  // namespace
}  // namespace krmepit

using krmepit::AlgorithmObject;
using krmepit::AsAlgorithm;

int B_CreateAlgorithmObject(B_ALGORITHM_OBJ* algorithmObject) {
    if (algorithmObject == nullptr) return KM_ERROR_INVALID_ARGUMENT;
    *algorithmObject = nullptr;
    AlgorithmObject* object = krmepit::releasedObjects.Take();
    if (object == nullptr) object = new (std::nothrow) AlgorithmObject();
    if (object == nullptr) return KM_ERROR_ALLOC;
    *algorithmObject = object;
    return KM_OK;
}

void B_DestroyAlgorithmObject(B_ALGORITHM_OBJ* algorithmObject) {
    if (algorithmObject == nullptr) return;
    AlgorithmObject* object = AsAlgorithm(*algorithmObject);
    *algorithmObject = nullptr;
    if (object == nullptr) return;
    object->Reset();
    krmepit::releasedObjects.Give(object);
}

int B_SetAlgorithmInfo(B_ALGORITHM_OBJ algorithmObject, B_INFO_TYPE infoType, POINTER info) {
    AlgorithmObject* object = AsAlgorithm(algorithmObject);
    if (object == nullptr) return KM_ERROR_INVALID_ARGUMENT;
    object->Reset();
    int status = KM_OK;
    switch (infoType) {
        case AI_MD5:
        case AI_SHA1:
        case AI_MD5Random:
            break;
        case AI_MD5WithDES_CBCPad:
            status = krmepit::SetPbeParameters(*object, static_cast<const B_PBE_PARAMS*>(info));
            break;
        case AI_MD5WithDES_CBCPadBER:
            status = krmepit::SetPbeIdentifier(*object, krmepit::DigestKind::MD5,
                                               static_cast<const ITEM*>(info));
            break;
        case AI_SHA1WithDES_CBCPadBER:
            status = krmepit::SetPbeIdentifier(*object, krmepit::DigestKind::SHA1,
                                               static_cast<const ITEM*>(info));
            break;
        default:
            return KM_ERROR_INVALID_ARGUMENT;
    }
    if (status != KM_OK) {
        object->Reset();
        return status;
    }
    object->infoType = infoType;
    return KM_OK;
}

int B_GetAlgorithmInfo(POINTER* info, B_ALGORITHM_OBJ algorithmObject, B_INFO_TYPE infoType) {
    AlgorithmObject* object = AsAlgorithm(algorithmObject);
    if (info == nullptr || object == nullptr) return KM_ERROR_INVALID_ARGUMENT;
    *info = nullptr;
    if (!krmepit::Describes(object->infoType, infoType, object->pbe.digest)) {
        return KM_ERROR_INVALID_ARGUMENT;
    }
    if (infoType == AI_MD5WithDES_CBCPad) {
        *info = &object->pbe.params;
    } else if (infoType == AI_MD5WithDES_CBCPadBER || infoType == AI_SHA1WithDES_CBCPadBER) {
        *info = &object->pbe.identifierItem;
    } else if (!krmepit::IsDigestType(infoType) && infoType != AI_MD5Random) {
        return KM_ERROR_INVALID_ARGUMENT;
    }
    return KM_OK;
}
