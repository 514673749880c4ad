// Certificates, distinguished names, long names and the subject alternative name extension.
#ifndef KRTOOLS_CERT_H
#define KRTOOLS_CERT_H

#include "krtools/export.h"

#endif  // KRTOOLS_CERT_H
