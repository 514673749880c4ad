// krtool edc: the byte stuffing that gives every byte bit 0x40, both ways.
#include <climits>
#include <string>
#include <vector>

#include "command.h"
#include "krtools/strutil.h"

namespace {

const char kUsage[] =
    "usage: krtool edc encode|decode [FILE|-]\n"
    "\n"
    "encode: writes the bytes of FILE (default standard input) in groups of\n"
    "up to 7, each after a header byte, so that every output byte has bit\n"
    "0x40 set. decode: restores the original bytes. Output goes to standard\n"
    "output unchanged (no line feed is added).\n";

// Inputs are limited so that every output length fits the int result.
constexpr size_t kLargestInput = INT_MAX / 8 * 7;

const std::vector<krtool::Option> kOptions = {};

int RunEdc(const krtool::Args& args) {
    args.ExpectPositional(1, 2);
    const std::string& mode = args.Positional()[0];
    if (mode != "encode" && mode != "decode") {
        throw krtool::UsageError("mode must be encode or decode, not '" + mode + "'");
    }
    const std::string input = krtool::ReadInput(args.InputAt(1));
    if (input.size() > kLargestInput) throw krtool::InputError("input too large");

    const auto* in = reinterpret_cast<const unsigned char*>(input.data());
    const auto length = static_cast<unsigned int>(input.size());
    std::string output;
    int written = 0;
    if (mode == "encode") {
        output.resize(input.size() + (input.size() + 6) / 7);
        written = Char2EDC(in, reinterpret_cast<unsigned char*>(&output[0]), length);
    } else {
        output.resize(input.size());
        written = EDC2Char(in, reinterpret_cast<unsigned char*>(&output[0]), length);
    }
    output.resize(static_cast<size_t>(written));
    krtool::WriteOutput(output);
    return 0;
}

}  // namespace

KRTOOL_COMMAND_TABLE("edc", "byte stuffing that sets bit 0x40 in every byte, and its reverse",
                     kUsage, kOptions, RunEdc);
