// Wrappers over the crypto toolkit handles.
#ifndef KRTOOLS_TOOLKIT_H
#define KRTOOLS_TOOLKIT_H

#include "krtools/export.h"

#endif  // KRTOOLS_TOOLKIT_H
