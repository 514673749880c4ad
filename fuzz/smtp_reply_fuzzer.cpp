// The SMTP reply scanner on arbitrary bytes: what it says of a beginning
// must hold for the whole (a reply found early is the same reply; a
// beginning judged malformed stays malformed), and a complete reply is made
// of whole lines that carry its code.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "mail/smtp_reply.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

void CheckComplete(const std::string& bytes, const krmail::SmtpReply& reply, size_t used) {
    Check(used > 0 && used <= bytes.size() && bytes[used - 1] == '\n');
    Check(reply.code >= 200 && reply.code <= 559);
    size_t lineFeeds = 0;
    for (size_t i = 0; i < used; ++i) lineFeeds += bytes[i] == '\n';
    Check(lineFeeds == reply.lines.size());
    for (size_t i = 0; i < reply.lines.size(); ++i) {
        const std::string& line = reply.lines[i];
        Check(line.size() >= 3 && std::stoi(line.substr(0, 3)) == reply.code);
        bool last = i + 1 == reply.lines.size();
        Check(line.size() == 3 || line[3] == (last ? ' ' : '-'));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    size_t cut = bytes.empty() ? 0 : data[0] % (bytes.size() + 1);
    krmail::SmtpReply whole;
    krmail::SmtpReply early;
    size_t wholeUsed = 0;
    size_t earlyUsed = 0;
    krmail::ReplyScan wholeScan = krmail::ScanReply(bytes, &whole, &wholeUsed);
    krmail::ReplyScan earlyScan = krmail::ScanReply(bytes.substr(0, cut), &early, &earlyUsed);
    if (wholeScan == krmail::ReplyScan::kComplete) CheckComplete(bytes, whole, wholeUsed);
    if (earlyScan == krmail::ReplyScan::kComplete) {
        Check(wholeScan == krmail::ReplyScan::kComplete && wholeUsed == earlyUsed &&
              whole.lines == early.lines);
    }
    if (earlyScan == krmail::ReplyScan::kMalformed)
        Check(wholeScan == krmail::ReplyScan::kMalformed);
    if (wholeScan == krmail::ReplyScan::kIncomplete) Check(bytes.size() < krmail::kMaxReplySize);
    return 0;
}
