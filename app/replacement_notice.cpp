#include "replacement_notice.h"

#include <cstdio>

namespace replacement_notice {

namespace {

bool IntoUnicode(CharsetId nTarget) { return nTarget == Charset::Unicode || nTarget == Charset::Utf8; }

std::string Hex(const char* pszFormat, std::uint32_t nValue)
{
    char text[16];
    std::snprintf(text, sizeof text, pszFormat, static_cast<unsigned>(nValue));
    return text;
}

// "line 3, column 2", or "line 3" where the column is not known.
std::string Where(const CReplacementTally::First& first)
{
    std::string text = "line ";
    text.append(std::to_string(first.nLine));
    if (first.nColumn > 0)
        text.append(", column ").append(std::to_string(first.nColumn));
    return text;
}

std::string WhereJa(const CReplacementTally::First& first)
{
    std::string text = std::to_string(first.nLine);
    text.append(" 行");
    if (first.nColumn > 0)
        text.append(" ").append(std::to_string(first.nColumn)).append(" 文字目");
    return text;
}

// What took a replaced character's place.
std::string Replacement(CharsetId nTarget, const std::string& strSubstitute, bool bIllFormed)
{
    if (bIllFormed && IntoUnicode(nTarget))
        return "U+FFFD";
    if (strSubstitute.empty())
        return {};
    std::string text = "\"";
    return text.append(strSubstitute).append("\"");
}

std::string Count(std::int64_t n, const char* pszOne, const char* pszMany)
{
    std::string text = std::to_string(n);
    return text.append(" ").append(n == 1 ? pszOne : pszMany);
}

} // namespace

std::string Line(const std::string& strName, const CReplacementTally& tally, CharsetId nTarget)
{
    if (tally.Empty())
        return {};
    std::string text = strName;
    text += ":";
    if (tally.m_nNoForm > 0) {
        const std::string by = Replacement(nTarget, tally.m_strSubstitute, false);
        text += " ";
        text += Count(tally.m_nNoForm, "character has", "characters have");
        text += " no form in ";
        text += Charset::kNames[nTarget];
        text += by.empty() ? (tally.m_nNoForm == 1 ? " and was dropped" : " and were dropped") : " and became ";
        text += by;
        text += " (the first, ";
        text += Hex("U+%04X", tally.m_firstNoForm.nValue);
        text += ", at ";
        text += Where(tally.m_firstNoForm);
        text += ")";
    }
    if (tally.m_nIllFormed > 0) {
        const std::string by = Replacement(nTarget, tally.m_strSubstitute, true);
        text += tally.m_nNoForm > 0 ? "; " : " ";
        text += Count(tally.m_nIllFormed, "ill-formed sequence", "ill-formed sequences");
        text += by.empty() ? " dropped" : " replaced by ";
        text += by;
        text += " (the first, byte ";
        text += Hex("0x%02X", tally.m_firstIllFormed.nValue);
        text += ", at ";
        text += Where(tally.m_firstIllFormed);
        text += ")";
    }
    return text;
}

std::string Sentence(const CReplacementTally& tally, CharsetId nTarget)
{
    std::string text;
    if (tally.m_nNoForm > 0) {
        const std::string by = Replacement(nTarget, tally.m_strSubstitute, false);
        text += Charset::kNames[nTarget];
        text += " で表せない文字 ";
        text += std::to_string(tally.m_nNoForm);
        text += by.empty() ? " 個を削除しました" : " 個を ";
        if (!by.empty())
            text += by + " に置き換えました";
        text += "（最初は ";
        text += WhereJa(tally.m_firstNoForm);
        text += "の ";
        text += Hex("U+%04X", tally.m_firstNoForm.nValue);
        text += "）。";
    }
    if (tally.m_nIllFormed > 0) {
        const std::string by = Replacement(nTarget, tally.m_strSubstitute, true);
        text += "不正なバイト列 ";
        text += std::to_string(tally.m_nIllFormed);
        text += by.empty() ? " か所を削除しました" : " か所を ";
        if (!by.empty())
            text += by + " に置き換えました";
        text += "（最初は ";
        text += WhereJa(tally.m_firstIllFormed);
        text += "のバイト ";
        text += Hex("0x%02X", tally.m_firstIllFormed.nValue);
        text += "）。";
    }
    return text;
}

} // namespace replacement_notice
