// krtool cert: the names and identifiers of each certificate of DER or PEM
// files.
#include <cstdio>
#include <string>
#include <vector>

#include "command.h"
#include "krtools/cert.h"

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
    "name extension when present. FILE - is standard input.\n";

constexpr int kLongNameSize = 512;

bool LooksLikePem(const std::string& bytes) {
    return bytes.find("-----BEGIN") != std::string::npos;
}

unsigned int AddFile(TIPEM_CERT_LIST_OBJ& list, const std::string& bytes, bool pem) {
    if (pem) return list.AddPEM(bytes.data(), static_cast<int>(bytes.size()));
    return list.AddDER(reinterpret_cast<const unsigned char*>(bytes.data()),
                       static_cast<int>(bytes.size()));
}

std::string LongName(POINTER name, std::string* commonName, std::string* email) {
    TIPEM_NAME_OBJ parsed;
    char longName[kLongNameSize];
    parsed.BuildLongName(longName, sizeof longName, static_cast<unsigned char*>(name));
    if (commonName != nullptr) {
        char common[kLongNameSize];
        parsed.BuildLongName(longName, sizeof longName, common, sizeof common);
        *commonName = common;
    }
    if (email != nullptr) *email = parsed.emailAddress.c_str();
    return longName;
}

std::string ModulusSize(TIPEM_CERT_OBJ& cert) {
    try {
        return std::to_string(cert.GetModulusSize()) + " bits";
    } catch (const KRException& e) {
        return "none (not an RSA key, toolkit status " + std::to_string(e.rc) + ")";
    }
}

std::string SubjectAltName(TIPEM_CERT_OBJ& cert) {
    char email[256];
    char party[256];
    const int status = DecodeSubjectAltNameExtension(cert.fields.extensions, email, party);
    if (status != 0) {
        return "subject alternative name: not readable (status " + std::to_string(status) + ")\n";
    }
    std::string text;
    if (email[0] != '\0') text += "SAN e-mail: " + std::string(email) + "\n";
    if (party[0] != '\0') text += "SAN party: " + std::string(party) + "\n";
    return text;
}

std::string Describe(TIPEM_CERT_OBJ& cert) {
    cert.Fields();
    std::string commonName, email;
    std::string text = "subject: " + LongName(cert.fields.subjectName, &commonName, &email) + "\n";
    text += "issuer: " + LongName(cert.fields.issuerName, nullptr, nullptr) + "\n";
    text += "common name: " + commonName + "\n";
    text += "e-mail: " + email + "\n";
    text += "modulus size: " + ModulusSize(cert) + "\n";
    text +=
        "issuer-serial hash: " + std::string(cert.Hex2Char(cert.GetIssuerSerialHash(), 16)) + "\n";
    text +=
        "subject-name hash: " + std::string(cert.Hex2Char(cert.GetSubjectNameHash(), 16)) + "\n";
    text += "public-key hash: " + std::string(cert.Hex2Char(cert.GetPublicKeyHash(), 16)) + "\n";
    text += "SHA-1 thumbprint: " + std::string(cert.Hex2Char(cert.GetSHA1ThumbPrint(), 20)) + "\n";
    return text + SubjectAltName(cert);
}

const std::vector<krtool::Option> kOptions = {
    {0, "pem", nullptr, "read every file as PEM"},
    {0, "der", nullptr, "read every file as DER"},
};

int RunCert(const krtool::Args& args) {
    if (args.Has("--pem") && args.Has("--der")) {
        throw krtool::UsageError("--pem and --der exclude each other");
    }
    args.ExpectPositional(0, 1000000);
    std::vector<std::string> files = args.Positional();
    if (files.empty()) files.push_back("-");
    bool first = true;
    for (const std::string& file : files) {
        const std::string bytes = krtool::ReadInput(file);
        const bool pem = args.Has("--pem") || (!args.Has("--der") && LooksLikePem(bytes));
        TIPEM_CERT_LIST_OBJ list;
        try {
            AddFile(list, bytes, pem);
        } catch (const KRException& e) {
            throw krtool::InputError(file + ": not " + (pem ? "PEM" : "DER") +
                                     " certificates (toolkit status " + std::to_string(e.rc) + ")");
        }
        const unsigned int count = list.Count();
        if (count == 0) throw krtool::InputError(file + ": no certificate");
        for (unsigned int i = 0; i < count; ++i) {
            list.GetCertByIndex(i);
            TIPEM_CERT_OBJ cert;
            cert.Set(list.der, static_cast<int>(list.derLen));
            std::string text = first ? "" : "\n";
            first = false;
            text += "certificate: " + file + " #" + std::to_string(i + 1) + "\n";
            krtool::WriteOutput(text + Describe(cert));
        }
    }
    return 0;
}

}  // namespace

KRTOOL_COMMAND_TABLE("cert", "names, hashes and thumbprints of certificates", kUsage, kOptions,
                     RunCert);
