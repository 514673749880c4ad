// krtool qp: quoted-printable encoding through the library's filter and
// robust decoding.
#include <cstdio>
#include <string>
#include <vector>

#include "command.h"
#include "krtools/stream.h"
#include "qp_decode.h"

namespace {

const char kUsage[] =
    "usage: krtool qp [-d] [FILE|-]\n"
    "\n"
    "Encodes FILE (default standard input) as quoted-printable text: \"!\" to \"~\"\n"
    "stay as they are except \"=\", every other byte (line breaks included)\n"
    "becomes =XX, and lines end in a soft break \"=\" CR LF once they reach 72\n"
    "characters.\n"
    "With -d, decodes quoted-printable text robustly: =XX with two hex digits\n"
    "of either case is that octet; \"=\" followed by optional blanks and LF or\n"
    "CR LF is a soft line break and vanishes; every other \"=\" (an invalid\n"
    "escape such as \"=G1\", or a \"=\" at the very end) is kept as it is, and all\n"
    "other bytes are copied. Decoding never fails on malformed text.\n"
    "The input is read in pieces of 64 KiB, so any size is handled in bounded\n"
    "memory.\n";

const std::vector<krtool::Option> kOptions = {
    {'d', "decode", nullptr, "decode quoted-printable text instead of encoding"},
};

constexpr size_t kPiece = 65536;

void Encode(krtool::InputFile& input) {
    KRFilterContainer chain;
    chain.AddProcess(new KRFilterQuotedPrintable);
    krtool::StdoutSink output;
    chain.SetWriteCallback(krtool::WritePieceToStdout);
    chain.SetWriteHandle(reinterpret_cast<unsigned char*>(&output));
    std::vector<char> piece(kPiece);
    size_t n;
    int rc = 0;
    while (rc == 0 && (n = input.Read(piece.data(), piece.size())) > 0) {
        rc = chain.Update(piece.data(), int(n));
    }
    if (rc == 0) rc = chain.Final();
    if (output.failed || rc != 0) throw krtool::InputError("cannot write the output");
}

void Decode(krtool::InputFile& input) {
    krtool::QpDecoder decoder;
    std::vector<char> piece(kPiece);
    size_t n;
    while ((n = input.Read(piece.data(), piece.size())) > 0) {
        krtool::WriteOutput(decoder.Feed(piece.data(), n));
    }
    krtool::WriteOutput(decoder.Finish());
}

int RunQp(const krtool::Args& args) {
    args.ExpectPositional(0, 1);
    krtool::InputFile input(args.InputAt(0));
    args.Has("decode") ? Decode(input) : Encode(input);
    return 0;
}

}  // namespace

KRTOOL_COMMAND_TABLE("qp", "quoted-printable encoding and robust decoding", kUsage, kOptions,
                     RunQp);
