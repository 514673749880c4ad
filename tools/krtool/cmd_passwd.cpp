// krtool passwd: stored-password fields to and from their 64-character text.
#include <cstring>
#include <string>
#include <vector>

#include "command.h"
#include "krtools/des.h"

namespace {

const char kUsage[] =
    "usage: krtool passwd encrypt|decrypt --key HEX16 [FILE|-]\n"
    "\n"
    "encrypt reads a password of at most 32 bytes (one trailing line feed is\n"
    "dropped), pads it with zero bytes to 32 and prints the 64-character\n"
    "hexadecimal text. decrypt reads such a text (either case; surrounding\n"
    "white space is ignored) and prints the password up to its first zero\n"
    "byte. The key is 8 bytes.\n";

constexpr size_t kFieldBytes = 32;
constexpr size_t kTextChars = 64;

std::string WithoutLineEnd(std::string text) {
    if (!text.empty() && text.back() == '\n') text.pop_back();
    if (!text.empty() && text.back() == '\r') text.pop_back();
    return text;
}

std::string Trimmed(const std::string& text) {
    const char* space = " \t\r\n";
    const size_t first = text.find_first_not_of(space);
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(space) - first + 1);
}

bool IsHex(const std::string& text) {
    return text.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
}

std::string Encrypt(const std::string& input, const unsigned char* key) {
    const std::string password = WithoutLineEnd(input);
    if (password.size() > kFieldBytes) {
        throw krtool::InputError("the password is longer than 32 bytes");
    }
    char text[kTextChars] = {};
    std::memcpy(text, password.data(), password.size());
    EncryptPassword(text, key);
    return std::string(text, kTextChars) + "\n";
}

std::string Decrypt(const std::string& input, const unsigned char* key) {
    const std::string hex = Trimmed(input);
    if (hex.size() != kTextChars || !IsHex(hex)) {
        throw krtool::InputError("the input is not 64 hexadecimal characters");
    }
    char text[kTextChars];
    std::memcpy(text, hex.data(), kTextChars);
    DecryptPassword(text, key);
    const size_t length = strnlen(text, kFieldBytes);
    return std::string(text, length) + "\n";
}

const std::vector<krtool::Option> kOptions = {
    {0, "key", "HEX16", "the DES key, 16 hexadecimal digits"},
};

int RunPasswd(const krtool::Args& args) {
    args.ExpectPositional(1, 2);
    const std::string& direction = args.Positional()[0];
    if (direction != "encrypt" && direction != "decrypt") {
        throw krtool::UsageError("direction must be encrypt or decrypt, not '" + direction + "'");
    }
    const std::string key = krtool::FromHex(args.Require("key"), "--key");
    if (key.size() != 8) throw krtool::UsageError("--key needs 8 bytes (16 hex digits)");
    const auto* keyBytes = reinterpret_cast<const unsigned char*>(key.data());
    const std::string input = krtool::ReadInput(args.InputAt(1));
    krtool::WriteOutput(direction == "encrypt" ? Encrypt(input, keyBytes)
                                               : Decrypt(input, keyBytes));
    return 0;
}

}  // namespace

KRTOOL_COMMAND_TABLE("passwd", "stored-password fields to and from 64-character text", kUsage,
                     kOptions, RunPasswd);
