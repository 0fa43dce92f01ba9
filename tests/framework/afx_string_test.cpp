#include "framework/afx_string.h"

#include <gtest/gtest.h>

#include "res/resources.h"
#include "res/string_table.h"

namespace {

struct ReplaceCase {
    const char* pszText;
    const char* pszOld;
    const char* pszNew;
    const char* pszResult;
    int nCount;
};

TEST(AfxString, ReplaceEveryOccurrenceWithoutRescanning)
{
    const ReplaceCase cases[] = {
        {"%S%.%S%", "%S%", "ab", "ab.ab", 2},
        {"aaa", "aa", "b", "ba", 1},
        {"aaaa", "aa", "a", "aa", 2},
        {"x", "x", "xx", "xx", 1},
        {"%A%", "%A%", "%A%%A%", "%A%%A%", 1},
        {"abc", "d", "e", "abc", 0},
        {"", "a", "b", "", 0},
        {"abc", "", "z", "abc", 0},
        {"日本語の日本", "日本", "にほん", "にほん語のにほん", 2},
        {"abc", "abc", "", "", 1},
    };
    for (const ReplaceCase& c : cases) {
        std::string strText = c.pszText;
        EXPECT_EQ(afx::Replace(strText, c.pszOld, c.pszNew), c.nCount) << c.pszText << " / " << c.pszOld;
        EXPECT_EQ(strText, c.pszResult) << c.pszText << " / " << c.pszOld;
    }
}

TEST(AfxString, FormatAndCompare)
{
    EXPECT_EQ(afx::Format("変換を完了しました(%d/%d)\n\n", 2, 3), "変換を完了しました(2/3)\n\n");
    EXPECT_EQ(afx::Format("%s <%s>", "a b", ""), "a b <>");
    EXPECT_EQ(afx::Format("%s", std::string(5000, 'x').c_str()).size(), 5000u);
    EXPECT_EQ(afx::Format("%s", ""), "");

    EXPECT_TRUE(afx::EqualsNoCase("Shift_JIS", "SHIFT_jis"));
    EXPECT_TRUE(afx::EqualsNoCase("", ""));
    EXPECT_FALSE(afx::EqualsNoCase("off", "of"));
    EXPECT_FALSE(afx::EqualsNoCase("[", "{")); // only letters fold
    EXPECT_FALSE(afx::EqualsNoCase("\xc3\xa9", "\xc3\x89"));
}

TEST(AfxString, StringTable)
{
    EXPECT_EQ(afx::LoadString(IDS_COMPANY_NAME), "Tarnwell Software");
    EXPECT_EQ(afx::LoadString(9999), "");
}

// Lookups answer from whatever table was registered last, and from nothing
// (every identifier empty) when none is.
TEST(AfxString, LoadStringReadsTheRegisteredTable)
{
    struct Reregister {
        ~Reregister() { RegisterResources(); }
    } reregister;
    static constexpr afx::StringTableEntry kTable[] = {{7, "seven"}, {IDS_COMPANY_NAME, "other"}};
    afx::SetStringTable(kTable);
    EXPECT_EQ(afx::LoadString(7), "seven");
    EXPECT_EQ(afx::LoadString(IDS_COMPANY_NAME), "other");
    EXPECT_EQ(afx::LoadString(IDS_APP_TITLE), "");
    afx::SetStringTable({});
    for (int nID : {7, IDS_COMPANY_NAME, IDS_APP_TITLE})
        EXPECT_EQ(afx::LoadString(nID), "") << nID;
}

} // namespace
