// TIPEM_NAME_AVA: one attribute value assertion as a value type.
#include "krtools/cert.h"

TIPEM_NAME_AVA::TIPEM_NAME_AVA() : type(nullptr), typeLen(0), valueTag(0) {}

TIPEM_NAME_AVA::TIPEM_NAME_AVA(const TIPEM_NAME_AVA& other) = default;

TIPEM_NAME_AVA::~TIPEM_NAME_AVA() = default;

void TIPEM_NAME_AVA::operator=(const TIPEM_NAME_AVA& other) {
    type = other.type;
    typeLen = other.typeLen;
    valueTag = other.valueTag;
    value = other.value;
}

void TIPEM_NAME_AVA::operator=(const char* text) {
    if (text == nullptr) {
        value.clear();
    } else {
        value = text;
    }
}

bool TIPEM_NAME_AVA::operator==(const TIPEM_NAME_AVA& other) const {
    return type == other.type && typeLen == other.typeLen && valueTag == other.valueTag &&
           value == other.value;
}

const char* TIPEM_NAME_AVA::c_str() const { return value.c_str(); }

int TIPEM_NAME_AVA::size() const { return static_cast<int>(value.size()); }

void TIPEM_NAME_AVA::Clear() {
    type = nullptr;
    typeLen = 0;
    valueTag = 0;
    value.clear();
}
