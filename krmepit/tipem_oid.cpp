// Object identifiers from their content octets.
#include <openssl/asn1.h>
#include <openssl/err.h>
#include <openssl/objects.h>

#include <vector>

#include "krmepit/tipem_internal.h"

namespace krmepit {

ASN1_OBJECT* ObjectFromContent(const unsigned char* content, unsigned int length) {
    if (content == nullptr || length == 0 || length > 0xFFFF) return nullptr;
    // A long-form length is accepted by the decoder for any size.
    std::vector<unsigned char> encoded{V_ASN1_OBJECT, 0x82, static_cast<unsigned char>(length >> 8),
                                       static_cast<unsigned char>(length & 0xFF)};
    encoded.insert(encoded.end(), content, content + length);
    const unsigned char* p = encoded.data();
    ERR_set_mark();
    ASN1_OBJECT* object = d2i_ASN1_OBJECT(nullptr, &p, static_cast<long>(encoded.size()));
    ERR_pop_to_mark();
    return object;
}

}  // namespace krmepit
