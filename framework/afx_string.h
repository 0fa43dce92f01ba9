#pragma once

#include <cstdarg>
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

// String table entries 101-106.
std::string LoadString(int nID);

} // namespace afx
