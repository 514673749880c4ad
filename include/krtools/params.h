// Parameter file parser and buffer parsing functions.
#ifndef KRTOOLS_PARAMS_H
#define KRTOOLS_PARAMS_H

#include "krtools/export.h"

#endif  // KRTOOLS_PARAMS_H
