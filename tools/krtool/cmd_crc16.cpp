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

const std::vector<krtool::Option> kOptions = {
    {0, "init", "VALUE", "start value 0 to 65535, decimal or hexadecimal with 0x (default 0)"},
};

int RunCrc16(const krtool::Args& args) {
    args.ExpectPositional(0, 1);
    const long init = args.Number("init", 0, 0xFFFF, 0, true);

    krtool::InputFile input(args.InputAt(0));
    unsigned short crc = static_cast<unsigned short>(init);
    unsigned char buffer[kChunk];
    size_t n;
    while ((n = input.Read(buffer, sizeof buffer)) > 0) {
        crc = AccumulateCRC(crc, buffer, static_cast<unsigned short>(n));
    }

    char text[8];
    std::snprintf(text, sizeof text, "%04X\n", crc);
    krtool::WriteOutput(text);
    return 0;
}

}  // namespace

KRTOOL_COMMAND_TABLE("crc16", "CRC-16 (XMODEM or CCITT-FALSE start value) of a file", kUsage,
                     kOptions, RunCrc16);
