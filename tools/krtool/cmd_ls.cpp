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
    "modification and access times in seconds since 1970-01-01 00:00:00 UTC.\n"
    "An entry whose status cannot be read (a dangling symbolic link) shows \"?\"\n"
    "in those fields, with a message on standard error and exit status 1.\n";

// The long line of the current entry, or one with "?" fields (and a
// warning) when its status cannot be read, as for a dangling symbolic link.
std::string LongLine(KRDIR& walker, bool* failed) {
    try {
        walker.RetrieveAttributes();
    } catch (const KRException& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "krtool: %s\n", krtool::DescribeLibraryError(e).c_str());
        *failed = true;
        return "? ? ? ? ? " + std::string(walker.GetFileName()) + "\n";
    }
    char line[160];
    std::snprintf(line, sizeof line, "%06o %ld %ld %ld %ld ",
                  static_cast<unsigned>(walker.GetMode()), walker.GetSize(), walker.GetCreateTime(),
                  walker.GetModifyTime(), walker.GetAccessTime());
    return line + std::string(walker.GetFileName()) + "\n";
}

const std::vector<krtool::Option> kOptions = {
    {'l', "long", nullptr, "print mode, size and times before each name"},
};

int RunLs(const krtool::Args& args) {
    args.ExpectPositional(1, 1);
    const bool longFormat = args.Has("--long");
    KRDIR walker(args.Positional()[0].c_str());
    bool failed = false;
    while (const char* name = walker.Next()) {
        krtool::WriteOutput(longFormat ? LongLine(walker, &failed) : std::string(name) + "\n");
    }
    return failed ? 1 : 0;
}

}  // namespace

KRTOOL_COMMAND_TABLE("ls", "list the entries of a directory", kUsage, kOptions, RunLs);
