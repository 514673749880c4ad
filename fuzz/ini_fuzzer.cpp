// Loads arbitrary bytes as an INI file, writes the model back and loads the
// written file again: the second model must equal the first without its
// empty-valued entries (sections stay, headers are always written).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "krtools/file.h"
#include "krtools/ini.h"
#include "platform/platform.h"

namespace {

// A scratch file of this process, removed when the fuzzer exits.
struct ScratchFile {
    explicit ScratchFile(const char* suffix)
        : path("/tmp/ini_fuzzer." + std::to_string(krplatform::ProcessId()) + suffix) {}
    ~ScratchFile() { std::remove(path.c_str()); }
    const std::string path;
};

void WriteBytes(const std::string& path, const uint8_t* data, size_t size) {
    PXMFile file(path.c_str(), "wb");
    file.Open();
    file.Fwrite(reinterpret_cast<const char*>(data), static_cast<int>(size));
    file.Close();
}

std::string Dump(INIFile& ini, bool skipEmptyValues) {
    std::string out, sections, keys;
    ini.GetAllSections(sections);
    if (sections.empty() || sections.back() != '\0') std::abort();
    for (size_t s = 0; s + 1 < sections.size(); s = sections.find('\0', s) + 1) {
        const std::string name = sections.substr(s, sections.find('\0', s) - s);
        out += "[" + name + "]\n";
        ini.GetAllEntries(keys, name.c_str());
        if (keys.empty()) std::abort();  // the section exists
        for (size_t k = 0; k + 1 < keys.size(); k = keys.find('\0', k) + 1) {
            const std::string key = keys.substr(k, keys.find('\0', k) - k);
            const std::string& value = ini.GetEntry(name.c_str(), key.c_str());
            if (skipEmptyValues && value.empty()) continue;
            out += key + "=" + value + "\n";
        }
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const ScratchFile inputFile(".in");
    static const ScratchFile outputFile(".out");
    const std::string& input = inputFile.path;
    const std::string& output = outputFile.path;
    WriteBytes(input, data, size);
    INIFile first;
    first.LoadFile(input.c_str());
    first.WriteFile(output.c_str());
    INIFile second;
    second.LoadFile(output.c_str());
    if (Dump(second, false) != Dump(first, true)) std::abort();
    INIFile copy(second);
    if (Dump(copy, false) != Dump(second, false)) std::abort();
    return 0;
}
