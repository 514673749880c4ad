// krtool san: the subject alternative name extension value (e-mail address
// and party) encoded and decoded.
#include <cstring>
#include <string>
#include <vector>

#include "command.h"
#include "krtools/cert.h"

namespace {

const char kUsage[] =
    "usage: krtool san encode [--email E] [--party ASSIGNER_PARTY] [--out FILE]\n"
    "       krtool san decode [--hex] [FILE|-]\n"
    "\n"
    "encode prints the DER of the extension value in hexadecimal (or writes it\n"
    "to FILE): the e-mail address as rfc822Name, the party as ediPartyName (the\n"
    "text before the first underscore is the name assigner). Each text and the\n"
    "whole value must stay below 128 octets. decode reads a DER value (hex text\n"
    "with --hex) and prints the e-mail address and the party.\n";

const unsigned char kSubjectAltNameOid[3] = {0x55, 0x1D, 0x11};

std::string StatusText(int status) {
    if (status == KR_SAN_NOT_SEQUENCE) return "the value is not a SEQUENCE";
    if (status == KR_SAN_TOO_LONG) return "a length is outside the short-form limits";
    return "toolkit status " + std::to_string(status);
}

int Encode(const krtool::Args& args) {
    args.ExpectPositional(1, 1);
    std::string email = args.Get("--email");
    std::string party = args.Get("--party");
    if (email.find('\0') != std::string::npos || party.find('\0') != std::string::npos) {
        throw krtool::UsageError("texts may not hold NUL characters");
    }
    TIPEM_EXTENSIONS_OBJ extensions;
    const int status =
        EncodeSubjectAltNameExtension(extensions.extensionsObject, &email[0], &party[0]);
    if (status != 0) throw krtool::InputError("cannot encode: " + StatusText(status));
    ITEM* value = nullptr;
    unsigned int count = 0;
    GetExtensionCount(&count, extensions.extensionsObject);
    if (count == 0) throw krtool::UsageError("give --email or --party");
    if (GetExtensionValue(&value, extensions.extensionsObject, 0, 0) != 0) {
        throw krtool::InputError("the toolkit holds no value");
    }
    if (args.Has("--out")) {
        krtool::WriteFile(args.Get("--out"),
                          std::string(reinterpret_cast<const char*>(value->data), value->len));
    } else {
        krtool::WriteOutput(krtool::ToHex(value->data, value->len) + "\n");
    }
    return 0;
}

int Decode(const krtool::Args& args) {
    args.ExpectPositional(1, 2);
    std::string value = krtool::ReadInput(args.InputAt(1));
    if (args.Has("--hex")) {
        std::string hex;
        for (char c : value) {
            if (c != ' ' && c != '\n' && c != '\r' && c != '\t') hex += c;
        }
        value = krtool::FromHex(hex, "the input");
    }
    TIPEM_EXTENSIONS_OBJ extensions;
    POINTER extension = nullptr;
    CreateExtension(extensions.extensionsObject, kSubjectAltNameOid, sizeof kSubjectAltNameOid,
                    &extension, 0, nullptr);
    ITEM item{reinterpret_cast<unsigned char*>(&value[0]), static_cast<unsigned int>(value.size())};
    AddExtensionValue(nullptr, extensions.extensionsObject, extension, &item);
    char email[256];
    char party[256];
    const int status = DecodeSubjectAltNameExtension(extensions.extensionsObject, email, party);
    if (status != 0) throw krtool::InputError("cannot decode: " + StatusText(status));
    krtool::WriteOutput("e-mail: " + std::string(email) + "\nparty: " + std::string(party) + "\n");
    return 0;
}

const std::vector<krtool::Option> kOptions = {
    {0, "email", "E", "encode: the e-mail address"},
    {0, "party", "ASSIGNER_PARTY", "encode: the party, name assigner before the first underscore"},
    {0, "out", "FILE", "encode: write the DER to FILE instead of hexadecimal"},
    {0, "hex", nullptr, "decode: the input is hexadecimal text"},
};

int RunSan(const krtool::Args& args) {
    if (args.Positional().empty()) throw krtool::UsageError("encode or decode is missing");
    const std::string& action = args.Positional()[0];
    if (action == "encode") return Encode(args);
    if (action == "decode") return Decode(args);
    throw krtool::UsageError("the action must be encode or decode, not '" + action + "'");
}

}  // namespace

KRTOOL_COMMAND_TABLE("san", "encode or decode the subject alternative name value", kUsage, kOptions,
                     RunSan);
