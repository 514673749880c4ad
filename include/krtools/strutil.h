// String and character helpers, CRC-16 and byte stuffing.
#ifndef KRTOOLS_STRUTIL_H
#define KRTOOLS_STRUTIL_H

#include "krtools/export.h"

#endif  // KRTOOLS_STRUTIL_H
