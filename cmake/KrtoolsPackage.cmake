# The Debian package (make package): cpack -G DEB in the release build gives
# krtools_<version>_amd64.deb with the libraries, headers, CMake and
# pkg-config files, krtool, its manual page and completion, and the Debian
# copyright file and changelog generated here.

# Debian copyright file (machine-readable format) from LICENSE: the license's
# SPDX name and the notice of its appendix; the full text is the system's.
file(READ "${PROJECT_SOURCE_DIR}/LICENSE" kr_license)
if(NOT kr_license MATCHES "Apache License[ \n]+Version 2\\.0")
  message(FATAL_ERROR "LICENSE is not the Apache License, Version 2.0")
endif()
string(REGEX MATCH "Licensed under the Apache License[^\n]*\n([^\n]*\n)*[^\n]*limitations under the License\\."
       kr_notice "${kr_license}")
string(REGEX REPLACE "\n[ \t]*\n" "\n.\n" kr_notice "${kr_notice}")
string(REGEX REPLACE "\n[ \t]*" "\n " kr_notice "${kr_notice}")
set(KR_SPDX_LICENSE "Apache-2.0")
set(KR_COPYRIGHT "2026 The krtools developers")
set(KR_MAINTAINER "The krtools developers <krtools@example.org>")
string(TIMESTAMP KR_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
set(kr_debian "${PROJECT_BINARY_DIR}/debian")
file(WRITE "${kr_debian}/copyright"
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: krtools

Files: *
Copyright: ${KR_COPYRIGHT}
License: ${KR_SPDX_LICENSE}

License: ${KR_SPDX_LICENSE}
 ${kr_notice}
 .
 On Debian systems, the full text of the Apache License, Version 2.0 can be
 found in /usr/share/common-licenses/Apache-2.0.
")
file(WRITE "${kr_debian}/changelog"
"krtools (${PROJECT_VERSION}) stable; urgency=medium

  * Release ${PROJECT_VERSION}.

 -- ${KR_MAINTAINER}  ${KR_DATE}
")
execute_process(COMMAND gzip -9nf "${kr_debian}/changelog")
# The dynamic linker's cache is refreshed once after every package that
# installs libraries has been unpacked, rather than by scripts of our own.
file(WRITE "${kr_debian}/triggers" "activate-noawait ldconfig\n")
install(FILES "${kr_debian}/copyright" "${kr_debian}/changelog.gz"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/krtools)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME krtools)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The krtools developers")
set(CPACK_PACKAGE_CONTACT "${KR_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "utility library for secure data exchange, and its tool")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"krtools is a C++17 library for ASN.1 decoding, MD5 and SHA-1 digests,
password-based encryption, DES, triple DES and RC2, X.509 certificates and
distinguished names, Base64 and quoted-printable streams, INI and parameter
files, CRC-16, files, time stamps and a small SMTP client.

The package holds the shared and static libraries, their headers, CMake and
pkg-config files, and the command-line tool krtool.")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KR_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS "${PROJECT_BINARY_DIR}")
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${kr_debian}/triggers")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
