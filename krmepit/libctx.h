// The toolkit's private OpenSSL library context (internal, not installed).
#ifndef KRMEPIT_LIBCTX_H
#define KRMEPIT_LIBCTX_H

#include <openssl/types.h>

namespace krmepit {

// The library context with the default and legacy providers loaded, created
// on first use (thread-safe) and released at unload. Null only when OpenSSL
// cannot load its providers. The process-wide OpenSSL state is never changed.
OSSL_LIB_CTX* LibraryContext();

}  // namespace krmepit

#endif  // KRMEPIT_LIBCTX_H
