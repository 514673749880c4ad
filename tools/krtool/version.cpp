// The loaded libraries' versions for "krtool --version".
#include "version.h"

#include <cstdio>

#include "krmepit/krmepit_version.h"
#include "krtools/version.h"

namespace krtool {

void PrintLoadedVersions() {
    std::printf("libkrtools %s\n", KRToolsVersion());
    std::printf("libkrmepit %s\n", KRMEPIT_Version());
    std::printf("%s\n", KRMEPIT_OpenSSLVersion());
}

}  // namespace krtool
