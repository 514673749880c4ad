// Line-ending conversion and dot-stuffing of a message body.
#include <string>

#include "krtools/mailer.h"

std::string SmtpCanonicalBody(const std::string& body) {
    std::string out;
    out.reserve(body.size() + body.size() / 16 + 2);
    bool lineStart = true;
    for (size_t i = 0; i < body.size(); ++i) {
        char c = body[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < body.size() && body[i + 1] == '\n') ++i;
            out += "\r\n";
            lineStart = true;
            continue;
        }
        if (lineStart && c == '.') out += '.';
        out += c;
        lineStart = false;
    }
    return out;
}
