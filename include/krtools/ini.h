// INI files: an in-memory model of sections holding keyword/value entries,
// with a reader that merges a file into the model and a writer that stores it.
//
// Sections and entries keep their insertion order. Names are compared
// exactly (byte for byte, case-sensitive). Look-ups behave like linear
// searches in insertion order but go through a hash index, so loading a file
// of N entries costs O(N).
#ifndef KRTOOLS_INI_H
#define KRTOOLS_INI_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "krtools/export.h"
#include "krtools/file.h"

// The shared, always-empty string that failed look-ups return a reference to.
KRTOOLS_API const std::string& INIEmptyString();

// One keyword and its value.
class KRTOOLS_API INIFileEntry {
public:
    // Empty keyword and value.
    INIFileEntry();
    // Keyword and value from the arguments; a null pointer counts as "".
    INIFileEntry(const char* keyword, const char* value);
    INIFileEntry(std::string keyword, std::string value);
    INIFileEntry(const INIFileEntry& other);
    INIFileEntry(INIFileEntry&& other) noexcept;
    // Copies keyword and value.
    void operator=(const INIFileEntry& other);
    void operator=(INIFileEntry&& other) noexcept;
    virtual ~INIFileEntry();

    const std::string& GetKeyword() const { return keyword_; }
    const std::string& GetValue() const { return value_; }
    // Replace the fields; a null pointer counts as "".
    void SetKeyword(const char* keyword);
    void SetValue(const char* value);

    // Non-zero when the keyword equals `keyword` (null counts as "").
    int operator==(const char* keyword);
    // Non-zero when the keywords are equal; values are not compared.
    int operator==(const INIFileEntry& other);
    // Keyword ordering by byte-wise comparison.
    int operator<(const char* keyword);
    bool operator<(const INIFileEntry& other) const;

private:
    friend class INIFileSection;

    std::string keyword_;
    std::string value_;
};

// A named section: an ordered list of entries with unique keywords.
class KRTOOLS_API INIFileSection {
public:
    // An unnamed section without entries.
    INIFileSection();
    // A section with the given name (null counts as "") and no entries.
    explicit INIFileSection(const char* name);
    INIFileSection(const INIFileSection& other);
    INIFileSection(INIFileSection&& other) noexcept;
    INIFileSection& operator=(const INIFileSection& other);
    INIFileSection& operator=(INIFileSection&& other) noexcept;
    ~INIFileSection();

    const std::string& GetSection() const { return name_; }
    // Replaces the name; null counts as "".
    void SetSection(const char* name);

    // Compare names only.
    int operator==(const char* name);
    int operator==(const INIFileSection& other);
    // Name ordering by byte-wise comparison.
    int operator<(const char* name);
    bool operator<(const INIFileSection& other) const;

    // Adds `keyword` with `value` at the end when the keyword is not present.
    // When it is, replaces its value (in place) if `overwrite` is true and
    // changes nothing otherwise. Null pointers count as "".
    void AddEntry(const char* keyword, const char* value, bool overwrite);
    // The value stored for `keyword`, or INIEmptyString() when there is none.
    const std::string& GetEntry(const char* keyword);
    // Sets `out` to every keyword in order, each followed by one NUL
    // character, and then one more NUL (one NUL alone when there are none).
    void GetAllEntries(std::string& out);
    // Writes "keyword=value\n" for every entry whose value is not empty, to
    // `file`, which must be open for writing and own a working buffer of at
    // least 2048 bytes. Throws the file's PXMFileException on failure.
    void WriteEntries(PXMFile& file);
    // Removes all entries; the name stays.
    void DestroyEntries();

    // The same operations on counted texts, for callers that hold views.
    void AddEntry(std::string_view keyword, std::string_view value, bool overwrite);
    const std::string& FindValue(std::string_view keyword) const;
    size_t EntryCount() const { return entries_.size(); }

private:
    friend class INIFile;

    long FindPosition(std::string_view keyword) const;

    std::string name_;
    std::vector<INIFileEntry> entries_;
    // Hash index over the keywords; empty while the section is small enough
    // to be searched linearly.
    std::vector<uint64_t> index_;
};

// A whole INI file: an ordered list of sections with unique names.
//
// File format read by LoadFile: lines of at most 2047 characters (longer
// lines are read in pieces, each piece a line of its own); the first "="
// splits keyword from value; "#" or ";" anywhere ends the line; keyword and
// value are trimmed (spaces, tabs, CR and LF at the end, spaces and tabs at
// the start); empty keywords are ignored; a keyword shorter than 128
// characters in brackets with an empty value is a section header.
class KRTOOLS_API INIFile {
public:
    INIFile();
    INIFile(const INIFile& other);
    INIFile(INIFile&& other) noexcept;
    INIFile& operator=(const INIFile& other);
    INIFile& operator=(INIFile&& other) noexcept;
    ~INIFile();

    // Reads `fileName` and merges it into the model (which is not cleared
    // first): a keyword met twice in a section keeps the place of its first
    // occurrence and the value of its last; a section met twice is merged
    // into the first. Entries before the first header go to the section with
    // the empty name. A header line makes its section exist even when no
    // entry follows. A line whose first character is NUL counts as empty, and
    // a NUL ends the line's text.
    // Throws the PXMFileException of the failing open or read (for example
    // "File open failed: " from "Open"); what was added before stays.
    void LoadFile(const char* fileName);
    // Creates or truncates `fileName` and writes "\n[name]\n" and the
    // section's entries (see INIFileSection::WriteEntries) for each section.
    // An empty model gives an empty file. Throws the PXMFileException of the
    // failing operation; the file then holds what was written so far and the
    // model is unchanged.
    void WriteFile(const char* fileName);
    // Finds the section (appending an empty one of that name when there is
    // none) and does its AddEntry. Null pointers count as "".
    void AddEntry(const char* section, const char* keyword, const char* value, bool overwrite);
    // The value, or INIEmptyString() when the section or keyword is missing.
    const std::string& GetEntry(const char* section, const char* keyword);
    // Sets `out` to every section name in order, each followed by one NUL,
    // and then one more NUL.
    void GetAllSections(std::string& out);
    // Empties `out`; then, if the section exists, does its GetAllEntries. For
    // a missing section `out` stays empty.
    void GetAllEntries(std::string& out, const char* section);
    // Removes all sections and their entries.
    void DestroySections();

    // Counted-text forms of the look-ups.
    const std::string& FindValue(std::string_view section, std::string_view keyword) const;
    size_t SectionCount() const { return sections_.size(); }

private:
    long FindPosition(std::string_view name) const;
    // The position of the named section, appending an empty one if needed.
    size_t SectionPosition(std::string_view name);

    std::vector<INIFileSection> sections_;
    // Hash index over the section names, as in INIFileSection.
    std::vector<uint64_t> index_;
};

#endif  // KRTOOLS_INI_H
