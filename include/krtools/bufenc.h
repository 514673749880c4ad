// Incremental Base64 and hexadecimal buffer encoders.
#ifndef KRTOOLS_BUFENC_H
#define KRTOOLS_BUFENC_H

#include "krtools/export.h"

#endif  // KRTOOLS_BUFENC_H
