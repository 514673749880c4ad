// krtool digest: MD5 or SHA-1 of a file through KR_HASH.
#include <cstdio>
#include <string>
#include <vector>

#include "command.h"
#include "krtools/digest.h"

namespace {

const char kUsage[] =
    "usage: krtool digest md5|sha1 [--table FILE] [FILE|-]\n"
    "\n"
    "Prints the MD5 or SHA-1 digest of FILE (default standard input) in\n"
    "lower-case hexadecimal, followed by a line feed. With --table, FILE must\n"
    "hold exactly 256 octets: every input octet b is hashed as octet b of the\n"
    "table (a character-set translation applied on the fly). The input is\n"
    "read in pieces of 64 KiB.\n";

int RunDigest(const std::vector<std::string>& argv) {
    krtool::Args args(argv, {"--table"}, {});
    args.ExpectPositional(1, 2);
    const std::string& name = args.Positional()[0];
    int algorithm = 0;
    if (name == "md5") {
        algorithm = 2;
    } else if (name == "sha1") {
        algorithm = 5;
    } else {
        throw krtool::UsageError("unknown digest '" + name + "' (md5 or sha1)");
    }
    std::string table;
    if (args.Has("--table")) {
        table = krtool::ReadInput(args.Get("--table"));
        if (table.size() != 256) {
            throw krtool::InputError("the table must hold 256 octets, not " +
                                     std::to_string(table.size()));
        }
    }

    KR_HASH hash(algorithm, table.empty() ? nullptr : reinterpret_cast<unsigned char*>(&table[0]));
    FILE* input = krtool::OpenInput(args.Positional().size() > 1 ? args.Positional()[1] : "-");
    std::vector<unsigned char> piece(65536);
    size_t n;
    while ((n = std::fread(piece.data(), 1, piece.size(), input)) > 0) {
        hash.Update(piece.data(), static_cast<int>(n));
    }
    const bool readFailed = std::ferror(input) != 0;
    krtool::CloseInput(input);
    if (readFailed) throw krtool::InputError("cannot read the input");
    hash.Final();
    krtool::WriteOutput(
        krtool::ToHex(hash.GetDigest(), static_cast<size_t>(hash.GetDigestLen()), false) + "\n");
    return 0;
}

}  // namespace

KRTOOL_COMMAND("digest", "MD5 or SHA-1 digest of a file, optionally through a table", kUsage,
               RunDigest);
