// krtool ini: reads, changes and lists INI files. Reading goes through
// INIFile; changes edit only the lines they must and are checked by reading
// the result back before it replaces the file.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "command.h"
#include "ini_edit.h"
#include "json_out.h"
#include "krtools/file.h"
#include "krtools/ini.h"
#include "output.h"

namespace {

const char kUsage[] =
    "usage: krtool ini get FILE SECTION KEY\n"
    "       krtool ini set FILE SECTION KEY VALUE\n"
    "       krtool ini unset FILE SECTION KEY\n"
    "       krtool ini list FILE [SECTION]\n"
    "\n"
    "get prints the value of KEY in SECTION (exit 1 when there is no such entry).\n"
    "list prints the section names, one per line, or with SECTION its entries\n"
    "as KEY=VALUE lines (--json: {\"sections\": [...]} or {\"section\": ...,\n"
    "\"entries\": [{\"key\": ..., \"value\": ...}]}). FILE \"-\" reads standard\n"
    "input (get and list).\n"
    "set changes the value of KEY in SECTION (the last line of that entry keeps\n"
    "its spacing, comment and line end), or adds \"KEY=VALUE\" after the\n"
    "section's last entry, or adds the section at the end; a missing FILE is\n"
    "created. unset removes every line of KEY in SECTION. Every other line\n"
    "stays byte for byte as it was; the new file replaces the old one through\n"
    "a temporary file and rename, and only after reading it back gave exactly\n"
    "the intended change.\n"
    "\n"
    "What cannot be stored (set refuses it with exit status 1, FILE untouched):\n"
    "  an empty section name or key, or one longer than the reader takes\n"
    "  (section names up to 125 characters, lines up to 2046 characters);\n"
    "  '#' or ';' (they start a comment), CR, LF or NUL anywhere;\n"
    "  '=' in a section name or key (a value may contain it);\n"
    "  a blank (space or tab) at the start or end of a section name, key or\n"
    "  value (the reader trims them);\n"
    "  a key enclosed in brackets such as \"[x]\" (it reads as a section).\n"
    "Use \"--\" before arguments that begin with \"-\".\n";

const std::vector<krtool::Option> kOptions = {
    {0, "json", nullptr, "list: print one JSON document instead of text"},
};

using Model = std::map<std::string, std::map<std::string, std::string>>;

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

// Loads FILE ("-" is standard input) with a plain message when it cannot be
// read.
void Load(INIFile& ini, const std::string& path) {
    if (path != "-") krtool::InputFile probe(path);
    ini.LoadFile(path == "-" ? "/dev/stdin" : path.c_str());
}

Model ReadModel(const std::string& path) {
    INIFile ini;
    Load(ini, path);
    Model model;
    std::string sections, keys;
    ini.GetAllSections(sections);
    for (const auto& section : Names(sections)) {
        auto& entries = model[section];
        ini.GetAllEntries(keys, section.c_str());
        for (const auto& key : Names(keys)) {
            entries[key] = ini.GetEntry(section.c_str(), key.c_str());
        }
    }
    return model;
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
    Load(ini, args[1]);
    if (!HasEntry(ini, args[2], args[3])) {
        throw krtool::InputError("no entry '" + args[3] + "' in section '" + args[2] + "'");
    }
    krtool::WriteOutput(ini.GetEntry(args[2].c_str(), args[3].c_str()) + "\n");
    return 0;
}

// The file's bytes, or "" (and *exists false) when there is no such file.
std::string ReadExisting(const std::string& path, bool* exists) {
    FILE* file = std::fopen(path.c_str(), "rb");
    *exists = file != nullptr || errno != ENOENT;
    if (file != nullptr) std::fclose(file);
    return *exists ? krtool::ReadInput(path) : std::string();
}

// Writes `text` to `path` once reading it back gives `expected`.
void Replace(const std::string& path, const std::string& text, const Model& expected) {
    krtool::AtomicFile file(path);
    file.Write(text);
    if (ReadModel(file.TempPath()) != expected) {
        throw krtool::InputError("'" + path +
                                 "' is unchanged: the change would not read back as given");
    }
    file.Commit();
}

int Change(const std::vector<std::string>& args) {
    const bool set = args[0] == "set";
    if (args.size() != (set ? 5u : 4u)) {
        throw krtool::UsageError(set ? "set takes FILE SECTION KEY VALUE"
                                     : "unset takes FILE SECTION KEY");
    }
    const std::string &path = args[1], &section = args[2], &key = args[3];
    if (path == "-") throw krtool::UsageError(args[0] + " needs a file, not standard input");
    const std::string value = set ? args[4] : "";
    if (set) {
        const std::string why = krtool::IniUnstorable(section, key, value);
        if (!why.empty()) throw krtool::InputError("cannot store this entry: " + why);
    }
    bool exists = false;
    const std::string text = ReadExisting(path, &exists);
    if (!exists && !set)
        throw krtool::InputError("cannot open '" + path + "': " + std::strerror(ENOENT));
    Model expected = exists ? ReadModel(path) : Model();
    if (set) {
        expected[section][key] = value;
        Replace(path, krtool::IniSetEntry(text, section, key, value), expected);
    } else {
        expected[section].erase(key);
        Replace(path, krtool::IniRemoveEntry(text, section, key), expected);
    }
    return 0;
}

int List(const std::vector<std::string>& args, bool json) {
    if (args.size() < 2 || args.size() > 3) throw krtool::UsageError("list takes FILE [SECTION]");
    INIFile ini;
    Load(ini, args[1]);
    std::string list;
    if (args.size() == 2) {
        ini.GetAllSections(list);
        if (json) return krtool::WriteJson({{"sections", Names(list)}}), 0;
        for (const auto& name : Names(list)) krtool::WriteOutput(name + "\n");
        return 0;
    }
    const char* section = args[2].c_str();
    ini.GetAllEntries(list, section);
    if (list.empty()) throw krtool::InputError("no section '" + args[2] + "'");
    nlohmann::json entries = nlohmann::json::array();
    for (const auto& key : Names(list)) {
        const std::string& value = ini.GetEntry(section, key.c_str());
        entries.push_back({{"key", key}, {"value", value}});
        if (!json) krtool::WriteOutput(key + "=" + value + "\n");
    }
    if (json) krtool::WriteJson({{"section", args[2]}, {"entries", entries}});
    return 0;
}

int RunIni(const krtool::Args& args) {
    const auto& words = args.Positional();
    if (words.empty()) throw krtool::UsageError("missing action (get, set, unset or list)");
    if (words[0] == "get") return Get(words);
    if (words[0] == "set" || words[0] == "unset") return Change(words);
    if (words[0] == "list") return List(words, args.Has("json"));
    throw krtool::UsageError("unknown action '" + words[0] + "'");
}

}  // namespace

KRTOOL_COMMAND_TABLE("ini", "read, change and list INI files", kUsage, kOptions, RunIni);
