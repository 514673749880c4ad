// The toolkit's private OpenSSL library context.
#include "krmepit/libctx.h"

#include <openssl/crypto.h>
#include <openssl/provider.h>

namespace krmepit {
namespace {

class Context {
public:
    Context() : ctx_(OSSL_LIB_CTX_new()) {
        if (ctx_ == nullptr) return;
        defaultProvider_ = OSSL_PROVIDER_load(ctx_, "default");
        legacyProvider_ = OSSL_PROVIDER_load(ctx_, "legacy");
    }
    ~Context() {
        if (legacyProvider_ != nullptr) OSSL_PROVIDER_unload(legacyProvider_);
        if (defaultProvider_ != nullptr) OSSL_PROVIDER_unload(defaultProvider_);
        OSSL_LIB_CTX_free(ctx_);
    }
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    OSSL_LIB_CTX* get() const { return defaultProvider_ != nullptr ? ctx_ : nullptr; }

private:
    OSSL_LIB_CTX* ctx_;
    OSSL_PROVIDER* defaultProvider_ = nullptr;
    OSSL_PROVIDER* legacyProvider_ = nullptr;
};

}  // namespace

OSSL_LIB_CTX* LibraryContext() {
    static Context context;
    return context.get();
}

}  // namespace krmepit
