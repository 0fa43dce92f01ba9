#pragma once

#include <cstdarg>
#include <span>
#include <string>
#include <string_view>

// Text is UTF-8 in std::string throughout the program.
namespace afx {

// Replaces every occurrence left to right; inserted text is not scanned again.
// Returns the number of replacements.
int Replace(std::string& strText, std::string_view strOld, std::string_view strNew);

// printf-style formatting into a new string.
std::string Format(const char* pszFormat, ...) __attribute__((format(printf, 1, 2)));

// ASCII-only case-insensitive compare (the program's switch names are ASCII).
bool EqualsNoCase(std::string_view a, std::string_view b);

struct StringTableEntry {
    int nID;
    const char* pszText;
};

// The program's string table, registered once at start; the entries must
// outlive every lookup. Until then every lookup is empty.
void SetStringTable(std::span<const StringTableEntry> table);

// The registered text with this identifier; empty when there is none.
std::string LoadString(int nID);

} // namespace afx
