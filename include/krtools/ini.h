// INI files.
#ifndef KRTOOLS_INI_H
#define KRTOOLS_INI_H

#include "krtools/export.h"

#endif  // KRTOOLS_INI_H
