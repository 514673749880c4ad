// krtool crc16: the CRC-16 (polynomial 0x1021) of a file or standard input.
#include <cstdio>
#include <string>
#include <vector>

#include "command.h"
#include "krtools/strutil.h"

namespace {

const char kUsage[] =
    "usage: krtool crc16 [--init VALUE] [FILE|-]\n"
    "\n"
    "Prints the CRC-16 with polynomial 0x1021 (most significant bit first, no\n"
    "final XOR) of FILE (default standard input) as four upper-case\n"
    "hexadecimal digits. --init sets the start value, 0 to 0xFFFF (default 0):\n"
    "0 gives CRC-16/XMODEM, 0xFFFF gives CRC-16/CCITT-FALSE.\n";

// Each AccumulateCRC call takes at most 65535 bytes.
constexpr size_t kChunk = 32768;

int RunCrc16(const std::vector<std::string>& argv) {
    krtool::Args args(argv, {"--init"}, {});
    args.ExpectPositional(0, 1);
    const long init = args.GetLong("--init", 0);
    if (init < 0 || init > 0xFFFF) throw krtool::UsageError("--init must be 0 to 0xFFFF");

    FILE* input = krtool::OpenInput(args.Positional().empty() ? "-" : args.Positional()[0]);
    unsigned short crc = static_cast<unsigned short>(init);
    unsigned char buffer[kChunk];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, input)) > 0) {
        crc = AccumulateCRC(crc, buffer, static_cast<unsigned short>(n));
    }
    const bool failed = std::ferror(input) != 0;
    krtool::CloseInput(input);
    if (failed) throw krtool::InputError("read error");

    char text[8];
    std::snprintf(text, sizeof text, "%04X\n", crc);
    krtool::WriteOutput(text);
    return 0;
}

}  // namespace

KRTOOL_COMMAND("crc16", "CRC-16 (XMODEM or CCITT-FALSE start value) of a file", kUsage, RunCrc16);
