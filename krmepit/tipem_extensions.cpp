// Extensions objects and attributes objects: ordered lists of identified
// values kept as octets.
#include <openssl/asn1.h>
#include <openssl/err.h>
#include <openssl/objects.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>
#include <vector>

#include "krmepit/tipem.h"
#include "krmepit/tipem_internal.h"

namespace {

constexpr uint32_t kExtensionsMagic = 0x45585453;
constexpr uint32_t kAttributesMagic = 0x41545452;

// A copy of some octets with a stable record pointing at them.
struct Value {
    std::vector<unsigned char> bytes;
    ITEM item{};

    explicit Value(const ITEM* from) {
        if (from != nullptr && from->len != 0) bytes.assign(from->data, from->data + from->len);
        item.data = bytes.empty() ? nullptr : bytes.data();
        item.len = static_cast<unsigned int>(bytes.size());
    }
};

struct Extension {
    std::vector<unsigned char> oid;
    int critical = 0;
    std::vector<std::unique_ptr<Value>> values;
};

struct ExtensionsObject {
    uint32_t magic = kExtensionsMagic;
    std::vector<std::unique_ptr<Extension>> extensions;
};

struct Attribute {
    std::vector<unsigned char> oid;
    std::unique_ptr<Value> value;
};

struct AttributesObject {
    uint32_t magic = kAttributesMagic;
    std::vector<Attribute> attributes;
};

ExtensionsObject* AsExtensions(POINTER handle) {
    return krmepit::FromHandle<ExtensionsObject>(handle, kExtensionsMagic);
}

AttributesObject* AsAttributes(POINTER handle) {
    return krmepit::FromHandle<AttributesObject>(handle, kAttributesMagic);
}

using krmepit::Guarded;

// True when the octets are the content of a well-formed object identifier.
bool IsObjectIdentifier(const unsigned char* content, unsigned int length) {
    ASN1_OBJECT* object = krmepit::ObjectFromContent(content, length);
    ASN1_OBJECT_free(object);
    return object != nullptr;
}

bool ValidItem(const ITEM* item) {
    return item != nullptr && (item->data != nullptr || item->len == 0);
}

}  // namespace

