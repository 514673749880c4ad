// What KRSmtpClient sends: checked addresses and the message text (internal).
#ifndef KRTOOLS_MAIL_SMTP_MESSAGE_H
#define KRTOOLS_MAIL_SMTP_MESSAGE_H

#include <cstdint>
#include <string>

#include "krtools/mailer.h"

namespace krmail {

// Throws KRException(-1, "<role> address \"...\": <reason>") unless
// `address` is one mailbox that can stand between angle brackets: not
// empty, no control bytes, no '<' or '>', no blank outside a quoted part,
// quotes closed.
void CheckAddress(const std::string& address, const char* role);

// Base64 of `bytes`, one line, padded.
std::string Base64(const std::string& bytes);

// `subject` as the Subject header's value: unchanged when it is printable
// ASCII without "=?", else RFC 2047 encoded words (UTF-8, Base64) folded
// onto lines of at most 78 characters.
std::string SubjectValue(const std::string& subject);

// Whether `body` has bytes above 127.
bool HasEightBitBytes(const std::string& body);

// The DATA content: headers, blank line, the canonical dot-stuffed body,
// ending with CRLF "." CRLF. `date` is seconds since 1970 (UTC). Throws
// KRException when the subject has a line break, the body a NUL byte or a
// line over 998 bytes.
std::string ComposeMessage(const KRMailMessage& message, int64_t date,
                           const std::string& messageId);

// A new "<unique@domain>" identifier.
std::string NewMessageId(const std::string& domain);

}  // namespace krmail

#endif  // KRTOOLS_MAIL_SMTP_MESSAGE_H
