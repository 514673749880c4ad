// krtool mac: the DES CBC-MAC of a file.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "command.h"
#include "krtools/des.h"

namespace {

const char kUsage[] =
    "usage: krtool mac --key HEX16 [--iv HEX16] [FILE|-]\n"
    "\n"
    "Prints the DES CBC-MAC of FILE (default standard input) in hexadecimal:\n"
    "the last block of DES-CBC over the data padded with zero bytes to a\n"
    "multiple of 8. The IV defaults to eight zero bytes.\n";

const std::vector<krtool::Option> kOptions = {
    {0, "key", "HEX16", "the DES key, 16 hexadecimal digits"},
    {0, "iv", "HEX16", "the initial vector, 16 hexadecimal digits (default zeros)"},
};

int RunMac(const krtool::Args& args) {
    args.ExpectPositional(0, 1);
    const std::string key = krtool::FromHex(args.Require("key"), "--key");
    const std::string iv = krtool::FromHex(args.Get("iv", "0000000000000000"), "--iv");
    if (key.size() != 8) throw krtool::UsageError("--key needs 8 bytes (16 hex digits)");
    if (iv.size() != 8) throw krtool::UsageError("--iv needs 8 bytes (16 hex digits)");

    EncryptContext ctx;
    std::memset(&ctx, 0, sizeof ctx);
    std::memcpy(ctx.key, key.data(), 8);
    std::memcpy(ctx.iv, iv.data(), 8);
    DESAuthInit(&ctx);

    krtool::InputFile input(args.InputAt(0));
    std::vector<unsigned char> buffer(65536);
    size_t n;
    while ((n = input.Read(buffer.data(), buffer.size())) > 0) {
        DESAuthUpdate(&ctx, buffer.data(), static_cast<int>(n));
    }
    DESAuthFinal(&ctx);
    if (ctx.status != 0) throw krtool::InputError("the DES MAC was refused");
    krtool::WriteOutput(krtool::ToHex(ctx.chain, 8, false) + "\n");
    return 0;
}

}  // namespace

KRTOOL_COMMAND_TABLE("mac", "DES CBC-MAC of a file", kUsage, kOptions, RunMac);
