// Key objects: raw octets (KI_Item) and RSA public keys (KI_RSAPublicBER,
// KI_RSAPublic).
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/param_build.h>
#include <openssl/x509.h>

#include <memory>
#include <new>

#include "krmepit/bsafe_internal.h"
#include "krmepit/libctx.h"

namespace krmepit {
namespace {

struct PkeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct BnFree {
    void operator()(BIGNUM* bn) const { BN_free(bn); }
};
struct ParamBuildFree {
    void operator()(OSSL_PARAM_BLD* build) const { OSSL_PARAM_BLD_free(build); }
};
struct ParamFree {
    void operator()(OSSL_PARAM* params) const { OSSL_PARAM_free(params); }
};
struct PkeyContextFree {
    void operator()(EVP_PKEY_CTX* context) const { EVP_PKEY_CTX_free(context); }
};
using Pkey = std::unique_ptr<EVP_PKEY, PkeyFree>;
using Bignum = std::unique_ptr<BIGNUM, BnFree>;

std::vector<unsigned char> Magnitude(const BIGNUM* value) {
    std::vector<unsigned char> octets(static_cast<size_t>(BN_num_bytes(value)));
    if (!octets.empty()) BN_bn2bin(value, octets.data());
    return octets;
}

// Decodes a DER SubjectPublicKeyInfo of an RSA key that fills `der` exactly.
Pkey DecodeRsaPublicKey(const ITEM& der) {
    const unsigned char* cursor = der.data;
    Pkey key(
        d2i_PUBKEY_ex(nullptr, &cursor, static_cast<long>(der.len), LibraryContext(), nullptr));
    if (key == nullptr || cursor != der.data + der.len) return nullptr;
    if (!EVP_PKEY_is_a(key.get(), "RSA")) return nullptr;
    return key;
}

// Builds an RSA public key from its two magnitudes.
Pkey BuildRsaPublicKey(const std::vector<unsigned char>& modulus,
                       const std::vector<unsigned char>& exponent) {
    Bignum n(BN_bin2bn(modulus.data(), static_cast<int>(modulus.size()), nullptr));
    Bignum e(BN_bin2bn(exponent.data(), static_cast<int>(exponent.size()), nullptr));
    std::unique_ptr<OSSL_PARAM_BLD, ParamBuildFree> build(OSSL_PARAM_BLD_new());
    if (n == nullptr || e == nullptr || build == nullptr) return nullptr;
    if (OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_RSA_N, n.get()) != 1 ||
        OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_RSA_E, e.get()) != 1) {
        return nullptr;
    }
    std::unique_ptr<OSSL_PARAM, ParamFree> params(OSSL_PARAM_BLD_to_param(build.get()));
    std::unique_ptr<EVP_PKEY_CTX, PkeyContextFree> context(
        EVP_PKEY_CTX_new_from_name(LibraryContext(), "RSA", nullptr));
    if (params == nullptr || context == nullptr) return nullptr;
    EVP_PKEY* key = nullptr;
    if (EVP_PKEY_fromdata_init(context.get()) != 1 ||
        EVP_PKEY_fromdata(context.get(), &key, EVP_PKEY_PUBLIC_KEY, params.get()) != 1) {
        return nullptr;
    }
    return Pkey(key);
}

std::vector<unsigned char> EncodePublicKeyInfo(EVP_PKEY* key) {
    int length = i2d_PUBKEY(key, nullptr);
    if (length <= 0) return {};
    std::vector<unsigned char> der(static_cast<size_t>(length));
    unsigned char* cursor = der.data();
    if (i2d_PUBKEY(key, &cursor) != length) return {};
    return der;
}

// Stores the key's magnitudes and its DER form in `object`.
int StoreRsaKey(KeyObject& object, EVP_PKEY* key) {
    BIGNUM* n = nullptr;
    BIGNUM* e = nullptr;
    if (EVP_PKEY_get_bn_param(key, OSSL_PKEY_PARAM_RSA_N, &n) != 1 ||
        EVP_PKEY_get_bn_param(key, OSSL_PKEY_PARAM_RSA_E, &e) != 1) {
        BN_free(n);
        return KM_ERROR_DATA;
    }
    Bignum modulus(n);
    Bignum exponent(e);
    object.modulus = Magnitude(modulus.get());
    object.exponent = Magnitude(exponent.get());
    object.publicKeyInfo = EncodePublicKeyInfo(key);
    if (object.publicKeyInfo.empty()) return KM_ERROR_INTERNAL;
    object.rsaKey.modulus = {object.modulus.data(),
                             static_cast<unsigned int>(object.modulus.size())};
    object.rsaKey.exponent = {object.exponent.data(),
                              static_cast<unsigned int>(object.exponent.size())};
    object.publicKeyInfoItem = {object.publicKeyInfo.data(),
                                static_cast<unsigned int>(object.publicKeyInfo.size())};
    object.infoType = KI_RSAPublic;
    return KM_OK;
}

