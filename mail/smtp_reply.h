// SMTP replies: recognising one complete reply at the front of the bytes
// received (internal).
#ifndef KRTOOLS_MAIL_SMTP_REPLY_H
#define KRTOOLS_MAIL_SMTP_REPLY_H

#include <cstddef>
#include <string>
#include <vector>

namespace krmail {

// Replies longer than this are refused.
inline constexpr size_t kMaxReplySize = 65536;

// One reply: its three-digit code and the text of each line.
struct SmtpReply {
    int code = 0;
    std::vector<std::string> lines;
    // The lines as the server sent them, joined by " / ", for messages.
    std::string Text() const;
};

enum class ReplyScan {
    kComplete,    // *reply holds the reply, *used the bytes it took
    kIncomplete,  // all that is there is a valid beginning: receive more
    kMalformed,   // a line is not "ddd", "ddd text" or "ddd-text", or the codes differ
    kTooLong,     // no reply end within kMaxReplySize bytes
};

// Scans `bytes` for one reply at their start. Lines end with CRLF (a bare
// LF is taken too); text bytes below 32 other than TAB make a line
// malformed, and so does a code whose first digit is not 2 to 5. A bad
// beginning is reported as soon as it arrives, without waiting for the
// line end.
ReplyScan ScanReply(const std::string& bytes, SmtpReply* reply, size_t* used);

// `bytes` made printable for an error message (\xNN escapes), cut at 200.
std::string Printable(const std::string& bytes);

}  // namespace krmail

#endif  // KRTOOLS_MAIL_SMTP_REPLY_H
