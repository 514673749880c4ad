// DES, triple-DES and RC2 ciphers, the cipher context, the DES MAC and stored passwords.
#ifndef KRTOOLS_DES_H
#define KRTOOLS_DES_H

#include "krtools/export.h"

#endif  // KRTOOLS_DES_H
