// krtool pbe: password-based encryption and decryption through KR_PBE.
#include <string>
#include <vector>

#include "command.h"
#include "krtools/bufenc.h"
#include "krtools/exception.h"
#include "krtools/pbe.h"

namespace {

const char kUsage[] =
    "usage: krtool pbe encrypt|decrypt --password-file F [--iterations N] [FILE|-]\n"
    "\n"
    "encrypt: encrypts FILE (default standard input, 1 to 65495 octets) under\n"
    "the password with PKCS #5 v1.5 (MD5, DES-CBC) and prints the Base64 text\n"
    "of the DER data, followed by a line feed. N is the iteration count, 1 to\n"
    "65536 (default 1000). A PKCS #8 PrivateKeyInfo encrypted this way is an\n"
    "EncryptedPrivateKeyInfo.\n"
    "decrypt: decrypts such Base64 text (line breaks allowed) or binary DER\n"
    "data of at most 65536 octets (MD5 or SHA-1 with DES-CBC) and writes the\n"
    "plaintext octets. Everything encrypt produces, decrypt takes back.\n"
    "\n"
    "The password is the first line of F, without its line end.\n";

const std::vector<krtool::Option> kOptions = {
    {0, "password-file", "F", "read the password from the first line of F"},
    {0, "iterations", "N", "encrypt: iteration count, 1 to 65536 (default 1000)"},
};

// The longest DER data decrypt takes, and the longest message whose
// encryption stays within it.
constexpr size_t kLongestData = 65536;
constexpr size_t kLongestMessage = 65495;

std::string ReadPassword(const std::string& path) {
    std::string password = krtool::ReadInput(path);
    size_t end = password.find('\n');
    if (end != std::string::npos) password.erase(end);
    if (!password.empty() && password.back() == '\r') password.pop_back();
    if (password.empty()) throw krtool::InputError("the password in '" + path + "' is empty");
    if (password.size() > 65536) throw krtool::InputError("the password is over 65536 octets");
    return password;
}

const unsigned char* Octets(const std::string& text) {
    return reinterpret_cast<const unsigned char*>(text.data());
}

// Base64 text (it always begins with "M") decoded here, so that its length
// is not held against the limit that applies to the DER data.
std::string DerData(const std::string& input) {
    return input.empty() || input[0] != 'M' ? input : krtool::Base64Decode(input);
}

void Encrypt(KR_PBE& pbe, const krtool::Args& args, const std::string& input) {
    if (input.empty()) throw krtool::InputError("nothing to encrypt: the input is empty");
    if (input.size() > kLongestMessage) {
        throw krtool::InputError("the input is " + std::to_string(input.size()) +
                                 " octets; pbe encrypts at most " +
                                 std::to_string(kLongestMessage));
    }
    pbe.SetIterationCount(static_cast<int>(args.Number("iterations", 1, 65536, 1000)));
    pbe.SetMessage(Octets(input), static_cast<unsigned int>(input.size()));
    pbe.Encrypt();
    krtool::WriteOutput(pbe.GetResult(), static_cast<size_t>(pbe.GetResultLen()));
    krtool::WriteOutput("\n");
}

void Decrypt(KR_PBE& pbe, const std::string& input) {
    const std::string der = DerData(input);
    if (der.empty() || der.size() > kLongestData) {
        throw krtool::InputError("not data that pbe encrypt produced (" +
                                 std::to_string(der.size()) + " octets of DER)");
    }
    pbe.SetMessage(Octets(der), static_cast<unsigned int>(der.size()));
    try {
        pbe.Decrypt();
    } catch (const KRException& e) {
        throw krtool::InputError("wrong password or damaged data", krtool::LibraryDetail(e));
    }
    krtool::WriteOutput(pbe.GetResult(), static_cast<size_t>(pbe.GetResultLen()));
}

int RunPbe(const krtool::Args& args) {
    args.ExpectPositional(1, 2);
    const std::string& mode = args.Positional()[0];
    if (mode != "encrypt" && mode != "decrypt") {
        throw krtool::UsageError("unknown mode '" + mode + "' (encrypt or decrypt)");
    }
    const std::string password = ReadPassword(args.Require("password-file"));
    const std::string input = krtool::ReadInput(args.InputAt(1));
    KR_PBE pbe;
    pbe.SetPassword(Octets(password), static_cast<unsigned int>(password.size()));
    if (mode == "encrypt") {
        Encrypt(pbe, args, input);
    } else {
        Decrypt(pbe, input);
    }
    return 0;
}

}  // namespace

KRTOOL_COMMAND_TABLE("pbe", "password-based encryption and decryption (PKCS #5 v1.5)", kUsage,
                     kOptions, RunPbe);
