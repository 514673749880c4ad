// Message digests: KR_HASH, MD5 and SHA-1.
#ifndef KRTOOLS_DIGEST_H
#define KRTOOLS_DIGEST_H

#include "krtools/export.h"

#endif  // KRTOOLS_DIGEST_H
