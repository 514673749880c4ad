// Recognising complete SMTP replies (RFC 5321, section 4.2).
#include "mail/smtp_reply.h"

#include <cstdio>

namespace krmail {

namespace {

bool InRange(char c, char low, char high) { return c >= low && c <= high; }

bool IsTextByte(char c) {
    auto byte = static_cast<unsigned char>(c);
    return byte == '\t' || (byte >= 32 && byte != 127);
}

// Whether `line` (without its line end; `complete` when the end was seen)
// can be, or begin, a reply line.
bool ValidLine(const std::string& bytes, size_t start, size_t end, bool complete) {
    static const char kLow[] = {'2', '0', '0'};
    static const char kHigh[] = {'5', '5', '9'};
    if (!complete && end > start && bytes[end - 1] == '\r') --end;  // its LF is on the way
    size_t length = end - start;
    for (size_t i = 0; i < 3 && i < length; ++i) {
        if (!InRange(bytes[start + i], kLow[i], kHigh[i])) return false;
    }
    if (complete && length < 3) return false;
    if (length > 3 && bytes[start + 3] != ' ' && bytes[start + 3] != '-') return false;
    for (size_t i = start + 4; i < end; ++i) {
        if (!IsTextByte(bytes[i])) return false;
    }
    return true;
}

}  // namespace

std::string SmtpReply::Text() const {
    std::string text;
    for (const std::string& line : lines) text += (text.empty() ? "" : " / ") + line;
    return text;
}

ReplyScan ScanReply(const std::string& bytes, SmtpReply* reply, size_t* used) {
    reply->code = 0;
    reply->lines.clear();
    size_t start = 0;
    for (;;) {
        size_t lineFeed = bytes.find('\n', start);
        bool complete = lineFeed != std::string::npos;
        size_t end = complete ? lineFeed : bytes.size();
        if (complete && end > start && bytes[end - 1] == '\r') --end;
        if (!ValidLine(bytes, start, end, complete)) return ReplyScan::kMalformed;
        if (!complete) {
            return bytes.size() >= kMaxReplySize ? ReplyScan::kTooLong : ReplyScan::kIncomplete;
        }
        if (lineFeed >= kMaxReplySize) return ReplyScan::kTooLong;
        int code = std::stoi(bytes.substr(start, 3));
        if (reply->code != 0 && code != reply->code) return ReplyScan::kMalformed;
        reply->code = code;
        reply->lines.push_back(bytes.substr(start, end - start));
        start = lineFeed + 1;
        const std::string& line = reply->lines.back();
        if (line.size() == 3 || line[3] == ' ') {
            *used = start;
            return ReplyScan::kComplete;
        }
    }
}

std::string Printable(const std::string& bytes) {
    std::string out;
    for (size_t i = 0; i < bytes.size() && out.size() < 200; ++i) {
        auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte >= 32 && byte < 127 && byte != '\\') {
            out += static_cast<char>(byte);
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", byte);
            out += escape;
        }
    }
    return out;
}

}  // namespace krmail
