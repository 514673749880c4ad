// Decrypts arbitrary data with KR_PBE. The first octet gives the password
// length (1 to 16), the password follows, the rest is the message (Base64
// text when it begins with "M", binary otherwise). Every failure must be a
// KRException with a code of the library's own or of the toolkit.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "krtools/pbe.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    size_t passwordLength = 1 + data[0] % 16;
    if (size < 1 + passwordLength + 1) return 0;
    // Copies, so that reads past the ends are caught.
    std::vector<unsigned char> password(data + 1, data + 1 + passwordLength);
    std::vector<unsigned char> message(data + 1 + passwordLength, data + size);
    if (message.size() > 65536) return 0;
    KR_PBE pbe;
    try {
        pbe.SetPassword(password.data(), static_cast<unsigned int>(password.size()));
        pbe.SetMessage(message.data(), static_cast<unsigned int>(message.size()));
        pbe.Decrypt();
        if (pbe.GetResultLen() < 0 || pbe.GetResultLen() > static_cast<int>(message.size())) {
            __builtin_trap();
        }
    } catch (const KRException& e) {
        bool own = e.rc >= -10 && e.rc <= -7;
        bool toolkit = e.rc >= 257 && e.rc <= 541;
        if (!own && !toolkit) __builtin_trap();
    }
    return 0;
}
