// krtool qp: quoted-printable encoding and decoding through the library's
// filters.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "command.h"
#include "krtools/stream.h"

namespace {

const char kUsage[] =
    "usage: krtool qp [-d] [FILE|-]\n"
    "\n"
    "Encodes FILE (default standard input) as quoted-printable text: \"!\" to \"~\"\n"
    "stay as they are except \"=\", every other byte (line breaks included)\n"
    "becomes =XX, and lines end in a soft break \"=\" CR LF once they reach 72\n"
    "characters. With -d, decodes quoted-printable text: =XX escapes of either\n"
    "case, soft breaks \"=\" CR LF removed, everything else copied. The input is\n"
    "read in pieces of 64 KiB, so any size is handled in bounded memory.\n";

constexpr size_t kPiece = 65536;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// How much of |text| the decoder can take now with the same result as if it
// saw the rest too: the decoder keeps nothing between pieces, so a piece ends
// before an escape whose digits, or whose run of blanks, may go on in the
// input still to come.
size_t DecodableLength(const std::string& text) {
    const size_t size = text.size();
    for (size_t at = text.find('='); at != std::string::npos; at = text.find('=', at)) {
        if (size - at < 3) return at;
        size_t digit = at + 1;
        while (IsBlank(text[digit]) && size - digit - 1 >= 2) ++digit;
        if (IsBlank(text[digit])) return at;
        at = digit + 2;
    }
    return size;
}

int RunQp(const std::vector<std::string>& argv) {
    krtool::Args args(argv, {}, {"-d"});
    args.ExpectPositional(0, 1);
    const bool decode = args.Has("-d");

    KRFilterContainer chain;
    chain.AddProcess(decode ? static_cast<KRFilter*>(new KRUnfilterQuotedPrintable)
                            : static_cast<KRFilter*>(new KRFilterQuotedPrintable));
    krtool::StdoutSink output;
    chain.SetWriteCallback(krtool::WritePieceToStdout);
    chain.SetWriteHandle(reinterpret_cast<unsigned char*>(&output));

    FILE* input = krtool::OpenInput(args.Positional().empty() ? "-" : args.Positional()[0]);
    std::vector<char> piece(kPiece);
    std::string pending;  // decoder input held back until it is whole
    size_t n;
    int rc = 0;
    while (rc == 0 && (n = std::fread(piece.data(), 1, piece.size(), input)) > 0) {
        if (!decode) {
            rc = chain.Update(piece.data(), int(n));
            continue;
        }
        pending.append(piece.data(), n);
        size_t ready = DecodableLength(pending);
        // Only a pathological run of blanks is held back this long.
        if (pending.size() - ready > kPiece) ready = pending.size();
        rc = chain.Update(pending.data(), int(ready));
        pending.erase(0, ready);
    }
    const bool readFailed = std::ferror(input) != 0;
    krtool::CloseInput(input);
    if (readFailed) throw krtool::InputError("cannot read the input");
    if (rc == 0 && !pending.empty()) rc = chain.Update(pending.data(), int(pending.size()));
    if (rc == 0) rc = chain.Final();
    if (output.failed || rc != 0) throw krtool::InputError("cannot write to standard output");
    return 0;
}

}  // namespace

KRTOOL_COMMAND("qp", "quoted-printable encoding and decoding", kUsage, RunQp);
