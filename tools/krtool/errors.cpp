// Plain-language texts for the library's failures.
#include <cstring>
#include <string>

#include "command.h"
#include "krtools/exception.h"

namespace krtool {

namespace {

// The text on one line: line ends become "; ".
std::string OneLine(const std::string& text) {
    std::string line;
    for (char c : text) {
        if (c == '\r') continue;
        line += c == '\n' ? std::string("; ") : std::string(1, c);
    }
    while (line.size() >= 2 && line.compare(line.size() - 2, 2, "; ") == 0)
        line.resize(line.size() - 2);
    return line;
}

// The value after "<label>: " up to the next ", " or line end.
std::string Field(const std::string& text, const std::string& label) {
    const size_t at = text.find(label + ": ");
    if (at == std::string::npos) return "";
    const size_t start = at + label.size() + 2;
    const size_t end = text.find_first_of(",\r\n", start);
    return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::string SystemReason(int rc) { return rc > 0 ? std::strerror(rc) : "failed"; }

// The verb of a file operation named by the file object or the directory
// walker.
std::string Verb(const std::string& function) {
    if (function.find("Open") != std::string::npos) return "open";
    if (function.find("Write") != std::string::npos || function.find("Puts") != std::string::npos)
        return "write";
    if (function.find("Attributes") != std::string::npos) return "read the status of";
    if (function.find("Next") != std::string::npos) return "list";
    return "read";
}

}  // namespace

std::string LibraryDetail(const KRException& e) {
    return "library: " + OneLine(e.text) + " (code " + std::to_string(e.rc) + ")";
}

std::string DescribeLibraryError(const KRException& e) {
    const std::string function = Field(e.text, "Function");
    if (!function.empty()) {
        return "cannot " + Verb(function) + " '" + Field(e.text, "Filename") +
               "': " + SystemReason(e.rc);
    }
    const size_t lineEnd = e.text.find('\n');
    const std::string where = e.text.substr(0, lineEnd);
    if (where.rfind("KRDIR::", 0) == 0 && lineEnd != std::string::npos && e.rc > 0) {
        std::string path = e.text.substr(lineEnd + 1);
        path = path.substr(0, path.find_first_of("\r\n"));
        return "cannot " + Verb(where) + " '" + path + "': " + SystemReason(e.rc);
    }
    const std::string text = OneLine(e.text);
    return text.empty() ? "the library failed with code " + std::to_string(e.rc) : text;
}

}  // namespace krtool
