// krtool cert: the names and identifiers of each certificate of DER or PEM
// files.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "command.h"
#include "json_out.h"
#include "krtools/cert.h"
#include "name_attributes.h"

namespace {

const char kUsage[] =
    "usage: krtool cert [--pem|--der] FILE...\n"
    "\n"
    "For every certificate of the files (a PEM file may hold many, a DER file\n"
    "certificates one after another; without --pem or --der a file holding\n"
    "\"-----BEGIN\" is read as PEM) prints the subject and issuer long names,\n"
    "the subject's common name and e-mail address, the RSA modulus size, the\n"
    "issuer-serial, subject-name and public-key MD5 hashes, the SHA-1\n"
    "thumbprint, and the e-mail address and party of the subject alternative\n"
    "name extension when present, then every attribute of the subject and the\n"
    "issuer name as TYPE=VALUE. FILE - (or no FILE) is standard input.\n"
    "Control characters in printed texts appear as \\xNN and a backslash as \\\\.\n"
    "--json prints an array with one object per certificate, keyed by the same\n"
    "labels; the attributes there carry their raw octets in \"hex\" as well.\n";

constexpr int kLongNameSize = 512;

bool LooksLikePem(const std::string& bytes) {
    return bytes.find("-----BEGIN") != std::string::npos;
}

unsigned int AddFile(TIPEM_CERT_LIST_OBJ& list, const std::string& bytes, bool pem) {
    if (pem) return list.AddPEM(bytes.data(), static_cast<int>(bytes.size()));
    return list.AddDER(reinterpret_cast<const unsigned char*>(bytes.data()),
                       static_cast<int>(bytes.size()));
}

// The long name, common name, e-mail address and every attribute of a name.
// The library refuses names whose values hold control characters; their
// long name then says so, and the attributes still show every octet.
struct Name {
    std::string longName, commonName, email;
    nlohmann::ordered_json attributes;
};

Name ReadName(POINTER name) {
    Name result{"", "", "", krtool::NameAttributes(name)};
    try {
        TIPEM_NAME_OBJ parsed;
        char longName[kLongNameSize];
        char common[kLongNameSize];
        parsed.BuildLongName(longName, sizeof longName, static_cast<unsigned char*>(name));
        parsed.BuildLongName(longName, sizeof longName, common, sizeof common);
        result.longName = longName;
        result.commonName = common;
        result.email = parsed.emailAddress.value;
    } catch (const KRException&) {
        result.longName = "[the library cannot read this name; see its attributes]";
    }
    return result;
}

std::string ModulusSize(TIPEM_CERT_OBJ& cert) {
    try {
        return std::to_string(cert.GetModulusSize()) + " bits";
    } catch (const KRException& e) {
        return "none (not an RSA key, toolkit status " + std::to_string(e.rc) + ")";
    }
}

void AddSubjectAltName(TIPEM_CERT_OBJ& cert, nlohmann::ordered_json& out) {
    char email[256];
    char party[256];
    const int status = DecodeSubjectAltNameExtension(cert.fields.extensions, email, party);
    if (status != 0) {
        out["subject alternative name"] = "not readable (status " + std::to_string(status) + ")";
        return;
    }
    if (email[0] != '\0') out["SAN e-mail"] = email;
    if (party[0] != '\0') out["SAN party"] = party;
}

// Every field of the certificate, named by its text label, in print order.
// One of the certificate's hashes in hexadecimal, or why there is none.
std::string Hash(TIPEM_CERT_OBJ& cert, unsigned char* (TIPEM_CERT_OBJ::*hash)(), int length) {
    try {
        return cert.Hex2Char((cert.*hash)(), length);
    } catch (const KRException&) {
        return "[the library cannot compute it for this certificate]";
    }
}

nlohmann::ordered_json Describe(TIPEM_CERT_OBJ& cert) {
    cert.Fields();
    const Name subject = ReadName(cert.fields.subjectName);
    const Name issuer = ReadName(cert.fields.issuerName);
    nlohmann::ordered_json out;
    out["subject"] = subject.longName;
    out["issuer"] = issuer.longName;
    out["common name"] = subject.commonName;
    out["e-mail"] = subject.email;
    out["modulus size"] = ModulusSize(cert);
    out["issuer-serial hash"] = Hash(cert, &TIPEM_CERT_OBJ::GetIssuerSerialHash, 16);
    out["subject-name hash"] = Hash(cert, &TIPEM_CERT_OBJ::GetSubjectNameHash, 16);
    out["public-key hash"] = Hash(cert, &TIPEM_CERT_OBJ::GetPublicKeyHash, 16);
    out["SHA-1 thumbprint"] = Hash(cert, &TIPEM_CERT_OBJ::GetSHA1ThumbPrint, 20);
    AddSubjectAltName(cert, out);
    out["subject attributes"] = subject.attributes;
    out["issuer attributes"] = issuer.attributes;
    return out;
}

// "TYPE=value, ..." with control characters escaped.
std::string AttributeLine(const nlohmann::ordered_json& attributes) {
    std::string line;
    for (const auto& attribute : attributes) {
        if (!line.empty()) line += ", ";
        line += attribute["type"].get<std::string>() + "=" +
                krtool::EscapeControls(attribute["value"].get<std::string>());
    }
    return line;
}

std::string Text(const nlohmann::ordered_json& fields) {
    std::string text;
    for (const auto& [label, value] : fields.items()) {
        text += label + ": " +
                (value.is_array() ? AttributeLine(value)
                                  : krtool::EscapeControls(value.get<std::string>())) +
                "\n";
    }
    return text;
}

const std::vector<krtool::Option> kOptions = {
    {0, "pem", nullptr, "read every file as PEM"},
    {0, "der", nullptr, "read every file as DER"},
    krtool::kJsonOption,
};

TIPEM_CERT_LIST_OBJ ReadList(const std::string& file, const krtool::Args& args) {
    const std::string bytes = krtool::ReadInput(file);
    const bool pem = args.Has("pem") || (!args.Has("der") && LooksLikePem(bytes));
    TIPEM_CERT_LIST_OBJ list;
    try {
        AddFile(list, bytes, pem);
    } catch (const KRException& e) {
        throw krtool::InputError(krtool::InputName(file) + " holds no readable " +
                                     (pem ? "PEM" : "DER") + " certificates",
                                 krtool::LibraryDetail(e));
    }
    if (list.Count() == 0)
        throw krtool::InputError(krtool::InputName(file) + " holds no certificate");
    return list;
}

int RunCert(const krtool::Args& args) {
    if (args.Has("pem") && args.Has("der")) {
        throw krtool::UsageError("--pem and --der exclude each other");
    }
    std::vector<std::string> files = args.Positional();
    if (files.empty()) files.push_back("-");
    nlohmann::ordered_json all = nlohmann::ordered_json::array();
    for (const std::string& file : files) {
        TIPEM_CERT_LIST_OBJ list = ReadList(file, args);
        for (unsigned int i = 0; i < list.Count(); ++i) {
            list.GetCertByIndex(i);
            TIPEM_CERT_OBJ cert;
            cert.Set(list.der, static_cast<int>(list.derLen));
            const nlohmann::ordered_json described = Describe(cert);
            if (!args.Has("json")) {
                krtool::WriteOutput(std::string(all.empty() ? "" : "\n") +
                                    "certificate: " + krtool::EscapeControls(file) + " #" +
                                    std::to_string(i + 1) + "\n" + Text(described));
            }
            nlohmann::ordered_json fields = {{"file", file}, {"index", i + 1}};
            fields.update(described);
            all.push_back(std::move(fields));
        }
    }
    if (args.Has("json")) krtool::WriteOrderedJson(all);
    return 0;
}

}  // namespace

KRTOOL_COMMAND_TABLE("cert", "names, hashes and thumbprints of certificates", kUsage, kOptions,
                     RunCert);
