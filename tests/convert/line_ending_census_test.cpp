// The line endings --guess names: counted alike however the text is cut
// into pieces, a CR at a piece's end waiting for the LF that may follow.
#include "line_ending_census.h"

#include <gtest/gtest.h>

#include "reference_model.h"

namespace {

using model::FromHex;

struct CensusCase {
    const char* pszHex;
    bool bUtf16;
    const char* pszExpected;
};

TEST(LineEndingCensus, EveryCutGivesTheWholeAnswer)
{
    const CensusCase cases[] = {
        {"", false, "NONE"},
        {"41 42", false, "NONE"},
        {"41 0D 0A 42 0D 0A", false, "CRLF"},
        {"41 0A 0A", false, "LF"},
        {"41 0D 42 0D", false, "CR"},
        {"0D 0D 0A", false, "MIXED"},
        {"0A 0D 0A", false, "MIXED"},
        {"82 A0 0D 0A 8E 0D 0A", false, "CRLF"},
        {"FF FE 41 00 0D 00 0A 00", true, "CRLF"},
        {"FF FE 0A 0D 0D 0A", true, "NONE"}, // units 0D0A and 0A0D are kanji
        {"FF FE 0D 00 41 00 0A 00", true, "MIXED"},
        {"FF FE 0D 00", true, "CR"},
    };
    for (const CensusCase& c : cases) {
        const model::Bytes text = FromHex(c.pszHex);
        for (std::size_t nCut = 0; nCut <= text.size(); ++nCut) {
            CLineEndingCensus census(c.bUtf16);
            census.Feed(text.data(), static_cast<std::int64_t>(nCut));
            census.Feed(text.data() + nCut, static_cast<std::int64_t>(text.size() - nCut));
            EXPECT_STREQ(census.Name(), c.pszExpected) << c.pszHex << " cut at " << nCut;
        }
    }
}

} // namespace
