#include "convert_command_line_info.h"

#include <string_view>
#include <utility>

#include "../framework/afx_string.h"

namespace {

// First match wins; an unknown name is Shift_JIS, never "not given".
CharsetId CharsetFromName(std::string_view strValue, bool* pbKnown)
{
    *pbKnown = true;
    for (CharsetId id = 0; id < Charset::Count; ++id) {
        if (afx::EqualsNoCase(strValue, Charset::kNames[id]))
            return id;
    }
    *pbKnown = false;
    return Charset::ShiftJis;
}

NLCode NLCodeFromName(std::string_view strValue, bool* pbKnown)
{
    *pbKnown = true;
    for (NLCode code = 0; code < NewLine::Count; ++code) {
        if (afx::EqualsNoCase(strValue, NewLine::kNames[code]))
            return code;
    }
    *pbKnown = false;
    return NewLine::None;
}

template <std::size_t N>
std::string NameList(const char* const (&names)[N])
{
    std::string strList;
    for (const char* pszName : names)
        strList += strList.empty() ? pszName : std::string(", ") + pszName;
    return strList;
}

std::string UnknownEncoding(char cSwitch, std::string_view strValue)
{
    return afx::Format("mojiro: warning: /%c value \"%.*s\" names no encoding; Shift_JIS is used instead "
                       "(encodings: %s)",
                       cSwitch, static_cast<int>(strValue.size()), strValue.data(), NameList(Charset::kNames).c_str());
}

std::string UnknownLineEnding(std::string_view strValue)
{
    return afx::Format("mojiro: warning: /N value \"%.*s\" names no line ending; the target's default is used "
                       "instead, LF for EUC-JP and CRLF otherwise (line endings: %s)",
                       static_cast<int>(strValue.size()), strValue.data(), NameList(NewLine::kNames).c_str());
}

} // namespace

void CConvertCommandLineInfo::ParseParam(const char* pszParam, bool bFlag, bool /*bLast*/)
{
    const std::string_view strWord(pszParam);
    if (!bFlag) {
        m_listFiles.emplace_back(strWord);
        return;
    }
    // The prefix is gone: "--help" arrives as "-help".
    if (strWord == "-help" || strWord == "h" || strWord == "?") {
        m_bHelp = true;
        return;
    }
    if (strWord == "-version" || strWord == "V" || strWord == "v") {
        m_bVersion = true;
        return;
    }
    if (strWord == "-guess") {
        m_bGuess = true;
        return;
    }
    bool bKnown = true;
    // The letter alone decides the switch: /Force is /F with "orce".
    const std::string_view strValue = strWord.empty() ? strWord : strWord.substr(1);
    switch (strWord.empty() ? '\0' : strWord[0]) {
    case 'F':
    case 'f':
        m_strOutputPattern = strValue;
        break;
    case 'N':
    case 'n':
        m_nNLCode = NLCodeFromName(strValue, &bKnown);
        SetWarning('N', bKnown ? std::string() : UnknownLineEnding(strValue));
        break;
    case 'O':
    case 'o':
        m_nOutputCharset = CharsetFromName(strValue, &bKnown);
        SetWarning('O', bKnown ? std::string() : UnknownEncoding('O', strValue));
        break;
    case 'R':
    case 'r':
        m_bReport = !afx::EqualsNoCase(strValue, "off");
        break;
    case 'S':
    case 's':
        m_nInputCharset = CharsetFromName(strValue, &bKnown);
        SetWarning('S', bKnown ? std::string() : UnknownEncoding('S', strValue));
        break;
    default:
        if (afx::EqualsNoCase(strWord, "AUTO"))
            m_bAuto = true;
        break;
    }
}

void CConvertCommandLineInfo::SetWarning(char cSwitch, std::string strText)
{
    std::erase_if(m_warnings, [cSwitch](const Warning& warning) { return warning.cSwitch == cSwitch; });
    if (!strText.empty())
        m_warnings.push_back({cSwitch, std::move(strText)});
}

std::vector<std::string> CConvertCommandLineInfo::Warnings() const
{
    std::vector<std::string> lines;
    for (const Warning& warning : m_warnings)
        lines.push_back(warning.strText);
    return lines;
}
