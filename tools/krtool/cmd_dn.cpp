// krtool dn: the DER of a distinguished name built from its fields.
#include <string>
#include <vector>

#include "command.h"
#include "krtools/cert.h"

namespace {

const char kUsage[] =
    "usage: krtool dn [--country C] [--state S] [--locality L] [--org O]\n"
    "                 [--org-unit U] [--cn NAME] [--title T] [--street S1]\n"
    "                 [--street2 S2] [--postal-code P] [--email E]\n"
    "                 [--out FILE] [--long]\n"
    "\n"
    "Builds the name in the fixed order country, state, locality, organization,\n"
    "unit, common name, title, street addresses, postal code (PrintableString)\n"
    "and e-mail address (IA5String) and prints its DER in hexadecimal, or\n"
    "writes the DER to FILE with --out. --long prints the long name instead.\n";

struct Option {
    const char* name;
    TIPEM_NAME_AVA TIPEM_NAME_OBJ::*field;
};

const Option kOptions[] = {
    {"--country", &TIPEM_NAME_OBJ::country},
    {"--state", &TIPEM_NAME_OBJ::state},
    {"--locality", &TIPEM_NAME_OBJ::locality},
    {"--org", &TIPEM_NAME_OBJ::organization},
    {"--org-unit", &TIPEM_NAME_OBJ::orgUnit},
    {"--cn", &TIPEM_NAME_OBJ::commonName},
    {"--title", &TIPEM_NAME_OBJ::title},
    {"--street", &TIPEM_NAME_OBJ::streetAddress1},
    {"--street2", &TIPEM_NAME_OBJ::streetAddress2},
    {"--postal-code", &TIPEM_NAME_OBJ::postalCode},
    {"--email", &TIPEM_NAME_OBJ::emailAddress},
};

int RunDn(const std::vector<std::string>& argv) {
    std::set<std::string> valueOptions{"--out"};
    for (const Option& option : kOptions) valueOptions.insert(option.name);
    krtool::Args args(argv, valueOptions, {"--long"});
    args.ExpectPositional(0, 0);
    TIPEM_NAME_OBJ name;
    for (const Option& option : kOptions) {
        if (args.Has(option.name)) name.*option.field = args.Get(option.name).c_str();
    }
    if (args.Has("--long")) {
        char longName[512];
        name.BuildLongName(longName, sizeof longName, nullptr, 0);
        krtool::WriteOutput(std::string(longName) + "\n");
        return 0;
    }
    name.BuildDistinguishedName();
    const std::string der(reinterpret_cast<const char*>(name.der), name.derLen);
    if (args.Has("--out")) {
        krtool::WriteFile(args.Get("--out"), der);
    } else {
        krtool::WriteOutput(krtool::ToHex(name.der, name.derLen) + "\n");
    }
    return 0;
}

}  // namespace

KRTOOL_COMMAND("dn", "build a distinguished name and print its DER", kUsage, RunDn);
