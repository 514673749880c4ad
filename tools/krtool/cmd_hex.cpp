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

const std::vector<krtool::Option> kOptions = {
    {'d', "decode", nullptr, "decode hexadecimal text instead of encoding"},
};

int RunHex(const krtool::Args& args) {
    args.ExpectPositional(0, 1);
    const bool decode = args.Has("decode");

    FilterContext context;
    FilterInit(&context, KR_FILTER_FORMAT_HEX);
    krtool::InputFile input(args.InputAt(0));
    std::vector<unsigned char> piece(65536);
    std::vector<unsigned char> out(2 * piece.size());
    size_t n;
    while ((n = input.Read(piece.data(), piece.size())) > 0) {
        int written = decode ? UnfilterData(reinterpret_cast<const char*>(piece.data()), out.data(),
                                            int(n), &context)
                             : FilterData(piece.data(), reinterpret_cast<char*>(out.data()), int(n),
                                          &context);
        krtool::WriteOutput(out.data(), size_t(written));
    }
    if (decode && context.bitCount != 0) {
        throw krtool::InputError("odd number of hexadecimal digits");
    }
    return 0;
}

}  // namespace

KRTOOL_COMMAND_TABLE("hex", "upper-case hexadecimal encoding and decoding", kUsage, kOptions,
                     RunHex);
