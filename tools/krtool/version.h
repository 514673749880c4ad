// The versions "krtool --version" prints after the tool's own: the libraries
// actually loaded and OpenSSL.
#ifndef KRTOOL_VERSION_H
#define KRTOOL_VERSION_H

namespace krtool {

// One line each for libkrtools, libkrmepit and OpenSSL.
void PrintLoadedVersions();

}  // namespace krtool

#endif  // KRTOOL_VERSION_H
