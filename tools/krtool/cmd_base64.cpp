// krtool base64: Base64 encoding and decoding through the library's filters.
#include <cstdio>
#include <string>
#include <vector>

#include "command.h"
#include "krtools/stream.h"

namespace {

const char kUsage[] =
    "usage: krtool base64 [-d] [FILE|-]\n"
    "\n"
    "Encodes FILE (default standard input) as Base64 text in lines of 76\n"
    "characters separated by CR LF; a last line of 76 characters ends in CR LF,\n"
    "a shorter one does not. With -d, decodes Base64 text: characters outside\n"
    "the alphabet (line breaks, blanks, \"=\") are skipped. The input is read in\n"
    "pieces of 64 KiB, so any size is handled in bounded memory.\n";

int RunBase64(const std::vector<std::string>& argv) {
    krtool::Args args(argv, {}, {"-d"});
    args.ExpectPositional(0, 1);
    const bool decode = args.Has("-d");

    KRFilterContainer chain;
    chain.AddProcess(decode ? static_cast<KRFilter*>(new KRUnfilterBase64)
                            : static_cast<KRFilter*>(new KRFilterBase64));
    krtool::StdoutSink output;
    chain.SetWriteCallback(krtool::WritePieceToStdout);
    chain.SetWriteHandle(reinterpret_cast<unsigned char*>(&output));

    FILE* input = krtool::OpenInput(args.Positional().empty() ? "-" : args.Positional()[0]);
    std::vector<char> piece(65536);
    size_t n;
    int rc = 0;
    while (rc == 0 && (n = std::fread(piece.data(), 1, piece.size(), input)) > 0) {
        rc = chain.Update(piece.data(), int(n));
    }
    const bool readFailed = std::ferror(input) != 0;
    krtool::CloseInput(input);
    if (readFailed) throw krtool::InputError("cannot read the input");
    if (rc == 0) rc = chain.Final();
    if (output.failed) throw krtool::InputError("cannot write to standard output");
    if (rc != 0) {
        throw krtool::InputError("the Base64 text ends with a lone character after its last group");
    }
    return 0;
}

}  // namespace

KRTOOL_COMMAND("base64", "Base64 encoding and decoding", kUsage, RunBase64);