extern "C" {

int CreateExtensionsObject(POINTER* extensionsObject, int kind, POINTER /*surrender*/) {
    if (extensionsObject == nullptr) return KM_ERROR_INVALID_ARGUMENT;
    *extensionsObject = nullptr;
    if (kind != EXTENSIONS_KIND_CERTIFICATE) return KM_ERROR_INVALID_ARGUMENT;
    return Guarded([&] {
        *extensionsObject = new ExtensionsObject;
        return KM_OK;
    });
}

int DestroyExtensionsObject(POINTER* extensionsObject) {
    return krmepit::DestroyHandle<ExtensionsObject>(extensionsObject, kExtensionsMagic);
}

int CreateExtension(POINTER extensionsObject, const unsigned char* oid, unsigned int oidLen,
                    POINTER* extension, int critical, POINTER /*surrender*/) {
    ExtensionsObject* object = AsExtensions(extensionsObject);
    if (object == nullptr || extension == nullptr || !IsObjectIdentifier(oid, oidLen)) {
        return KM_ERROR_INVALID_ARGUMENT;
    }
    for (const auto& present : object->extensions) {
        if (present->oid.size() == oidLen && std::equal(oid, oid + oidLen, present->oid.begin())) {
            *extension = present.get();
            return KM_ERROR_EXTENSION_PRESENT;
        }
    }
    return Guarded([&] {
        auto created = std::make_unique<Extension>();
        created->oid.assign(oid, oid + oidLen);
        created->critical = critical != 0 ? 1 : 0;
        object->extensions.push_back(std::move(created));
        *extension = object->extensions.back().get();
        return KM_OK;
    });
}

int AddExtensionValue(unsigned int* valueIndex, POINTER extensionsObject, POINTER extension,
                      const ITEM* value) {
    ExtensionsObject* object = AsExtensions(extensionsObject);
    if (object == nullptr || !ValidItem(value)) return KM_ERROR_INVALID_ARGUMENT;
    auto owner = std::find_if(object->extensions.begin(), object->extensions.end(),
                              [&](const auto& e) { return e.get() == extension; });
    if (owner == object->extensions.end()) return KM_ERROR_INVALID_ARGUMENT;
    return Guarded([&] {
        (*owner)->values.push_back(std::make_unique<Value>(value));
        if (valueIndex != nullptr) {
            *valueIndex = static_cast<unsigned int>((*owner)->values.size() - 1);
        }
        return KM_OK;
    });
}

int GetExtensionCount(unsigned int* count, POINTER extensionsObject) {
    ExtensionsObject* object = AsExtensions(extensionsObject);
    if (object == nullptr || count == nullptr) return KM_ERROR_INVALID_ARGUMENT;
    *count = static_cast<unsigned int>(object->extensions.size());
    return KM_OK;
}

int GetExtensionInfo(EXTENSION_INFO* info, POINTER extensionsObject, unsigned int index) {
    ExtensionsObject* object = AsExtensions(extensionsObject);
    if (object == nullptr || info == nullptr) return KM_ERROR_INVALID_ARGUMENT;
    if (index >= object->extensions.size()) return KM_ERROR_INDEX;
    Extension& extension = *object->extensions[index];
    info->oid = extension.oid.data();
    info->oidLen = static_cast<unsigned int>(extension.oid.size());
    info->critical = extension.critical;
    info->valueCount = static_cast<unsigned int>(extension.values.size());
    return KM_OK;
}

int GetExtensionValue(ITEM** value, POINTER extensionsObject, unsigned int index,
                      unsigned int valueIndex) {
    ExtensionsObject* object = AsExtensions(extensionsObject);
    if (object == nullptr || value == nullptr) return KM_ERROR_INVALID_ARGUMENT;
    if (index >= object->extensions.size()) return KM_ERROR_INDEX;
    Extension& extension = *object->extensions[index];
    if (valueIndex >= extension.values.size()) return KM_ERROR_INDEX;
    *value = &extension.values[valueIndex]->item;
    return KM_OK;
}

int CreateAttributesObject(POINTER* attributesObject) {
    return krmepit::CreateHandle<AttributesObject>(attributesObject);
}

int DestroyAttributesObject(POINTER* attributesObject) {
    return krmepit::DestroyHandle<AttributesObject>(attributesObject, kAttributesMagic);
}

int AddAttribute(POINTER attributesObject, const unsigned char* oid, unsigned int oidLen,
                 const ITEM* value) {
    AttributesObject* object = AsAttributes(attributesObject);
    if (object == nullptr || !IsObjectIdentifier(oid, oidLen) || !ValidItem(value)) {
        return KM_ERROR_INVALID_ARGUMENT;
    }
    return Guarded([&] {
        Attribute attribute;
        attribute.oid.assign(oid, oid + oidLen);
        attribute.value = std::make_unique<Value>(value);
        object->attributes.push_back(std::move(attribute));
        return KM_OK;
    });
}

int GetAttributeCount(unsigned int* count, POINTER attributesObject) {
    AttributesObject* object = AsAttributes(attributesObject);
    if (object == nullptr || count == nullptr) return KM_ERROR_INVALID_ARGUMENT;
    *count = static_cast<unsigned int>(object->attributes.size());
    return KM_OK;
}

int GetAttribute(ITEM* oid, ITEM* value, POINTER attributesObject, unsigned int index) {
    AttributesObject* object = AsAttributes(attributesObject);
    if (object == nullptr || oid == nullptr || value == nullptr) return KM_ERROR_INVALID_ARGUMENT;
    if (index >= object->attributes.size()) return KM_ERROR_INDEX;
    Attribute& attribute = object->attributes[index];
    oid->data = attribute.oid.data();
    oid->len = static_cast<unsigned int>(attribute.oid.size());
    *value = attribute.value->item;
    return KM_OK;
}

}  // extern "C"