bool ValidItem(const ITEM* item) {
    return item != nullptr && (item->data != nullptr || item->len == 0);
}

std::vector<unsigned char> WithoutLeadingZeros(const ITEM& item) {
    unsigned int start = 0;
    while (start < item.len && item.data[start] == 0) ++start;
    return std::vector<unsigned char>(item.data + start, item.data + item.len);
}

int SetItem(KeyObject& object, const ITEM* item) {
    if (!ValidItem(item)) return KM_ERROR_INVALID_ARGUMENT;
    object.octets.assign(item->data, item->data + item->len);
    object.octetsItem = {object.octets.data(), item->len};
    object.infoType = KI_Item;
    return KM_OK;
}

int SetRsaPublicBer(KeyObject& object, const ITEM* item) {
    if (!ValidItem(item) || item->len == 0) return KM_ERROR_INVALID_ARGUMENT;
    Pkey key = DecodeRsaPublicKey(*item);
    if (key == nullptr) return KM_ERROR_DATA;
    return StoreRsaKey(object, key.get());
}

int SetRsaPublic(KeyObject& object, const A_RSA_KEY* rsaKey) {
    if (rsaKey == nullptr || !ValidItem(&rsaKey->modulus) || !ValidItem(&rsaKey->exponent)) {
        return KM_ERROR_INVALID_ARGUMENT;
    }
    std::vector<unsigned char> modulus = WithoutLeadingZeros(rsaKey->modulus);
    std::vector<unsigned char> exponent = WithoutLeadingZeros(rsaKey->exponent);
    if (modulus.empty() || exponent.empty()) return KM_ERROR_DATA;
    Pkey key = BuildRsaPublicKey(modulus, exponent);
    if (key == nullptr) return KM_ERROR_DATA;
    return StoreRsaKey(object, key.get());
}

}  // namespace

void KeyObject::Clear() {
    if (!octets.empty()) OPENSSL_cleanse(octets.data(), octets.size());
    octets.clear();
    modulus.clear();
    exponent.clear();
    publicKeyInfo.clear();
    octetsItem = {};
    rsaKey = {};
    publicKeyInfoItem = {};
    infoType = 0;
}

}  // namespace krmepit

using krmepit::AsKey;
using krmepit::KeyObject;

int B_CreateKeyObject(B_KEY_OBJ* keyObject) {
    if (keyObject == nullptr) return KM_ERROR_INVALID_ARGUMENT;
    *keyObject = nullptr;
    KeyObject* object = new (std::nothrow) KeyObject();
    if (object == nullptr) return KM_ERROR_ALLOC;
    *keyObject = object;
    return KM_OK;
}

void B_DestroyKeyObject(B_KEY_OBJ* keyObject) {
    if (keyObject == nullptr) return;
    delete AsKey(*keyObject);
    *keyObject = nullptr;
}

int B_SetKeyInfo(B_KEY_OBJ keyObject, B_KEY_INFO_TYPE infoType, POINTER info) {
    KeyObject* object = AsKey(keyObject);
    if (object == nullptr) return KM_ERROR_INVALID_ARGUMENT;
    object->Clear();
    int status = KM_ERROR_INVALID_ARGUMENT;
    switch (infoType) {
        case KI_Item:
            status = krmepit::SetItem(*object, static_cast<const ITEM*>(info));
            break;
        case KI_RSAPublicBER:
            status = krmepit::SetRsaPublicBer(*object, static_cast<const ITEM*>(info));
            break;
        case KI_RSAPublic:
            status = krmepit::SetRsaPublic(*object, static_cast<const A_RSA_KEY*>(info));
            break;
    }
    if (status != KM_OK) object->Clear();
    return status;
}

int B_GetKeyInfo(POINTER* info, B_KEY_OBJ keyObject, B_KEY_INFO_TYPE infoType) {
    KeyObject* object = AsKey(keyObject);
    if (info == nullptr || object == nullptr) return KM_ERROR_INVALID_ARGUMENT;
    *info = nullptr;
    if (infoType != KI_Item && infoType != KI_RSAPublicBER && infoType != KI_RSAPublic) {
        return KM_ERROR_INVALID_ARGUMENT;
    }
    bool rsa = object->infoType == KI_RSAPublic;
    if (infoType == KI_Item && object->infoType == KI_Item) {
        *info = &object->octetsItem;
    } else if (infoType == KI_RSAPublic && rsa) {
        *info = &object->rsaKey;
    } else if (infoType == KI_RSAPublicBER && rsa) {
        *info = &object->publicKeyInfoItem;
    } else {
        return KM_ERROR_KEY;
    }
    return KM_OK;
}
