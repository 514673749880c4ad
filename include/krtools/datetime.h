// Date and time conversions.
#ifndef KRTOOLS_DATETIME_H
#define KRTOOLS_DATETIME_H

#include "krtools/export.h"

#endif  // KRTOOLS_DATETIME_H
