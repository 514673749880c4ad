// The file object, directory enumeration and path helpers.
#ifndef KRTOOLS_FILE_H
#define KRTOOLS_FILE_H

#include "krtools/export.h"

#endif  // KRTOOLS_FILE_H
