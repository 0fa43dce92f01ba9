#include "app/convert_command_line_info.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/win_app.h"

namespace {

// Runs the words through the framework's walk, as the program does.
CConvertCommandLineInfo Parse(const std::vector<std::string>& words)
{
    CWinApp app("mojiro");
    app.m_args = {"mojiro"};
    app.m_args.insert(app.m_args.end(), words.begin(), words.end());
    CConvertCommandLineInfo info;
    app.ParseCommandLine(info);
    return info;
}

TEST(ConvertCommandLineInfo, NoArgumentsKeepsDefaults)
{
    const CConvertCommandLineInfo info = Parse({});
    EXPECT_FALSE(info.m_bAuto);
    EXPECT_TRUE(info.m_bReport);
    EXPECT_EQ(info.m_nInputCharset, -1);
    EXPECT_EQ(info.m_nOutputCharset, -1);
    EXPECT_EQ(info.m_nNLCode, -1);
    EXPECT_EQ(info.m_strOutputPattern, "");
    EXPECT_TRUE(info.m_listFiles.empty());
}

struct AutoCase {
    const char* pszWord;
    bool bAuto;
};

TEST(ConvertCommandLineInfo, BatchSwitchIsTheWholeWordInAnyCase)
{
    const AutoCase cases[] = {
        {"/AUTO", true}, {"/auto", true},       {"-AUTO", true}, {"/Auto", true}, {"-aUtO", true},
        {"/AUTOMATIC", false}, {"/A", false}, {"//AUTO", false}, {"/AUT", false}, {"/", false},
        {"-", false},    {"/ AUTO", false},
    };
    for (const AutoCase& c : cases) {
        const CConvertCommandLineInfo info = Parse({c.pszWord});
        EXPECT_EQ(info.m_bAuto, c.bAuto) << c.pszWord;
        EXPECT_TRUE(info.m_listFiles.empty()) << c.pszWord;
    }
}

struct CharsetCase {
    const char* pszValue;
    CharsetId nExpected;
};

TEST(ConvertCommandLineInfo, EncodingNamesForSourceAndTarget)
{
    const CharsetCase cases[] = {
        {"Shift_JIS", 0}, {"EUC-JP", 1},  {"ISO-2022-JP", 2}, {"Unicode", 3},  {"UTF-8", 4},
        {"shift_jis", 0}, {"euc-jp", 1},  {"iso-2022-jp", 2}, {"UNICODE", 3},  {"utf-8", 4},
        // Unknown names select Shift_JIS, never "not given".
        {"", 0},          {"UTF8", 0},    {"jis", 0},         {"UTF-8 ", 0},   {"Unicod", 0},
        {"UTF-16", 0},    {"EUC-JPX", 0},
    };
    for (const CharsetCase& c : cases) {
        const CConvertCommandLineInfo source = Parse({std::string("/S") + c.pszValue});
        EXPECT_EQ(source.m_nInputCharset, c.nExpected) << "/S" << c.pszValue;
        EXPECT_EQ(source.m_nOutputCharset, -1);
        const CConvertCommandLineInfo target = Parse({std::string("-o") + c.pszValue});
        EXPECT_EQ(target.m_nOutputCharset, c.nExpected) << "-o" << c.pszValue;
        EXPECT_EQ(target.m_nInputCharset, -1);
    }
}

struct WordsCase {
    std::vector<std::string> words;
    NLCode nNLCode;
    bool bReport;
    const char* pszPattern;
};

TEST(ConvertCommandLineInfo, LineEndingReportAndPattern)
{
    const WordsCase cases[] = {
        {{"/NLF"}, 1, true, ""},
        {{"/Ncrlf"}, 0, true, ""},
        {{"/NCR"}, 2, true, ""},
        {{"/N"}, -1, true, ""},
        {{"/Nxyz"}, -1, true, ""},
        {{"/NCR", "/N"}, -1, true, ""},
        {{"/NCR", "/Nxyz"}, -1, true, ""},
        {{"/NLF", "/NCR"}, 2, true, ""},
        {{"/Roff"}, -1, false, ""},
        {{"/ROFF"}, -1, false, ""},
        {{"-roff"}, -1, false, ""},
        {{"/R"}, -1, true, ""},
        {{"/Ron"}, -1, true, ""},
        {{"/Rno"}, -1, true, ""},
        {{"/Roff", "/R"}, -1, true, ""},
        {{"/Roffx"}, -1, true, ""},
        {{"/F"}, -1, true, ""},
        {{"/Foo"}, -1, true, "oo"},
        {{"/Force"}, -1, true, "orce"},
        {{"/Fout/%SOURCE%.%SUFFIX%"}, -1, true, "out/%SOURCE%.%SUFFIX%"},
        {{"/Fa", "/F"}, -1, true, ""},
        // The letter decides: these are /N and /R, not unknown words.
        {{"/NLFX"}, -1, true, ""},
        {{"/Report"}, -1, true, ""},
    };
    for (const WordsCase& c : cases) {
        const CConvertCommandLineInfo info = Parse(c.words);
        const std::string strWords = ::testing::PrintToString(c.words);
        EXPECT_EQ(info.m_nNLCode, c.nNLCode) << strWords;
        EXPECT_EQ(info.m_bReport, c.bReport) << strWords;
        EXPECT_EQ(info.m_strOutputPattern, c.pszPattern) << strWords;
        EXPECT_FALSE(info.m_bAuto) << strWords;
        EXPECT_TRUE(info.m_listFiles.empty()) << strWords;
    }
}

TEST(ConvertCommandLineInfo, LastWordWinsAndUnknownWordsAreIgnored)
{
    const CConvertCommandLineInfo info =
        Parse({"/SEUC-JP", "/SUnicode", "/OUTF-8", "/Ojunk", "/X", "/Help", "/?", "/AUTO", "/Sutf-8"});
    EXPECT_EQ(info.m_nInputCharset, 4);
    EXPECT_EQ(info.m_nOutputCharset, 0);
    EXPECT_TRUE(info.m_bAuto);
    EXPECT_TRUE(info.m_listFiles.empty());
}

struct FilesCase {
    std::vector<std::string> words;
    std::vector<std::string> files;
};

TEST(ConvertCommandLineInfo, FileNamesKeepOrderAndDuplicates)
{
    const FilesCase cases[] = {
        {{"a.txt", "b.txt", "a.txt"}, {"a.txt", "b.txt", "a.txt"}},
        {{"/AUTO", "first.txt", "/NLF", "second.txt"}, {"first.txt", "second.txt"}},
        {{"name with spaces.txt", "日本語.txt"}, {"name with spaces.txt", "日本語.txt"}},
        // Before "--" a leading "/" or "-" makes a switch, never a file.
        {{"/tmp/a.txt", "-b.txt"}, {}},
        // After it every word is a file name, "--" again included.
        {{"--", "/tmp/a.txt", "-b.txt", "--", "/AUTO"}, {"/tmp/a.txt", "-b.txt", "--", "/AUTO"}},
        {{"x.txt", "--"}, {"x.txt"}},
        {{"", "--", ""}, {"", ""}},
    };
    for (const FilesCase& c : cases) {
        const CConvertCommandLineInfo info = Parse(c.words);
        const std::vector<std::string> files(info.m_listFiles.begin(), info.m_listFiles.end());
        EXPECT_EQ(files, c.files) << ::testing::PrintToString(c.words);
    }
}

TEST(ConvertCommandLineInfo, SwitchesStopAtDoubleDash)
{
    const CConvertCommandLineInfo info = Parse({"/AUTO", "--", "/Roff", "/OUTF-8"});
    EXPECT_TRUE(info.m_bAuto);
    EXPECT_TRUE(info.m_bReport);
    EXPECT_EQ(info.m_nOutputCharset, -1);
    EXPECT_EQ(info.m_listFiles.size(), 2u);
}

struct WholeWordCase {
    std::vector<std::string> words;
    bool bHelp;
    bool bVersion;
};

// Only these whole words; any other word keeps its first-letter meaning.
TEST(ConvertCommandLineInfo, HelpAndVersionAreWholeWords)
{
    const WholeWordCase cases[] = {
        {{"--help"}, true, false},   {{"-h"}, true, false},         {{"/?"}, true, false},
        {{"--version"}, false, true}, {{"/AUTO", "--help", "a"}, true, false},
        {{"/Help"}, false, false},   {{"-help"}, false, false},     {{"--helpme"}, false, false},
        {{"/h2"}, false, false},     {{"--", "--help", "-h"}, false, false},
        {{"--versions"}, false, false}, {{"-version"}, false, false},
    };
    for (const WholeWordCase& c : cases) {
        const CConvertCommandLineInfo info = Parse(c.words);
        EXPECT_EQ(info.m_bHelp, c.bHelp) << ::testing::PrintToString(c.words);
        EXPECT_EQ(info.m_bVersion, c.bVersion) << ::testing::PrintToString(c.words);
    }
    const CConvertCommandLineInfo info = Parse({"--help", "/OEUC-JP", "/Fout"});
    EXPECT_EQ(info.m_nOutputCharset, 1);
    EXPECT_EQ(info.m_strOutputPattern, "out");
}

struct WarningCase {
    std::vector<std::string> words;
    std::vector<std::string> fragments; // one per expected warning, in order
};

// Each unknown value is named with what replaces it; a later valid word for
// the same switch takes its warning back. The values themselves are as before.
TEST(ConvertCommandLineInfo, UnknownValuesAreWarnedAbout)
{
    const WarningCase cases[] = {
        {{"/OUTF8"}, {"/O value \"UTF8\" names no encoding; Shift_JIS is used instead"}},
        {{"/Osjis", "/S"}, {"/O value \"sjis\"", "/S value \"\" names no encoding"}},
        {{"-Sjis"}, {"/S value \"jis\""}},
        {{"/Nxyz"}, {"/N value \"xyz\" names no line ending; the target's default is used instead"}},
        {{"/N"}, {"/N value \"\""}},
        {{"/OUTF8", "/OUTF-8", "/Nx", "/NCR"}, {}},
        {{"/OUTF-8", "/OUTF8"}, {"\"UTF8\""}},
        {{"/SEUC-JP", "/OUnicode", "/NLF", "/Roffx", "/Fany", "/X", "a"}, {}},
        {{"--", "/OUTF8"}, {}},
    };
    for (const WarningCase& c : cases) {
        const std::vector<std::string> warnings = Parse(c.words).Warnings();
        ASSERT_EQ(warnings.size(), c.fragments.size()) << ::testing::PrintToString(c.words);
        for (std::size_t i = 0; i < warnings.size(); ++i)
            EXPECT_NE(warnings[i].find(c.fragments[i]), std::string::npos) << warnings[i];
    }
}

TEST(ConvertCommandLineInfo, ExampleFromTheManual)
{
    const CConvertCommandLineInfo info =
        Parse({"/AUTO", "/SShift_JIS", "/OUTF-8", "/NLF", "/Roff", "first.txt", "second.txt"});
    EXPECT_TRUE(info.m_bAuto);
    EXPECT_FALSE(info.m_bReport);
    EXPECT_EQ(info.m_nInputCharset, 0);
    EXPECT_EQ(info.m_nOutputCharset, 4);
    EXPECT_EQ(info.m_nNLCode, 1);
    EXPECT_EQ(info.m_listFiles, (std::list<std::string>{"first.txt", "second.txt"}));
}

} // namespace
