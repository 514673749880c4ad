// Toolkit extensions and attributes objects at the C interface.
#include <gtest/gtest.h>

#include <string>

#include "krmepit/tipem.h"

namespace {

const unsigned char kSan[3] = {0x55, 0x1D, 0x11};
const unsigned char kBasic[3] = {0x55, 0x1D, 0x13};

std::string Text(const ITEM& item) {
    return std::string(reinterpret_cast<const char*>(item.data), item.len);
}

ITEM ItemOf(const char* text) {
    return ITEM{reinterpret_cast<unsigned char*>(const_cast<char*>(text)),
                static_cast<unsigned int>(std::char_traits<char>::length(text))};
}

TEST(TipemExtensions, ExtensionsKeepOrderValuesAndRefuseDuplicates) {
    POINTER extensions = nullptr;
    EXPECT_EQ(CreateExtensionsObject(&extensions, 2, nullptr), KM_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(extensions, nullptr);
    ASSERT_EQ(CreateExtensionsObject(&extensions, EXTENSIONS_KIND_CERTIFICATE, nullptr), KM_OK);

    POINTER san = nullptr, basic = nullptr, again = nullptr;
    ASSERT_EQ(CreateExtension(extensions, kSan, 3, &san, 0, nullptr), KM_OK);
    ASSERT_EQ(CreateExtension(extensions, kBasic, 3, &basic, 1, nullptr), KM_OK);
    EXPECT_EQ(CreateExtension(extensions, kSan, 3, &again, 1, nullptr), 284);
    EXPECT_EQ(again, san);

    unsigned int valueIndex = 7;
    ITEM first = ItemOf("first"), second = ItemOf("second");
    ASSERT_EQ(AddExtensionValue(&valueIndex, extensions, san, &first), KM_OK);
    EXPECT_EQ(valueIndex, 0u);
    ASSERT_EQ(AddExtensionValue(&valueIndex, extensions, san, &second), KM_OK);
    EXPECT_EQ(valueIndex, 1u);
    int foreign = 0;
    EXPECT_EQ(AddExtensionValue(nullptr, extensions, &foreign, &first), KM_ERROR_INVALID_ARGUMENT);

    unsigned int count = 0;
    ASSERT_EQ(GetExtensionCount(&count, extensions), KM_OK);
    EXPECT_EQ(count, 2u);
    EXTENSION_INFO info{};
    ASSERT_EQ(GetExtensionInfo(&info, extensions, 1), KM_OK);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(info.oid), info.oidLen),
              std::string(reinterpret_cast<const char*>(kBasic), 3));
    EXPECT_EQ(info.critical, 1);
    EXPECT_EQ(info.valueCount, 0u);
    EXPECT_EQ(GetExtensionInfo(&info, extensions, 2), KM_ERROR_INDEX);

    ITEM* value = nullptr;
    ASSERT_EQ(GetExtensionValue(&value, extensions, 0, 1), KM_OK);
    EXPECT_EQ(Text(*value), "second");
    ASSERT_EQ(GetExtensionValue(&value, extensions, 0, 0), KM_OK);
    EXPECT_EQ(Text(*value), "first");
    EXPECT_EQ(GetExtensionValue(&value, extensions, 1, 0), KM_ERROR_INDEX);

    const unsigned char badOid[] = {0x80, 0x01};
    POINTER bad = nullptr;
    EXPECT_EQ(CreateExtension(extensions, badOid, 2, &bad, 0, nullptr), KM_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(DestroyExtensionsObject(&extensions), KM_OK);
    EXPECT_EQ(extensions, nullptr);
    EXPECT_EQ(DestroyExtensionsObject(&extensions), KM_OK);
    EXPECT_EQ(GetExtensionCount(&count, nullptr), KM_ERROR_INVALID_ARGUMENT);
}

TEST(TipemAttributes, AttributesAreListedInOrder) {
    POINTER attributes = nullptr;
    ASSERT_EQ(CreateAttributesObject(&attributes), KM_OK);
    const unsigned char contentType[] = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x09, 0x03};
    ITEM value = ItemOf("\x06\x01\x01");
    ASSERT_EQ(AddAttribute(attributes, contentType, sizeof contentType, &value), KM_OK);
    ASSERT_EQ(AddAttribute(attributes, kSan, 3, &value), KM_OK);
    EXPECT_EQ(AddAttribute(attributes, contentType, 0, &value), KM_ERROR_INVALID_ARGUMENT);
    unsigned int count = 0;
    ASSERT_EQ(GetAttributeCount(&count, attributes), KM_OK);
    EXPECT_EQ(count, 2u);
    ITEM oid{}, got{};
    ASSERT_EQ(GetAttribute(&oid, &got, attributes, 0), KM_OK);
    EXPECT_EQ(oid.len, sizeof contentType);
    EXPECT_EQ(Text(got), Text(value));
    EXPECT_EQ(GetAttribute(&oid, &got, attributes, 2), KM_ERROR_INDEX);
    // A handle of another kind is refused.
    EXPECT_EQ(GetExtensionCount(&count, attributes), KM_ERROR_INVALID_ARGUMENT);
    DestroyAttributesObject(&attributes);
    EXPECT_EQ(attributes, nullptr);
}

}  // namespace
