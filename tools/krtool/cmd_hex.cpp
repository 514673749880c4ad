// krtool hex: upper-case hexadecimal encoding and decoding through the
// library's buffer encoders.
#include <cstdio>
#include <string>
#include <vector>

#include "command.h"
#include "krtools/bufenc.h"

namespace {

const char kUsage[] =
    "usage: krtool hex [-d] [FILE|-]\n"
    "\n"
    "Encodes FILE (default standard input) as upper-case hexadecimal, two\n"
    "digits per byte, with no line breaks. With -d, decodes hexadecimal text:\n"
    "\"0\"-\"9\" and upper-case \"A\"-\"F\" are digits, every other character\n"
    "(lower-case letters included) is skipped; an odd number of digits is an\n"
    "error. The input is read in pieces of 64 KiB, so any size is handled in\n"
    "bounded memory.\n";

int RunHex(const std::vector<std::string>& argv) {
    krtool::Args args(argv, {}, {"-d"});
    args.ExpectPositional(0, 1);
    const bool decode = args.Has("-d");

    FilterContext context;
    FilterInit(&context, KR_FILTER_FORMAT_HEX);
    FILE* input = krtool::OpenInput(args.Positional().empty() ? "-" : args.Positional()[0]);
    std::vector<unsigned char> piece(65536);
    std::vector<unsigned char> out(2 * piece.size());
    size_t n;
    while ((n = std::fread(piece.data(), 1, piece.size(), input)) > 0) {
        int written = decode ? UnfilterData(reinterpret_cast<const char*>(piece.data()), out.data(),
                                            int(n), &context)
                             : FilterData(piece.data(), reinterpret_cast<char*>(out.data()), int(n),
                                          &context);
        krtool::WriteOutput(out.data(), size_t(written));
    }
    const bool readFailed = std::ferror(input) != 0;
    krtool::CloseInput(input);
    if (readFailed) throw krtool::InputError("cannot read the input");
    if (decode && context.bitCount != 0) {
        throw krtool::InputError("odd number of hexadecimal digits");
    }
    return 0;
}

}  // namespace

KRTOOL_COMMAND("hex", "upper-case hexadecimal encoding and decoding", kUsage, RunHex);
