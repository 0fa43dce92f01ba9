#include "afx_string.h"

#include <cstdio>

namespace afx {
namespace {

constinit std::span<const StringTableEntry> g_stringTable;

} // namespace

int Replace(std::string& strText, std::string_view strOld, std::string_view strNew)
{
    if (strOld.empty())
        return 0;
    std::string strResult;
    int nCount = 0;
    std::size_t nFrom = 0;
    for (std::size_t nAt; (nAt = strText.find(strOld, nFrom)) != std::string::npos;
         nFrom = nAt + strOld.size()) {
        strResult.append(strText, nFrom, nAt - nFrom);
        strResult.append(strNew);
        ++nCount;
    }
    if (nCount == 0)
        return 0;
    strResult.append(strText, nFrom, std::string::npos);
    strText = std::move(strResult);
    return nCount;
}

std::string Format(const char* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    va_list copy;
    va_copy(copy, args);
    const int nLength = std::vsnprintf(nullptr, 0, pszFormat, copy);
    va_end(copy);
    std::string strResult;
    if (nLength > 0) {
        strResult.resize(static_cast<std::size_t>(nLength));
        std::vsnprintf(strResult.data(), strResult.size() + 1, pszFormat, args);
    }
    va_end(args);
    return strResult;
}

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

void SetStringTable(std::span<const StringTableEntry> table) { g_stringTable = table; }

std::string LoadString(int nID)
{
    for (const StringTableEntry& entry : g_stringTable) {
        if (entry.nID == nID)
            return entry.pszText;
    }
    return {};
}

} // namespace afx
