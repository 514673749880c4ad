// JSON output of the commands whose result is a structure.
#ifndef KRTOOL_JSON_OUT_H
#define KRTOOL_JSON_OUT_H

#include <nlohmann/json.hpp>
#include <string>

#include "command.h"

namespace krtool {

// The --json option of a command's table.
inline constexpr Option kJsonOption = {0, "json", nullptr,
                                       "print one JSON document instead of text"};

// Writes `document` indented, followed by a line feed; octets that are not
// UTF-8 appear as U+FFFD (commands give raw octets in hexadecimal beside such
// texts).
void WriteJson(const nlohmann::json& document);
void WriteOrderedJson(const nlohmann::ordered_json& document);

// `text` with control characters (below 0x20, and 0x7F) as "\xNN" and the
// backslash as "\\", so that a printed text never hides what it holds.
std::string EscapeControls(const std::string& text);

}  // namespace krtool

#endif  // KRTOOL_JSON_OUT_H
