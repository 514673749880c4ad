/* Versions of the toolkit library and of the OpenSSL it runs on. */
#ifndef KRMEPIT_VERSION_H
#define KRMEPIT_VERSION_H

#include "krmepit/krmepit_export.h"

KRMEPIT_EXTERN_C_BEGIN

/* The version string of the libkrmepit loaded ("MAJOR.MINOR.PATCH"). */
KRMEPIT_API const char* KRMEPIT_Version(void);
/* The version text of the OpenSSL libcrypto loaded, e.g. "OpenSSL 3.0.17 1 Jul 2025". */
KRMEPIT_API const char* KRMEPIT_OpenSSLVersion(void);

KRMEPIT_EXTERN_C_END

#endif /* KRMEPIT_VERSION_H */
