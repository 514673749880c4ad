// krtool ls: lists the entries of one directory with KRDIR.
#include <cstdio>
#include <string>

#include "command.h"
#include "krtools/file.h"

namespace {

const char kUsage[] =
    "usage: krtool ls DIR [--long]\n"
    "Lists every entry of DIR, \".\" and \"..\" included, one per line in the\n"
    "order the system delivers them. With --long each line is\n"
    "  MODE SIZE CTIME MTIME ATIME NAME\n"
    "with the mode in octal, the size in bytes and the status change,\n"
    "modification and access times in seconds since 1970-01-01 00:00:00 UTC.\n";

std::string LongLine(KRDIR& walker) {
    walker.RetrieveAttributes();
    char line[160];
    std::snprintf(line, sizeof line, "%06o %ld %ld %ld %ld ",
                  static_cast<unsigned>(walker.GetMode()), walker.GetSize(), walker.GetCreateTime(),
                  walker.GetModifyTime(), walker.GetAccessTime());
    return line + std::string(walker.GetFileName()) + "\n";
}

int RunLs(const std::vector<std::string>& argv) {
    krtool::Args args(argv, {}, {"--long"});
    args.ExpectPositional(1, 1);
    const bool longFormat = args.Has("--long");
    KRDIR walker(args.Positional()[0].c_str());
    while (const char* name = walker.Next()) {
        krtool::WriteOutput(longFormat ? LongLine(walker) : std::string(name) + "\n");
    }
    return 0;
}

}  // namespace

KRTOOL_COMMAND("ls", "list the entries of a directory", kUsage, RunLs);
