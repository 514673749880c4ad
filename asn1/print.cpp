// The readable dump of an element tree on standard output, and the
// hexadecimal text of one element.
#include <cstdio>
#include <string>

#include "krtools/asn1.h"

namespace {

constexpr int kHeaderWidth = 16;
constexpr int kHexSliceWidth = 40;

void AppendQuoted(std::string& text, const char* name, const KR_ASN1_ELEMENT* e) {
    text += name;
    text += " \"";
    if (e->content != nullptr && e->length > 0) {
        text.append(reinterpret_cast<const char*>(e->content), static_cast<size_t>(e->length));
    }
    text += '"';
}

std::string Description(const KR_ASN1_ELEMENT* e) {
    std::string text;
    if (e->tagClass == 0x80) {
        return "CONTEXT SPECIFIC[" + std::to_string(e->tagNumber) + "]";
    }
    switch (e->tagNumber) {
        case 2:
            return "INTEGER";
        case 3:
            return "BIT STRING (" + std::to_string(e->unusedBits) + " unused bits)";
        case 4:
            return "OCTET STRING";
        case 5:
            return "NULL";
        case 6:
            return "OBJECT ID";
        case 16:
            return "SEQUENCE";
        case 17:
            return "SET";
        case 19:
            AppendQuoted(text, "PRINTABLE STRING", e);
            return text;
        case 20:
            AppendQuoted(text, "T61 STRING", e);
            return text;
        case 22:
            AppendQuoted(text, "IA5 STRING", e);
            return text;
        case 23:
            AppendQuoted(text, "UTC TIME", e);
            return text;
        default:
            return "UNKNOWN";
    }
}

void PrintBlanks(int count) {
    if (count != 0) std::printf("%*s", count, " ");
}

}  // namespace

const char* KR_ASN1_ELEMENT::Hex2Char() {
    static const char kDigits[] = "0123456789ABCDEF";
    hexText.clear();
    if (content != nullptr && length > 0) {
        hexText.reserve(static_cast<size_t>(length) * 5 / 2);
        for (int32_t i = 0; i < length; ++i) {
            if (i > 0 && i % 2 == 0) hexText += ' ';
            hexText += kDigits[content[i] >> 4];
            hexText += kDigits[content[i] & 0x0F];
        }
    }
    return hexText.c_str();
}

void KR_ASN1_STRUCTURE::Print() {
    if (root == nullptr) {
        std::printf("Empty ASN1 structure\n");
        return;
    }
    PrintElementLevel(root, 0);
}

namespace {

// Pre-order walk over the links: after an element comes its first child;
// at the end of a chain the walk climbs through |parent| to the next
// sibling of an enclosing element, never above the chain it started on.
// Calls visit(element, level) for each, level growing by 2 per nesting.
template <typename Visit>
void WalkPreOrder(KR_ASN1_ELEMENT* element, int level, Visit visit) {
    const int topLevel = level;
    KR_ASN1_ELEMENT* current = element;
    while (current != nullptr) {
        visit(current, level);
        if (current->child != nullptr) {
            current = current->child;
            level += 2;
            continue;
        }
        while (current->sibling == nullptr && level != topLevel) {
            current = current->parent;
            level -= 2;
        }
        current = current->sibling;
    }
}

// Header, |indent| blanks, |marker|, description; then the hexadecimal
// slices of a primitive element indented by 16 + indent + 2 blanks.
void PrintLines(KR_ASN1_ELEMENT* element, int indent, const std::string& marker) {
    std::printf("%02X %04X%s", static_cast<unsigned>(element->id),
                static_cast<unsigned>(element->length),
                element->indefinite ? " (ind) | " : "       | ");
    PrintBlanks(indent);
    std::printf("%s%s\n", marker.c_str(), Description(element).c_str());

    if (element->constructed || element->content == nullptr || element->length == 0) return;
    element->Hex2Char();
    const std::string& hex = element->hexText;
    const char* slice = hex.c_str();
    for (size_t left = hex.size(); left > 0;) {
        PrintBlanks(kHeaderWidth);
        PrintBlanks(indent + 2);
        std::printf("%.*s\n", kHexSliceWidth, slice);
        const size_t step = left < kHexSliceWidth ? left : kHexSliceWidth;
        slice += step;
        left -= step;
    }
}

}  // namespace

void KR_ASN1_STRUCTURE::PrintElementLevel(KR_ASN1_ELEMENT* element, int level) {
    WalkPreOrder(element, level, [this](KR_ASN1_ELEMENT* e, int at) { PrintElement(e, at); });
}

void KR_ASN1_STRUCTURE::PrintElement(KR_ASN1_ELEMENT* element, int level) {
    PrintLines(element, level, std::string());
}

void KR_ASN1_STRUCTURE::PrintDepthCapped(int maxDepth) {
    if (root == nullptr) {
        std::printf("Empty ASN1 structure\n");
        return;
    }
    const int maxIndent = 2 * (maxDepth > 0 ? maxDepth : 0);
    WalkPreOrder(root, 0, [maxIndent](KR_ASN1_ELEMENT* e, int level) {
        if (level <= maxIndent) {
            PrintLines(e, level, std::string());
        } else {
            PrintLines(e, maxIndent, "[depth " + std::to_string(level / 2) + "] ");
        }
    });
}
