// The element chain decoder shared by KR_ASN1_ELEMENT::Decode and
// KR_ASN1_STRUCTURE::Decode.
#ifndef KRTOOLS_ASN1_ELEMENT_DECODE_H
#define KRTOOLS_ASN1_ELEMENT_DECODE_H

#include "asn1/element_alloc.h"
#include "krtools/asn1.h"

namespace krasn1 {

// Decodes |first| and its following siblings with all their descendants,
// taking the blocks of new elements from |recycler| (may be null) first.
// Same result and errors as KR_ASN1_ELEMENT::Decode.
unsigned char* DecodeChain(KR_ASN1_ELEMENT* first, TreeRecycler* recycler);

}  // namespace krasn1

#endif  // KRTOOLS_ASN1_ELEMENT_DECODE_H
