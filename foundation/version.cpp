// The version of the library as built.
#include "krtools/version.h"

const char* KRToolsVersion(void) { return KRTOOLS_VERSION_STRING; }
