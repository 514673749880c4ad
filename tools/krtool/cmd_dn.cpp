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

// Each name field with its option; the table of options follows it.
struct Field {
    krtool::Option option;
    TIPEM_NAME_AVA TIPEM_NAME_OBJ::*field;
};

const Field kFields[] = {
    {{0, "country", "C", "country"}, &TIPEM_NAME_OBJ::country},
    {{0, "state", "S", "state or province"}, &TIPEM_NAME_OBJ::state},
    {{0, "locality", "L", "locality"}, &TIPEM_NAME_OBJ::locality},
    {{0, "org", "O", "organization"}, &TIPEM_NAME_OBJ::organization},
    {{0, "org-unit", "U", "organizational unit"}, &TIPEM_NAME_OBJ::orgUnit},
    {{0, "cn", "NAME", "common name"}, &TIPEM_NAME_OBJ::commonName},
    {{0, "title", "T", "title"}, &TIPEM_NAME_OBJ::title},
    {{0, "street", "S1", "first street address"}, &TIPEM_NAME_OBJ::streetAddress1},
    {{0, "street2", "S2", "second street address"}, &TIPEM_NAME_OBJ::streetAddress2},
    {{0, "postal-code", "P", "postal code"}, &TIPEM_NAME_OBJ::postalCode},
    {{0, "email", "E", "e-mail address"}, &TIPEM_NAME_OBJ::emailAddress},
};

std::vector<krtool::Option> BuildOptions() {
    std::vector<krtool::Option> options;
    for (const Field& field : kFields) options.push_back(field.option);
    options.push_back({0, "out", "FILE", "write the DER to FILE instead of hexadecimal"});
    options.push_back({0, "long", nullptr, "print the long name instead of the DER"});
    return options;
}

const std::vector<krtool::Option> kOptions = BuildOptions();

int RunDn(const krtool::Args& args) {
    args.ExpectPositional(0, 0);
    TIPEM_NAME_OBJ name;
    for (const Field& field : kFields) {
        if (args.Has(field.option.longName)) {
            name.*field.field = args.Get(field.option.longName).c_str();
        }
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

KRTOOL_COMMAND_TABLE("dn", "build a distinguished name and print its DER", kUsage, kOptions, RunDn);
