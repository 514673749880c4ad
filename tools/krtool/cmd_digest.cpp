// krtool digest: MD5 or SHA-1 of files through KR_HASH, and checks of such
// lists.
#include <cstdio>
#include <string>
#include <vector>

#include "command.h"
#include "krtools/digest.h"

namespace {

const char kUsage[] =
    "usage: krtool digest md5|sha1 [--table FILE] [FILE...]\n"
    "       krtool digest md5|sha1 [--table FILE] -c LIST\n"
    "\n"
    "Prints one line \"HASH  NAME\" per FILE (default standard input, named\n"
    "\"-\"), with the MD5 or SHA-1 digest in lower-case hexadecimal, as md5sum\n"
    "and sha1sum print it. With -c, reads such lines from LIST (\"HASH  NAME\" or\n"
    "\"HASH *NAME\"), digests every NAME and prints \"NAME: OK\" or \"NAME: FAILED\".\n"
    "The exit status is 1 when any file cannot be read or does not match.\n"
    "With --table, FILE must hold exactly 256 octets: every input octet b is\n"
    "hashed as octet b of the table (a character-set translation applied on\n"
    "the fly). Input is read in pieces of 64 KiB.\n";

const std::vector<krtool::Option> kOptions = {
    {0, "table", "FILE", "a 256-octet translation table applied before hashing"},
    {'c', "check", "LIST", "check the digests listed in LIST"},
};

struct Setup {
    int algorithm;
    size_t hexLength;
    std::string table;
};

std::string Digest(const Setup& setup, const std::string& path) {
    std::string table = setup.table;
    KR_HASH hash(setup.algorithm,
                 table.empty() ? nullptr : reinterpret_cast<unsigned char*>(&table[0]));
    krtool::InputFile input(path);
    std::vector<unsigned char> piece(65536);
    size_t n;
    while ((n = input.Read(piece.data(), piece.size())) > 0) {
        hash.Update(piece.data(), static_cast<int>(n));
    }
    hash.Final();
    return krtool::ToHex(hash.GetDigest(), static_cast<size_t>(hash.GetDigestLen()), false);
}

void Warn(const std::string& message) {
    std::fflush(stdout);
    std::fprintf(stderr, "krtool: %s\n", message.c_str());
}

bool IsHexDigest(const std::string& text, size_t length) {
    return text.size() == length &&
           text.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
}

// Checks one "HASH  NAME" line; false when it does not match.
bool CheckLine(const Setup& setup, const std::string& line, const std::string& list,
               size_t number) {
    const std::string expected = line.substr(0, setup.hexLength);
    if (line.size() < setup.hexLength + 3 || !IsHexDigest(expected, setup.hexLength) ||
        line[setup.hexLength] != ' ' ||
        (line[setup.hexLength + 1] != ' ' && line[setup.hexLength + 1] != '*')) {
        throw krtool::InputError("'" + list + "' line " + std::to_string(number) +
                                 ": not a \"HASH  NAME\" line");
    }
    const std::string name = line.substr(setup.hexLength + 2);
    std::string actual;
    try {
        actual = Digest(setup, name);
    } catch (const krtool::InputError& e) {
        Warn(e.what());
        krtool::WriteOutput(name + ": FAILED open or read\n");
        return false;
    }
    const bool same = krtool::FromHex(actual, "digest") == krtool::FromHex(expected, "digest");
    krtool::WriteOutput(name + (same ? ": OK\n" : ": FAILED\n"));
    return same;
}

int Check(const Setup& setup, const std::string& list) {
    const std::string text = krtool::ReadInput(list);
    size_t failed = 0, number = 0;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        at = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && !CheckLine(setup, line, list, number)) ++failed;
    }
    if (number == 0) throw krtool::InputError("'" + list + "' lists no files");
    if (failed != 0) Warn(std::to_string(failed) + " of the listed files did not match");
    return failed == 0 ? 0 : 1;
}

Setup ParseSetup(const krtool::Args& args) {
    const std::string& name = args.Positional()[0];
    Setup setup{0, 0, ""};
    if (name == "md5") {
        setup = {2, 32, ""};
    } else if (name == "sha1") {
        setup = {5, 40, ""};
    } else {
        throw krtool::UsageError("unknown digest '" + name + "' (md5 or sha1)");
    }
    if (args.Has("table")) {
        setup.table = krtool::ReadInput(args.Get("table"));
        if (setup.table.size() != 256) {
            throw krtool::InputError("the table must hold 256 octets, not " +
                                     std::to_string(setup.table.size()));
        }
    }
    return setup;
}

int RunDigest(const krtool::Args& args) {
    args.ExpectPositional(1, 1000000);
    const Setup setup = ParseSetup(args);
    if (args.Has("check")) {
        args.ExpectPositional(1, 1);
        return Check(setup, args.Get("check"));
    }
    std::vector<std::string> files(args.Positional().begin() + 1, args.Positional().end());
    if (files.empty()) files.push_back("-");
    int status = 0;
    for (const auto& file : files) {
        try {
            krtool::WriteOutput(Digest(setup, file) + "  " + file + "\n");
        } catch (const krtool::InputError& e) {
            if (files.size() == 1) throw;
            Warn(e.what());
            status = 1;
        }
    }
    return status;
}

}  // namespace

KRTOOL_COMMAND_TABLE("digest", "MD5 or SHA-1 digests of files, and checks of digest lists", kUsage,
                     kOptions, RunDigest);
