#include "convert_command_line_info.h"

#include <string_view>

#include "../framework/afx_string.h"

namespace {

// First match wins; an unknown name is Shift_JIS, never "not given".
CharsetId CharsetFromName(std::string_view strValue)
{
    for (CharsetId id = 0; id < Charset::Count; ++id) {
        if (afx::EqualsNoCase(strValue, Charset::kNames[id]))
            return id;
    }
    return Charset::ShiftJis;
}

NLCode NLCodeFromName(std::string_view strValue)
{
    for (NLCode code = 0; code < NewLine::Count; ++code) {
        if (afx::EqualsNoCase(strValue, NewLine::kNames[code]))
            return code;
    }
    return NewLine::None;
}

} // namespace

void CConvertCommandLineInfo::ParseParam(const char* pszParam, bool bFlag, bool /*bLast*/)
{
    const std::string_view strWord(pszParam);
    if (!bFlag) {
        m_listFiles.emplace_back(strWord);
        return;
    }
    // The letter alone decides the switch: /Force is /F with "orce".
    const std::string_view strValue = strWord.empty() ? strWord : strWord.substr(1);
    switch (strWord.empty() ? '\0' : strWord[0]) {
    case 'F':
    case 'f':
        m_strOutputPattern = strValue;
        break;
    case 'N':
    case 'n':
        m_nNLCode = NLCodeFromName(strValue);
        break;
    case 'O':
    case 'o':
        m_nOutputCharset = CharsetFromName(strValue);
        break;
    case 'R':
    case 'r':
        m_bReport = !afx::EqualsNoCase(strValue, "off");
        break;
    case 'S':
    case 's':
        m_nInputCharset = CharsetFromName(strValue);
        break;
    default:
        if (afx::EqualsNoCase(strWord, "AUTO"))
            m_bAuto = true;
        break;
    }
}
