// A program outside the project that uses the installed library.
#include <krtools/krtools.h>
#include <krtools/version.h>

#include <cstdio>
#include <cstring>

int main() {
    if (CCATest() != 0) return 1;
    try {
        throw KRException(-2, "consumer", "works");
    } catch (const KRException& e) {
        if (e.rc != -2 || std::strcmp(e.text.c_str(), "consumer\nworks") != 0) return 1;
    }
    KR_DYNAMIC_PTR block;
    block.Malloc(16);
    std::memset(block.ptr, 0, 16);
    // MD5 through the toolkit library, so libkrmepit must load too.
    KR_HASH hash(2, nullptr);
    hash.Update(reinterpret_cast<unsigned char*>(block.ptr), 16);
    hash.Final();
    if (hash.GetDigestLen() != 16) return 1;
    if (std::strcmp(KRToolsVersion(), KRTOOLS_VERSION_STRING) != 0) return 1;
    std::printf("consumer ok (krtools %s)\n", KRToolsVersion());
    return 0;
}
