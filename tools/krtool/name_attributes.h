// The attributes of a distinguished name read from its DER, so that every
// octet of every value can be shown, whatever the name holds.
#ifndef KRTOOL_NAME_ATTRIBUTES_H
#define KRTOOL_NAME_ATTRIBUTES_H

#include <nlohmann/json.hpp>

#include "krmepit/tipem.h"

namespace krtool {

// One object {"type", "value", "hex"} per attribute of the toolkit name
// object `name`, in the order of its DER: the type as a short name (CN, OU,
// ...) or a dotted object identifier, the value's raw octets as text and in
// hexadecimal. InputError when the DER cannot be read.
nlohmann::ordered_json NameAttributes(POINTER name);

}  // namespace krtool

#endif  // KRTOOL_NAME_ATTRIBUTES_H
