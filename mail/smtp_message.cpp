// Addresses, headers and body of the messages KRSmtpClient sends.
#include "mail/smtp_message.h"

#include <cstdio>
#include <ctime>
#include <random>

#include "krtools/bufenc.h"
#include "krtools/exception.h"
#include "platform/platform.h"

namespace krmail {

namespace {

constexpr size_t kMaxLineLength = 998;  // octets, without the CRLF
constexpr size_t kHeaderWidth = 78;
constexpr size_t kEncodedPiece = 39;  // bytes per encoded word: 52 Base64 characters

[[noreturn]] void Refuse(const std::string& text) { throw KRException(-1, text.c_str()); }

// Where the quoted part that starts at `at` ends (its closing quote).
size_t QuotedEnd(const std::string& address, size_t at) {
    for (size_t i = at + 1; i < address.size(); ++i) {
        if (address[i] == '\\') {
            ++i;
        } else if (address[i] == '"') {
            return i;
        }
    }
    return std::string::npos;
}

const char* AddressFault(const std::string& address) {
    if (address.empty()) return "empty";
    for (char c : address) {
        auto byte = static_cast<unsigned char>(c);
        if (byte < 32 || byte == 127) return "control character or line break";
        if (c == '<' || c == '>') return "angle bracket";
    }
    for (size_t i = 0; i < address.size(); ++i) {
        if (address[i] == '"') {
            i = QuotedEnd(address, i);
            if (i == std::string::npos) return "unclosed quote";
        } else if (address[i] == ' ') {
            return "blank outside quotes";
        }
    }
    return nullptr;
}

bool NeedsEncoding(const std::string& text) {
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if (byte < 32 || byte > 126) return true;
    }
    return text.find("=?") != std::string::npos || text.size() + 9 > kMaxLineLength;
}

// The next piece of at most kEncodedPiece bytes, never cutting a UTF-8
// sequence.
size_t PieceLength(const std::string& text, size_t at) {
    size_t length = std::min(kEncodedPiece, text.size() - at);
    while (length > 1 && at + length < text.size() &&
           (static_cast<unsigned char>(text[at + length]) & 0xC0) == 0x80) {
        --length;
    }
    return length;
}

std::string DateValue(int64_t date) {
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::tm tm{};
    if (!krplatform::ToUtcTime(date, &tm)) krplatform::ToUtcTime(0, &tm);
    char text[64];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d +0000", kDays[tm.tm_wday],
                  tm.tm_mday, kMonths[tm.tm_mon], tm.tm_year + 1900, tm.tm_hour, tm.tm_min,
                  tm.tm_sec);
    return text;
}

// "To: " and the recipients, folded before an address that would pass the
// header width.
std::string ToHeader(const std::vector<std::string>& to) {
    std::string header = "To:";
    size_t lineStart = 0;
    for (size_t i = 0; i < to.size(); ++i) {
        std::string item = to[i] + (i + 1 < to.size() ? "," : "");
        if (i > 0 && header.size() - lineStart + 1 + item.size() > kHeaderWidth) {
            header += "\r\n";
            lineStart = header.size();
        }
        header += " " + item;
    }
    return header + "\r\n";
}

// The body with CRLF line ends, dot-stuffed, ending with CRLF.
std::string BodyText(const std::string& body) {
    if (body.find('\0') != std::string::npos) Refuse("message: the body holds a NUL byte");
    std::string text = SmtpCanonicalBody(body);
    if (!text.empty() && text.compare(text.size() - 2, 2, "\r\n") != 0) text += "\r\n";
    size_t line = 1;
    for (size_t start = 0; start < text.size(); ++line) {
        size_t end = text.find("\r\n", start);
        if (end - start > kMaxLineLength) {
            Refuse("message: body line " + std::to_string(line) + " is longer than " +
                   std::to_string(kMaxLineLength) + " bytes");
        }
        start = end + 2;
    }
    return text;
}

}  // namespace

void CheckAddress(const std::string& address, const char* role) {
    const char* fault = AddressFault(address);
    if (fault != nullptr) {
        Refuse(std::string(role) + " address \"" + address + "\": " + fault);
    }
}

std::string Base64(const std::string& bytes) {
    std::string out(4 * (bytes.size() + 2) / 3 + 4, '\0');
    FilterContext context;
    FilterInit(&context, KR_FILTER_FORMAT_BASE64);
    int count = FilterData(reinterpret_cast<const unsigned char*>(bytes.data()), &out[0],
                           static_cast<int>(bytes.size()), &context);
    count += FilterFinal(&out[static_cast<size_t>(count)], &context);
    out.resize(static_cast<size_t>(count));
    return out;
}

std::string SubjectValue(const std::string& subject) {
    if (!NeedsEncoding(subject)) return subject;
    std::string value;
    for (size_t at = 0; at < subject.size();) {
        size_t length = PieceLength(subject, at);
        if (!value.empty()) value += "\r\n ";
        value += "=?UTF-8?B?" + Base64(subject.substr(at, length)) + "?=";
        at += length;
    }
    return value;
}

bool HasEightBitBytes(const std::string& body) {
    for (char c : body) {
        if (static_cast<unsigned char>(c) > 127) return true;
    }
    return false;
}

std::string ComposeMessage(const KRMailMessage& message, int64_t date,
                           const std::string& messageId) {
    if (message.subject.find_first_of("\r\n") != std::string::npos) {
        Refuse("message: line break in the subject");
    }
    std::string text = "Date: " + DateValue(date) + "\r\nFrom: " + message.from + "\r\n" +
                       ToHeader(message.to) + "Subject: " + SubjectValue(message.subject) +
                       "\r\nMessage-ID: " + messageId + "\r\n";
    if (HasEightBitBytes(message.body)) {
        text +=
            "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=UTF-8\r\n"
            "Content-Transfer-Encoding: 8bit\r\n";
    }
    return text + "\r\n" + BodyText(message.body) + ".\r\n";
}

std::string NewMessageId(const std::string& domain) {
    std::random_device source;
    char text[40];
    std::snprintf(text, sizeof text, "<%08x%08x%08x.", source(), source(), source());
    return text + std::to_string(krplatform::CurrentTime()) + "@" + domain + ">";
}

}  // namespace krmail
