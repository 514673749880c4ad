// Versions of the toolkit and of the libcrypto it was loaded with.
#include "krmepit/krmepit_version.h"

#include <openssl/crypto.h>

// KRMEPIT_VERSION_STRING comes from the build (the project version).

const char* KRMEPIT_Version(void) { return KRMEPIT_VERSION_STRING; }

const char* KRMEPIT_OpenSSLVersion(void) { return OpenSSL_version(OPENSSL_VERSION); }
