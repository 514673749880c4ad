// INIFile::LoadFile against a small reference reader of the same format:
// lines as fgets reads them into 2048 bytes, a NUL ending a line's text,
// the first "=" splitting, "#" or ";" ending the line, trimming, headers of
// fewer than 128 characters in brackets, first place and last value of a
// repeated keyword, repeated sections merged. Both models must list the
// same sections and entries in the same order.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "krtools/file.h"
#include "krtools/ini.h"
#include "platform/platform.h"

namespace {

using Section = std::pair<std::string, std::vector<std::pair<std::string, std::string>>>;

struct ScratchFile {
    ScratchFile() : path("/tmp/ini_diff_fuzzer." + std::to_string(krplatform::ProcessId())) {}
    ~ScratchFile() { std::remove(path.c_str()); }
    const std::string path;
};

std::string Trim(const std::string& text) {
    size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos) return "";
    size_t end = text.size();
    while (end > begin && std::strchr(" \t\r\n", text[end - 1]) != nullptr) --end;
    return text.substr(begin, end - begin);
}

void Add(std::vector<Section>& model, const std::string& section, const std::string& keyword,
         const std::string& value) {
    Section* target = nullptr;
    for (Section& s : model) {
        if (s.first == section) target = &s;
        if (target != nullptr) break;
    }
    if (target == nullptr) {
        model.push_back({section, {}});
        target = &model.back();
    }
    if (keyword.empty()) return;  // a header only makes the section exist
    for (auto& entry : target->second) {
        if (entry.first == keyword) {
            entry.second = value;
            return;
        }
    }
    target->second.push_back({keyword, value});
}

void ReadLine(std::vector<Section>& model, std::string& section, std::string line) {
    line = line.substr(0, std::strlen(line.c_str()));
    if (!line.empty() && line.back() == '\n') line.pop_back();
    line = line.substr(0, line.find_first_of("#;"));
    const size_t equals = line.find('=');
    const std::string keyword = Trim(line.substr(0, equals));
    const std::string value = equals == std::string::npos ? "" : Trim(line.substr(equals + 1));
    if (keyword.empty()) return;
    if (value.empty() && keyword.size() < 128 && keyword.front() == '[' && keyword.back() == ']') {
        section = keyword.substr(1, keyword.size() - 2);
        Add(model, section, "", "");
        return;
    }
    Add(model, section, keyword, value);
}

std::vector<Section> Reference(const std::string& text) {
    std::vector<Section> model;
    std::string section;
    for (size_t at = 0; at < text.size();) {
        const size_t newline = text.find('\n', at);
        size_t end = newline == std::string::npos ? text.size() : newline + 1;
        if (end - at > 2047) end = at + 2047;
        ReadLine(model, section, text.substr(at, end - at));
        at = end;
    }
    return model;
}

std::vector<Section> Loaded(INIFile& ini) {
    std::vector<Section> model;
    std::string sections, keys;
    ini.GetAllSections(sections);
    for (size_t s = 0; s + 1 < sections.size(); s = sections.find('\0', s) + 1) {
        model.push_back({sections.substr(s, sections.find('\0', s) - s), {}});
        ini.GetAllEntries(keys, model.back().first.c_str());
        for (size_t k = 0; k + 1 < keys.size(); k = keys.find('\0', k) + 1) {
            const std::string key = keys.substr(k, keys.find('\0', k) - k);
            model.back().second.push_back(
                {key, ini.GetEntry(model.back().first.c_str(), key.c_str())});
        }
    }
    return model;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const ScratchFile scratch;
    {
        PXMFile file(scratch.path.c_str(), "wb");
        file.Open();
        file.Fwrite(reinterpret_cast<const char*>(data), static_cast<int>(size));
        file.Close();
    }
    INIFile ini;
    ini.LoadFile(scratch.path.c_str());
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (Loaded(ini) != Reference(text)) std::abort();
    return 0;
}
