// ASN.1 element tree decoding and dump.
#ifndef KRTOOLS_ASN1_H
#define KRTOOLS_ASN1_H

#include "krtools/export.h"

#endif  // KRTOOLS_ASN1_H
