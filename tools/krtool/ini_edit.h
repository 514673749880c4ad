// Line-preserving edits of INI text: one entry is set or removed, every
// other line stays byte for byte as it was. The lines are read with the same
// rules as the library's INI reader.
#ifndef KRTOOL_INI_EDIT_H
#define KRTOOL_INI_EDIT_H

#include <string>

namespace krtool {

// The longest line the reader takes whole, line end included.
constexpr size_t kIniLongestLine = 2047;

// Why the reader could not give back `section`, `key` and `value` as given,
// or "" when it can.
std::string IniUnstorable(const std::string& section, const std::string& key,
                          const std::string& value);

// `text` with KEY in SECTION set to VALUE: the last line of that entry is
// changed in place (its spacing, comment and line end kept), or a line is
// added after the section's last entry, or the section is added at the end.
// InputError when the changed line would be too long.
std::string IniSetEntry(const std::string& text, const std::string& section, const std::string& key,
                        const std::string& value);

// `text` without the lines of KEY in SECTION; InputError when it has none.
std::string IniRemoveEntry(const std::string& text, const std::string& section,
                           const std::string& key);

}  // namespace krtool

#endif  // KRTOOL_INI_EDIT_H
