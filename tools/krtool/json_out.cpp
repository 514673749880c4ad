// JSON output and escaped texts.
#include "json_out.h"

#include <cstdio>

namespace krtool {

void WriteJson(const nlohmann::json& document) {
    WriteOutput(document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n");
}

void WriteOrderedJson(const nlohmann::ordered_json& document) {
    WriteOutput(document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n");
}

std::string EscapeControls(const std::string& text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        const auto octet = static_cast<unsigned char>(c);
        if (c == '\\') {
            escaped += "\\\\";
        } else if (octet < 0x20 || octet == 0x7F) {
            char code[5];
            std::snprintf(code, sizeof code, "\\x%02X", octet);
            escaped += code;
        } else {
            escaped += c;
        }
    }
    return escaped;
}

}  // namespace krtool
