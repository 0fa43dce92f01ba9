#pragma once

#include <list>
#include <string>

#include "../convert/charset.h"
#include "../framework/command_line_info.h"

// The program's switches: /AUTO, /S, /O, /N, /R, /F and file names.
class CConvertCommandLineInfo : public CCommandLineInfo {
public:
    CConvertCommandLineInfo() = default;
    ~CConvertCommandLineInfo() override = default;

    void ParseParam(const char* pszParam, bool bFlag, bool bLast) override;

    bool m_bAuto = false;
    bool m_bReport = true;
    CharsetId m_nInputCharset = Charset::None;
    CharsetId m_nOutputCharset = Charset::None;
    NLCode m_nNLCode = NewLine::None;
    std::string m_strOutputPattern;
    std::list<std::string> m_listFiles;
};
