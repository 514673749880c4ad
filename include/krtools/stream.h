// The stream process chain, filter framework, Base64 and quoted-printable filters.
#ifndef KRTOOLS_STREAM_H
#define KRTOOLS_STREAM_H

#include "krtools/export.h"

#endif  // KRTOOLS_STREAM_H
