// krtool pbe: password-based encryption and decryption through KR_PBE.
#include <string>
#include <vector>

#include "command.h"
#include "krtools/pbe.h"

namespace {

const char kUsage[] =
    "usage: krtool pbe encrypt|decrypt --password-file F [--iterations N] [FILE|-]\n"
    "\n"
    "encrypt: encrypts FILE (default standard input, 1 to 65536 octets) under\n"
    "the password with PKCS #5 v1.5 (MD5, DES-CBC) and prints the Base64 text\n"
    "of the DER data, followed by a line feed. N is the iteration count, 1 to\n"
    "65536 (default 1000). A PKCS #8 PrivateKeyInfo encrypted this way is an\n"
    "EncryptedPrivateKeyInfo.\n"
    "decrypt: decrypts such Base64 text or binary DER data (MD5 or SHA-1 with\n"
    "DES-CBC) and writes the plaintext octets.\n"
    "\n"
    "The password is the first line of F, without its line end.\n";

std::string ReadPassword(const std::string& path) {
    std::string password = krtool::ReadInput(path);
    size_t end = password.find('\n');
    if (end != std::string::npos) password.erase(end);
    if (!password.empty() && password.back() == '\r') password.pop_back();
    return password;
}

const unsigned char* Octets(const std::string& text) {
    return reinterpret_cast<const unsigned char*>(text.data());
}

int RunPbe(const std::vector<std::string>& argv) {
    krtool::Args args(argv, {"--password-file", "--iterations"}, {});
    args.ExpectPositional(1, 2);
    const std::string& mode = args.Positional()[0];
    if (mode != "encrypt" && mode != "decrypt") {
        throw krtool::UsageError("unknown mode '" + mode + "' (encrypt or decrypt)");
    }
    const std::string password = ReadPassword(args.Require("--password-file"));
    const std::string input =
        krtool::ReadInput(args.Positional().size() > 1 ? args.Positional()[1] : "-");
    if (input.size() > 65536) throw krtool::InputError("the input is longer than 65536 octets");

    KR_PBE pbe;
    pbe.SetPassword(Octets(password), static_cast<unsigned int>(password.size()));
    pbe.SetMessage(Octets(input), static_cast<unsigned int>(input.size()));
    if (mode == "encrypt") {
        long iterations = args.GetLong("--iterations", 1000);
        if (iterations < 1 || iterations > 65536) {
            throw krtool::UsageError("--iterations must be a number from 1 to 65536");
        }
        pbe.SetIterationCount(static_cast<int>(iterations));
        pbe.Encrypt();
        krtool::WriteOutput(pbe.GetResult(), static_cast<size_t>(pbe.GetResultLen()));
        krtool::WriteOutput("\n");
    } else {
        pbe.Decrypt();
        krtool::WriteOutput(pbe.GetResult(), static_cast<size_t>(pbe.GetResultLen()));
    }
    return 0;
}

}  // namespace

KRTOOL_COMMAND("pbe", "password-based encryption and decryption (PKCS #5 v1.5)", kUsage, RunPbe);
