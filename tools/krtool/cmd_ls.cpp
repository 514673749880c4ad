// krtool ls: lists the entries of one directory with KRDIR.
#include <cstdio>
#include <string>

#include "command.h"
#include "json_out.h"
#include "krtools/file.h"

namespace {

const char kUsage[] =
    "usage: krtool ls DIR [--long]\n"
    "Lists every entry of DIR, \".\" and \"..\" included, one per line in the\n"
    "order the system delivers them. With --long each line is\n"
    "  MODE SIZE CTIME MTIME ATIME NAME\n"
    "with the mode in octal, the size in bytes and the status change,\n"
    "modification and access times in seconds since 1970-01-01 00:00:00 UTC;\n"
    "control characters in names print as \\xNN. --json gives the same fields.\n"
    "An entry whose status cannot be read (a dangling symbolic link) shows \"?\"\n"
    "in those fields, with a message on standard error and exit status 1.\n";

const std::vector<krtool::Option> kOptions = {
    {'l', "long", nullptr, "print mode, size and times before each name"},
    krtool::kJsonOption,
};

// The current entry with its status, or with null status fields (and a
// warning) when its status cannot be read, as for a dangling symbolic link.
nlohmann::json Entry(KRDIR& walker, bool withStatus, bool* failed) {
    nlohmann::json entry = {{"name", walker.GetFileName()}};
    if (!withStatus) return entry;
    try {
        walker.RetrieveAttributes();
        entry["mode"] = walker.GetMode();
        entry["size"] = walker.GetSize();
        entry["ctime"] = walker.GetCreateTime();
        entry["mtime"] = walker.GetModifyTime();
        entry["atime"] = walker.GetAccessTime();
    } catch (const KRException& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "krtool: %s\n", krtool::DescribeLibraryError(e).c_str());
        *failed = true;
        for (const char* key : {"mode", "size", "ctime", "mtime", "atime"}) entry[key] = nullptr;
    }
    return entry;
}

// "MODE SIZE CTIME MTIME ATIME NAME" or just the name; the name with its
// control characters escaped.
std::string TextLine(const nlohmann::json& entry) {
    const std::string name = krtool::EscapeControls(entry["name"].get<std::string>()) + "\n";
    if (!entry.contains("mode")) return name;
    if (entry["mode"].is_null()) return "? ? ? ? ? " + name;
    char line[160];
    std::snprintf(line, sizeof line, "%06o %ld %ld %ld %ld ", entry["mode"].get<unsigned>(),
                  entry["size"].get<long>(), entry["ctime"].get<long>(), entry["mtime"].get<long>(),
                  entry["atime"].get<long>());
    return line + name;
}

int RunLs(const krtool::Args& args) {
    args.ExpectPositional(1, 1);
    if (args.Positional()[0].empty()) throw krtool::UsageError("the directory name is empty");
    const bool json = args.Has("json");
    KRDIR walker(args.Positional()[0].c_str());
    bool failed = false;
    nlohmann::json entries = nlohmann::json::array();
    while (walker.Next() != nullptr) {
        nlohmann::json entry = Entry(walker, args.Has("long"), &failed);
        if (json) {
            entries.push_back(std::move(entry));
        } else {
            krtool::WriteOutput(TextLine(entry));
        }
    }
    if (json) krtool::WriteJson({{"directory", args.Positional()[0]}, {"entries", entries}});
    return failed ? 1 : 0;
}

}  // namespace

KRTOOL_COMMAND_TABLE("ls", "list the entries of a directory", kUsage, kOptions, RunLs);
