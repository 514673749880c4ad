// SafeString and FilteredString.
#ifndef KRTOOLS_SAFESTRING_H
#define KRTOOLS_SAFESTRING_H

#include "krtools/export.h"

#endif  // KRTOOLS_SAFESTRING_H
