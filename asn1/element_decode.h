// The element chain decoder shared by KR_ASN1_ELEMENT::Decode and
// KR_ASN1_STRUCTURE::Decode.
#ifndef KRTOOLS_ASN1_ELEMENT_DECODE_H
#define KRTOOLS_ASN1_ELEMENT_DECODE_H

#include "asn1/element_pool.h"
#include "krtools/asn1.h"

namespace krasn1 {

// Decodes |first| and its following siblings with all their descendants.
// Same result and errors as KR_ASN1_ELEMENT::Decode; the blocks of new
// elements come from the structure's pool at |position|, which is advanced.
unsigned char* DecodeChain(KR_ASN1_ELEMENT* first, PoolPosition& position);

}  // namespace krasn1

#endif  // KRTOOLS_ASN1_ELEMENT_DECODE_H
