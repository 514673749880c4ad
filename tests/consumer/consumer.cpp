// A program outside the project that uses the installed library.
#include <krtools/krtools.h>

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
    std::printf("consumer ok\n");
    return 0;
}
