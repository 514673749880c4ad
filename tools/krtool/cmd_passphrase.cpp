// krtool passphrase: passphrase fields under the library's fixed key.
#include <string>
#include <vector>

#include "command.h"
#include "krtools/des.h"

namespace {

const char kUsage[] =
    "usage: krtool passphrase encrypt|decrypt [FILE|-]\n"
    "\n"
    "Encrypts or decrypts 64-byte passphrase fields under the library's fixed\n"
    "passphrase key. The input (default standard input) is binary and must be\n"
    "a whole number of 64-byte fields; the output has the same length.\n";

constexpr size_t kFieldBytes = 64;

const std::vector<krtool::Option> kOptions = {};

int RunPassphrase(const krtool::Args& args) {
    args.ExpectPositional(1, 2);
    const std::string& direction = args.Positional()[0];
    if (direction != "encrypt" && direction != "decrypt") {
        throw krtool::UsageError("direction must be encrypt or decrypt, not '" + direction + "'");
    }
    std::string data = krtool::ReadInput(args.InputAt(1));
    if (data.size() % kFieldBytes != 0) {
        throw krtool::InputError("the input is not a whole number of 64-byte fields");
    }
    auto* bytes = reinterpret_cast<unsigned char*>(&data[0]);
    for (size_t at = 0; at < data.size(); at += kFieldBytes) {
        if (direction == "encrypt") {
            EncryptPassphrase(bytes + at);
        } else {
            DecryptPassphrase(bytes + at);
        }
    }
    krtool::WriteOutput(data);
    return 0;
}

}  // namespace

KRTOOL_COMMAND_TABLE("passphrase", "encrypt or decrypt 64-byte passphrase fields", kUsage, kOptions,
                     RunPassphrase);
