// The in-memory INI model: entries, sections and the whole file, with their
// name indexes. Reading and writing files is in ini_io.cpp.
#include <string>
#include <string_view>
#include <utility>

#include "config/name_index.h"
#include "krtools/ini.h"

namespace {

std::string_view View(const char* text) {
    return text == nullptr ? std::string_view() : std::string_view(text);
}

int Compare(std::string_view a, std::string_view b) { return a.compare(b); }

// Names appended with the same character sequence the lists expose.
void AppendNameList(std::string& out, const std::string& name) {
    out += name;
    out += '\0';
}

}  // namespace

const std::string& INIEmptyString() {
    static const std::string empty;
    return empty;
}

// ---- INIFileEntry ----

INIFileEntry::INIFileEntry() = default;

INIFileEntry::INIFileEntry(const char* keyword, const char* value)
    : keyword_(View(keyword)), value_(View(value)) {}

INIFileEntry::INIFileEntry(std::string keyword, std::string value)
    : keyword_(std::move(keyword)), value_(std::move(value)) {}

INIFileEntry::INIFileEntry(const INIFileEntry& other) = default;

INIFileEntry::INIFileEntry(INIFileEntry&& other) noexcept = default;

void INIFileEntry::operator=(const INIFileEntry& other) {
    if (this == &other) return;
    keyword_ = other.keyword_;
    value_ = other.value_;
}

void INIFileEntry::operator=(INIFileEntry&& other) noexcept {
    keyword_ = std::move(other.keyword_);
    value_ = std::move(other.value_);
}

INIFileEntry::~INIFileEntry() = default;

void INIFileEntry::SetKeyword(const char* keyword) { keyword_ = View(keyword); }

void INIFileEntry::SetValue(const char* value) { value_ = View(value); }

int INIFileEntry::operator==(const char* keyword) { return keyword_ == View(keyword) ? 1 : 0; }

int INIFileEntry::operator==(const INIFileEntry& other) {
    return keyword_ == other.keyword_ ? 1 : 0;
}

int INIFileEntry::operator<(const char* keyword) { return Compare(keyword_, View(keyword)) < 0; }

bool INIFileEntry::operator<(const INIFileEntry& other) const {
    return Compare(keyword_, other.keyword_) < 0;
}

// ---- INIFileSection ----

INIFileSection::INIFileSection() = default;

INIFileSection::INIFileSection(const char* name) : name_(View(name)) {}

INIFileSection::INIFileSection(const INIFileSection& other) = default;

INIFileSection::INIFileSection(INIFileSection&& other) noexcept = default;

INIFileSection& INIFileSection::operator=(const INIFileSection& other) = default;

INIFileSection& INIFileSection::operator=(INIFileSection&& other) noexcept = default;

INIFileSection::~INIFileSection() = default;

void INIFileSection::SetSection(const char* name) { name_ = View(name); }

int INIFileSection::operator==(const char* name) { return name_ == View(name) ? 1 : 0; }

int INIFileSection::operator==(const INIFileSection& other) { return name_ == other.name_ ? 1 : 0; }

int INIFileSection::operator<(const char* name) { return Compare(name_, View(name)) < 0; }

bool INIFileSection::operator<(const INIFileSection& other) const {
    return Compare(name_, other.name_) < 0;
}

long INIFileSection::FindPosition(std::string_view keyword) const {
    return krconfig::FindName(
        index_, keyword, entries_.size(),
        [this](size_t pos) -> const std::string& { return entries_[pos].GetKeyword(); });
}

void INIFileSection::AddEntry(std::string_view keyword, std::string_view value, bool overwrite) {
    const long pos = FindPosition(keyword);
    if (pos >= 0) {
        if (overwrite) entries_[static_cast<size_t>(pos)].value_.assign(value);
        return;
    }
    entries_.emplace_back(std::string(keyword), std::string(value));
    try {
        krconfig::AddName(index_, entries_.size(), [this](size_t p) -> const std::string& {
            return entries_[p].GetKeyword();
        });
    } catch (...) {
        entries_.pop_back();
        throw;
    }
}

void INIFileSection::AddEntry(const char* keyword, const char* value, bool overwrite) {
    AddEntry(View(keyword), View(value), overwrite);
}

const std::string& INIFileSection::FindValue(std::string_view keyword) const {
    const long pos = FindPosition(keyword);
    return pos < 0 ? INIEmptyString() : entries_[static_cast<size_t>(pos)].GetValue();
}

const std::string& INIFileSection::GetEntry(const char* keyword) {
    return FindValue(View(keyword));
}

void INIFileSection::GetAllEntries(std::string& out) {
    out.clear();
    for (const auto& entry : entries_) AppendNameList(out, entry.GetKeyword());
    out += '\0';
}

void INIFileSection::DestroyEntries() {
    entries_.clear();
    index_.clear();
}

// ---- INIFile ----

INIFile::INIFile() = default;

INIFile::INIFile(const INIFile& other) = default;

INIFile::INIFile(INIFile&& other) noexcept = default;

INIFile& INIFile::operator=(const INIFile& other) = default;

INIFile& INIFile::operator=(INIFile&& other) noexcept = default;

INIFile::~INIFile() = default;

long INIFile::FindPosition(std::string_view name) const {
    return krconfig::FindName(
        index_, name, sections_.size(),
        [this](size_t pos) -> const std::string& { return sections_[pos].GetSection(); });
}

size_t INIFile::SectionPosition(std::string_view name) {
    const long pos = FindPosition(name);
    if (pos >= 0) return static_cast<size_t>(pos);
    INIFileSection section;
    section.name_.assign(name);
    sections_.push_back(std::move(section));
    try {
        krconfig::AddName(index_, sections_.size(), [this](size_t p) -> const std::string& {
            return sections_[p].GetSection();
        });
    } catch (...) {
        sections_.pop_back();
        throw;
    }
    return sections_.size() - 1;
}

void INIFile::AddEntry(const char* section, const char* keyword, const char* value,
                       bool overwrite) {
    sections_[SectionPosition(View(section))].AddEntry(View(keyword), View(value), overwrite);
}

const std::string& INIFile::FindValue(std::string_view section, std::string_view keyword) const {
    const long pos = FindPosition(section);
    return pos < 0 ? INIEmptyString() : sections_[static_cast<size_t>(pos)].FindValue(keyword);
}

const std::string& INIFile::GetEntry(const char* section, const char* keyword) {
    return FindValue(View(section), View(keyword));
}

void INIFile::GetAllSections(std::string& out) {
    out.clear();
    for (const auto& section : sections_) AppendNameList(out, section.GetSection());
    out += '\0';
}

void INIFile::GetAllEntries(std::string& out, const char* section) {
    out.clear();
    const long pos = FindPosition(View(section));
    if (pos >= 0) sections_[static_cast<size_t>(pos)].GetAllEntries(out);
}

void INIFile::DestroySections() {
    sections_.clear();
    index_.clear();
}
