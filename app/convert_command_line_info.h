#pragma once

#include <list>
#include <string>
#include <vector>

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

    // --help, -h, /? (and /h, -?) and --version, -V, -v (and /V, /v): whole
    // words, which no switch letter takes.
    bool m_bHelp = false;
    bool m_bVersion = false;
    // --guess: the encoding and line ending of each file named, printed;
    // every later word is a file name.
    bool m_bGuess = false;

    // One line per /S, /O or /N value that names nothing, saying what is used
    // instead; a later word for the same switch replaces its line.
    std::vector<std::string> Warnings() const;

private:
    struct Warning {
        char cSwitch;
        std::string strText;
    };
    void SetWarning(char cSwitch, std::string strText);

    std::vector<Warning> m_warnings;
};
