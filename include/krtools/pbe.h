// Password-based encryption: KR_PBE.
#ifndef KRTOOLS_PBE_H
#define KRTOOLS_PBE_H

#include "krtools/export.h"

#endif  // KRTOOLS_PBE_H
