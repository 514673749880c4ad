// krtool ini: reads, changes and lists INI files through INIFile.
#include <cerrno>
#include <string>
#include <vector>

#include "command.h"
#include "krtools/file.h"
#include "krtools/ini.h"

namespace {

const char kUsage[] =
    "usage: krtool ini get FILE SECTION KEY\n"
    "       krtool ini set FILE SECTION KEY VALUE\n"
    "       krtool ini list FILE [SECTION]\n"
    "get prints the value of KEY in SECTION (exit 1 when there is no such entry).\n"
    "set loads FILE (when it exists), sets KEY in SECTION to VALUE (adding\n"
    "section and key when missing) and writes the file back; entries with\n"
    "empty values are dropped.\n"
    "list prints the section names, one per line, or with SECTION its entries\n"
    "as KEY=VALUE lines. FILE \"-\" reads standard input (get and list).\n"
    "Use \"--\" before arguments that begin with \"-\".\n";

std::string InputName(const std::string& file) {
    return file == "-" ? std::string("/dev/stdin") : file;
}

// Splits a list of NUL-terminated names (ended by one more NUL).
std::vector<std::string> Names(const std::string& list) {
    std::vector<std::string> names;
    size_t start = 0;
    while (start + 1 < list.size()) {
        const size_t end = list.find('\0', start);
        names.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

bool HasEntry(INIFile& ini, const std::string& section, const std::string& key) {
    std::string list;
    ini.GetAllEntries(list, section.c_str());
    for (const auto& name : Names(list)) {
        if (name == key) return true;
    }
    return false;
}

int Get(const std::vector<std::string>& args) {
    if (args.size() != 4) throw krtool::UsageError("get takes FILE SECTION KEY");
    INIFile ini;
    ini.LoadFile(InputName(args[1]).c_str());
    if (!HasEntry(ini, args[2], args[3])) {
        throw krtool::InputError("no entry '" + args[3] + "' in section '" + args[2] + "'");
    }
    krtool::WriteOutput(ini.GetEntry(args[2].c_str(), args[3].c_str()) + "\n");
    return 0;
}

int Set(const std::vector<std::string>& args) {
    if (args.size() != 5) throw krtool::UsageError("set takes FILE SECTION KEY VALUE");
    INIFile ini;
    try {
        ini.LoadFile(args[1].c_str());
    } catch (const PXMFileException& e) {
        if (e.rc != ENOENT) throw;  // a missing file starts out empty
    }
    ini.AddEntry(args[2].c_str(), args[3].c_str(), args[4].c_str(), true);
    ini.WriteFile(args[1].c_str());
    return 0;
}

int List(const std::vector<std::string>& args) {
    if (args.size() < 2 || args.size() > 3) throw krtool::UsageError("list takes FILE [SECTION]");
    INIFile ini;
    ini.LoadFile(InputName(args[1]).c_str());
    std::string list;
    if (args.size() == 2) {
        ini.GetAllSections(list);
        for (const auto& name : Names(list)) krtool::WriteOutput(name + "\n");
        return 0;
    }
    const char* section = args[2].c_str();
    ini.GetAllEntries(list, section);
    if (list.empty()) throw krtool::InputError("no section '" + args[2] + "'");
    for (const auto& key : Names(list)) {
        krtool::WriteOutput(key + "=" + ini.GetEntry(section, key.c_str()) + "\n");
    }
    return 0;
}

int RunIni(const std::vector<std::string>& argv) {
    krtool::Args args(argv, {}, {});
    const auto& words = args.Positional();
    if (words.empty()) throw krtool::UsageError("missing action (get, set or list)");
    if (words[0] == "get") return Get(words);
    if (words[0] == "set") return Set(words);
    if (words[0] == "list") return List(words);
    throw krtool::UsageError("unknown action '" + words[0] + "'");
}

}  // namespace

KRTOOL_COMMAND("ini", "read, change and list INI files", kUsage, RunIni);
