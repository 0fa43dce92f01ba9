#include "app/batch_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <map>
#include <mutex>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "app/convert_command_line_info.h"
#include "convert/byte_buffer.h"
#include "framework/file_system.h"

namespace {

using Bytes = std::string;

// Files in memory, with the failures a real disk rarely shows on demand.
// Every call takes one lock, as files converted side by side share it.
class CFakeFileSystem : public IFileSystem {
public:
    std::unique_ptr<IInputFile> OpenInput(const std::string& strPath, FileStamp* pStamp = nullptr) override
    {
        const std::lock_guard<std::recursive_mutex> lock(m_lock);
        m_events.push_back("read " + strPath);
        if (m_onRead)
            m_onRead(strPath);
        if (m_tooLarge.count(strPath) != 0)
            throw std::bad_alloc();
        const auto it = m_files.find(Resolve(strPath));
        if (it == m_files.end())
            throw CFileException(strPath, "No such file or directory");
        if (pStamp != nullptr)
            GetFileStamp(strPath, pStamp);
        return std::make_unique<CInput>(it->second);
    }

    // Every name is a file of its own, but for those in m_links; each write
    // makes a new file.
    bool GetFileStamp(const std::string& strPath, FileStamp* pStamp) override
    {
        const std::lock_guard<std::recursive_mutex> lock(m_lock);
        const std::string strFile = Resolve(strPath);
        const auto it = m_files.find(strFile);
        if (it == m_files.end())
            return false;
        *pStamp = FileStamp{1, std::hash<std::string>()(strFile) + m_generations[strFile],
                           static_cast<std::int64_t>(it->second.size()), 0, 0};
        return true;
    }

    std::string FileKey(const std::string& strPath) override
    {
        const std::lock_guard<std::recursive_mutex> lock(m_lock);
        return std::filesystem::path(Resolve(strPath)).lexically_normal().string();
    }

    std::unique_ptr<IOutputFile> CreateOutput(const std::string& strPath, const FileStamp* pUnchangedSince,
                                              std::string*) override
    {
        return std::make_unique<COutput>(*this, strPath, pUnchangedSince);
    }

    std::string Resolve(const std::string& strPath) const
    {
        const auto it = m_links.find(strPath);
        return it == m_links.end() ? strPath : it->second;
    }

    std::map<std::string, Bytes> m_files;
    std::set<std::string> m_failWrites;
    std::set<std::string> m_tooLarge;
    std::vector<std::string> m_events;
    std::function<void(const std::string&)> m_onRead;
    std::function<void(const std::string&)> m_beforeWrite;
    std::map<std::string, std::uint64_t> m_generations;
    std::map<std::string, std::string> m_links; // name -> the file it reaches
    std::recursive_mutex m_lock;

private:
    class CInput : public IInputFile {
    public:
        explicit CInput(Bytes content) : m_content(std::move(content)) {}
        std::int64_t Read(std::uint8_t* pData, std::int64_t nLength) override
        {
            const std::size_t n = std::min(static_cast<std::size_t>(nLength), m_content.size() - m_nAt);
            std::copy_n(m_content.data() + m_nAt, n, pData);
            m_nAt += n;
            return static_cast<std::int64_t>(n);
        }
        bool Rewind() override
        {
            m_nAt = 0;
            return true;
        }
        bool ChangedSinceOpen() const override { return false; }

    private:
        Bytes m_content;
        std::size_t m_nAt = 0;
    };

    // Gathered, and put in place whole at Commit.
    class COutput : public IOutputFile {
    public:
        COutput(CFakeFileSystem& fileSystem, std::string strPath, const FileStamp* pUnchangedSince)
            : m_fs(fileSystem), m_strPath(std::move(strPath)), m_bCheck(pUnchangedSince != nullptr)
        {
            if (m_bCheck)
                m_since = *pUnchangedSince;
        }
        bool Write(const std::uint8_t* pData, std::int64_t nLength) override
        {
            m_content.append(reinterpret_cast<const char*>(pData), static_cast<std::size_t>(nLength));
            return true;
        }
        bool Commit() override
        {
            const std::lock_guard<std::recursive_mutex> lock(m_fs.m_lock);
            m_fs.m_events.push_back("write " + m_strPath);
            if (m_fs.m_beforeWrite)
                m_fs.m_beforeWrite(m_strPath);
            if (m_fs.m_failWrites.count(m_strPath) != 0) {
                // A short write or a failed flush: the old file stays as it was.
                m_strError = "No space left on device";
                return false;
            }
            FileStamp now;
            if (m_bCheck && !(m_fs.GetFileStamp(m_strPath, &now) && now == m_since)) {
                m_strError = "changed since it was read; left as it is";
                return false;
            }
            const std::string strFile = m_fs.Resolve(m_strPath);
            m_fs.m_files[strFile] = m_content;
            ++m_fs.m_generations[strFile];
            return true;
        }
        std::string Error() const override { return m_strError; }

    private:
        CFakeFileSystem& m_fs;
        std::string m_strPath;
        bool m_bCheck;
        FileStamp m_since;
        Bytes m_content;
        std::string m_strError;
    };
};

CConvertCommandLineInfo Files(std::initializer_list<const char*> names)
{
    CConvertCommandLineInfo info;
    info.m_bAuto = true;
    for (const char* pszName : names)
        info.m_listFiles.emplace_back(pszName);
    return info;
}

struct Fixture : ::testing::Test {
    CFakeFileSystem fs;
    int nSubstituteReads = 0;
    std::string strSubstitute = "_";
    std::vector<std::string> failures;
    CBatchRun run{fs,
                  [this] {
                      ++nSubstituteReads;
                      return strSubstitute;
                  },
                  [this](const std::string& strLine) { failures.push_back(strLine); }};
};

using BatchRun = Fixture;

TEST_F(BatchRun, NoFilesGivesHeadingWithTwoLineFeeds)
{
    run.Run(Files({}));
    EXPECT_EQ(run.GetReportText(), "変換を完了しました(0/0)\n\n");
    EXPECT_TRUE(run.AllWritten());
}

TEST_F(BatchRun, DefaultsAndReportLines)
{
    fs.m_files["a.txt"] = "x\ny";
    fs.m_files["dir/b.txt"] = "\x82\xa0\r\n";
    run.Run(Files({"a.txt", "dir/b.txt"}));
    EXPECT_EQ(run.GetReportText(), "変換を完了しました(2/2)\n\n"
                                   "\na.txt <sjis> -> a.txt.sjis <sjis|CRLF> 成功"
                                   "\ndir/b.txt <sjis> -> dir/b.txt.sjis <sjis|CRLF> 成功");
    EXPECT_EQ(fs.m_files["a.txt.sjis"], "x\r\ny");
    EXPECT_EQ(fs.m_files["dir/b.txt.sjis"], "\x82\xa0\r\n");
    EXPECT_EQ(nSubstituteReads, 0); // Shift_JIS to Shift_JIS never substitutes
}

struct TargetCase {
    CharsetId nTarget;
    NLCode nNLCode;
    const char* pszLine;
    Bytes output;
};

TEST_F(BatchRun, TargetAndLineEndingDefaults)
{
    fs.m_files["a"] = "\x82\xa0\r\n";
    const TargetCase cases[] = {
        {-1, -1, "a <sjis> -> a.sjis <sjis|CRLF> 成功", "\x82\xa0\r\n"},
        {1, -1, "a <sjis> -> a.euc <euc|LF> 成功", "\xa4\xa2\n"},
        {1, 2, "a <sjis> -> a.euc <euc|CR> 成功", "\xa4\xa2\r"},
        {4, -1, "a <sjis> -> a.utf8 <utf8|CRLF> 成功", "\xe3\x81\x82\r\n"},
        {3, 1, "a <sjis> -> a.uni <uni|LF> 成功", Bytes("\xff\xfe\x42\x30\n\0", 6)},
        {2, 0, "a <sjis> -> a.jis <jis|CRLF> 成功", "\x1b$B$\"\x1b(B\r\n"},
    };
    for (const TargetCase& c : cases) {
        CConvertCommandLineInfo info = Files({"a"});
        info.m_nInputCharset = 0;
        info.m_nOutputCharset = c.nTarget;
        info.m_nNLCode = c.nNLCode;
        run.Run(info);
        EXPECT_EQ(run.m_strReport, std::string("\n") + c.pszLine);
        const std::string strOut = std::string("a.") + Charset::kShortNames[c.nTarget < 0 ? 0 : c.nTarget];
        EXPECT_EQ(fs.m_files[strOut], c.output) << strOut;
    }
}

struct PatternCase {
    const char* pszPattern;
    const char* pszInput;
    CharsetId nTarget;
    const char* pszOutput;
};

TEST(BatchRunOutputName, PatternExpansion)
{
    const PatternCase cases[] = {
        {"", "a.txt", 0, "a.txt.sjis"},
        {"%SOURCE%.%SUFFIX%", "d/a.txt", 4, "d/a.txt.utf8"},
        {"%SOURCE%", "a.txt", 1, "a.txt"},
        {"out.txt", "a.txt", 1, "out.txt"},
        {"%SUFFIX%/%SOURCE%-%SUFFIX%", "a", 2, "jis/a-jis"},
        {"%SOURCE%%SOURCE%", "a", 3, "aa"},
        // Inserted text is not scanned again, and %SUFFIX% goes first.
        {"%SOURCE%.x", "%SUFFIX%", 0, "%SUFFIX%.x"},
        {"%SOURCE%", "%SOURCE%", 0, "%SOURCE%"},
        {"%SUF%SOURCE%FIX%", "a", 0, "%SUFaFIX%"},
        {"%suffix%", "a", 0, "%suffix%"},
        {"%SOURCE", "a", 0, "%SOURCE"},
    };
    for (const PatternCase& c : cases)
        EXPECT_EQ(CBatchRun::OutputName(c.pszPattern, c.pszInput, c.nTarget), c.pszOutput) << c.pszPattern;
}

TEST_F(BatchRun, SourcePatternOverwritesEachInputAfterReadingIt)
{
    fs.m_files["a"] = "1\n";
    fs.m_files["b"] = "2\n";
    CConvertCommandLineInfo info = Files({"a", "b"});
    info.m_strOutputPattern = "%SOURCE%";
    run.Run(info);
    EXPECT_EQ(fs.m_files["a"], "1\r\n");
    EXPECT_EQ(fs.m_files["b"], "2\r\n");
    EXPECT_EQ(fs.m_events, (std::vector<std::string>{"read a", "write a", "read b", "write b"}));
}

TEST_F(BatchRun, PatternWithoutSourceWritesTheOneNameOnlyOnce)
{
    // A later file must not silently replace what an earlier one wrote.
    fs.m_files["a"] = "1";
    fs.m_files["b"] = "2";
    CConvertCommandLineInfo info = Files({"a", "b"});
    info.m_strOutputPattern = "same.%SUFFIX%";
    run.Run(info);
    EXPECT_EQ(fs.m_files["same.sjis"], "1");
    EXPECT_EQ(run.m_strReport, "\na <sjis> -> same.sjis <sjis|CRLF> 成功\nb <sjis> -> same.sjis <sjis|CRLF> 出力失敗");
}

struct MarkCase {
    CharsetId nSource;
    CharsetId nTarget;
    Bytes input;
    Bytes output;
    const char* pszShownSource;
};

TEST_F(BatchRun, ByteOrderMarkRules)
{
    const MarkCase cases[] = {
        // Given Unicode: FF FE is dropped, and every Unicode output gets one.
        {3, 3, Bytes("\xff\xfe\x41\0", 4), Bytes("\xff\xfe\x41\0", 4), "uni"},
        {3, 4, Bytes("\xff\xfe\x41\0", 4), "A", "uni"},
        {3, 4, Bytes("\xff\xfe", 2), "", "uni"},
        {3, 3, Bytes("\xff\xfe", 2), Bytes("\xff\xfe", 2), "uni"},
        // One byte is no mark: it is passed on whole.
        {3, 3, Bytes("\xff", 1), Bytes("\xff\xfe\xff", 3), "uni"},
        {3, 3, Bytes("\x41\0", 2), Bytes("\xff\xfe\x41\0", 4), "uni"},
        // Only FF FE counts, and only for a Unicode source.
        {3, 3, Bytes("\xfe\xff\0\x41", 4), Bytes("\xff\xfe\xfe\xff\0\x41", 6), "uni"},
        {0, 0, Bytes("\xff\xfe", 2), Bytes("\xff\xfe", 2), "sjis"},
        // Empty conversions: a Unicode target still starts with the mark.
        {0, 3, "", Bytes("\xff\xfe", 2), "sjis"},
        {0, 4, "", "", "sjis"},
        // UTF-8's mark goes unless the text stays UTF-8.
        {4, 3, "\xef\xbb\xbf\x41", Bytes("\xff\xfe\x41\0", 4), "utf8"},
        {4, 0, "\xef\xbb\xbf\x41", "A", "utf8"},
        {4, 4, "\xef\xbb\xbf\x41", "\xef\xbb\xbf\x41", "utf8"},
        // Not given: the marks decide, then well-formed UTF-8.
        {-1, 4, Bytes("\xff\xfe\x41\0", 4), "A", "uni"},
        {-1, 0, "\xef\xbb\xbf\x41", "A", "utf8"},
        {-1, 0, "A\xe3\x81\x82", "A\x82\xa0", "utf8"},
        {-1, 4, "A\x82\xa0", "A\xe3\x81\x82", "sjis"},
    };
    for (const MarkCase& c : cases) {
        fs.m_files["in"] = c.input;
        CConvertCommandLineInfo info = Files({"in"});
        info.m_nInputCharset = c.nSource;
        info.m_nOutputCharset = c.nTarget;
        info.m_nNLCode = 1;
        info.m_strOutputPattern = "out";
        run.Run(info);
        const std::string strCase = ::testing::PrintToString(c.input) + " " + std::to_string(c.nSource) + "->" +
                                    std::to_string(c.nTarget);
        EXPECT_EQ(run.m_strReport.substr(0, 6 + std::string(c.pszShownSource).size()),
                  std::string("\nin <") + c.pszShownSource + ">")
            << strCase;
        EXPECT_EQ(fs.m_files["out"], c.output) << strCase;
    }
}

TEST_F(BatchRun, DetectionPerFileDoesNotCarryOver)
{
    fs.m_files["euc"] = "\xa4\xb3\xa4\xf3\xa4\xcb\xa4\xc1\xa4\xcf";          // こんにちは in EUC-JP
    fs.m_files["sjis"] = "\x82\xb1\x82\xf1\x82\xc9\x82\xbf\x82\xcd";        // the same in Shift_JIS
    fs.m_files["jis"] = "\x1b$B$3$s$K$A$O\x1b(B";                           // and in ISO-2022-JP
    fs.m_files["ascii"] = "plain";                                           // undecided: Shift_JIS
    CConvertCommandLineInfo info = Files({"euc", "sjis", "jis", "ascii"});
    info.m_nOutputCharset = 4;
    run.Run(info);
    EXPECT_EQ(run.m_strReport, "\neuc <euc> -> euc.utf8 <utf8|CRLF> 成功"
                               "\nsjis <sjis> -> sjis.utf8 <utf8|CRLF> 成功"
                               "\njis <jis> -> jis.utf8 <utf8|CRLF> 成功"
                               "\nascii <sjis> -> ascii.utf8 <utf8|CRLF> 成功");
    const Bytes hello = "\xe3\x81\x93\xe3\x82\x93\xe3\x81\xab\xe3\x81\xa1\xe3\x81\xaf";
    EXPECT_EQ(fs.m_files["euc.utf8"], hello);
    EXPECT_EQ(fs.m_files["sjis.utf8"], hello);
    EXPECT_EQ(fs.m_files["jis.utf8"], hello);
}

TEST_F(BatchRun, FailuresAreReportedAndTheRunGoesOn)
{
    fs.m_files["a"] = "1";
    fs.m_files["b"] = "2";
    fs.m_files["b.sjis"] = "old";
    fs.m_files["c"] = "3";
    fs.m_files["huge"] = "4";
    fs.m_failWrites = {"b.sjis"};
    fs.m_tooLarge = {"huge"};
    CConvertCommandLineInfo info = Files({"a", "missing", "b", "huge", "c"});
    run.Run(info);
    EXPECT_EQ(run.GetReportText(), "変換を完了しました(2/5)\n\n"
                                   "\na <sjis> -> a.sjis <sjis|CRLF> 成功"
                                   "\nmissing <sjis> -> missing.sjis <sjis|CRLF> 入力失敗"
                                   "\nb <sjis> -> b.sjis <sjis|CRLF> 出力失敗"
                                   "\nhuge <sjis> -> huge.sjis <sjis|CRLF> 変換失敗"
                                   "\nc <sjis> -> c.sjis <sjis|CRLF> 成功");
    EXPECT_FALSE(run.AllWritten());
    EXPECT_EQ(failures, (std::vector<std::string>{"mojiro: missing: No such file or directory",
                                                  "mojiro: b.sjis: No space left on device",
                                                  "mojiro: huge: not enough memory to convert it"}));
    EXPECT_EQ(fs.m_files["b.sjis"], "old");
    EXPECT_EQ(fs.m_files.count("missing.sjis"), 0u);
    EXPECT_EQ(fs.m_files.count("huge.sjis"), 0u);
}

TEST_F(BatchRun, FailedInputShowsTheGivenSource)
{
    CConvertCommandLineInfo info = Files({"missing"});
    info.m_nInputCharset = 1;
    info.m_nOutputCharset = 3;
    run.Run(info);
    EXPECT_EQ(run.m_strReport, "\nmissing <euc> -> missing.uni <uni|CRLF> 入力失敗");
}

TEST_F(BatchRun, SubstituteIsReadAnewForEveryFile)
{
    const Bytes unmappable = "\xea\xb0\x80"; // U+AC00, outside code page 932
    fs.m_files["1"] = unmappable;
    fs.m_files["2"] = unmappable;
    fs.m_files["3"] = unmappable;
    fs.m_onRead = [this](const std::string& strPath) { strSubstitute = strPath == "1" ? "_" : strPath == "2" ? "?" : ""; };
    CConvertCommandLineInfo info = Files({"1", "2", "3"});
    info.m_nInputCharset = 4;
    run.Run(info);
    EXPECT_EQ(nSubstituteReads, 3);
    EXPECT_EQ(fs.m_files["1.sjis"], "_");
    EXPECT_EQ(fs.m_files["2.sjis"], "?");
    EXPECT_EQ(fs.m_files["3.sjis"], ""); // an empty substitute drops the character
}

TEST_F(BatchRun, SubstituteIsReadOnlyForCellsThatCanUseIt)
{
    fs.m_files["u8"] = "日本語";
    struct {
        CharsetId nTarget;
        int nReads;
    } const cases[] = {{Charset::ShiftJis, 1}, {Charset::Jis, 1}, {Charset::Unicode, 0}, {Charset::Utf8, 0}};
    for (const auto& c : cases) {
        nSubstituteReads = 0;
        CConvertCommandLineInfo info = Files({"u8"});
        info.m_nInputCharset = Charset::Utf8;
        info.m_nOutputCharset = c.nTarget;
        run.Run(info);
        EXPECT_EQ(nSubstituteReads, c.nReads) << c.nTarget;
        EXPECT_TRUE(run.AllWritten());
    }
}

struct ClashCase {
    const char* pszCase;
    std::vector<const char*> inputs;
    const char* pszPattern;
    std::vector<const char*> existing; // each holds its own name
    std::map<std::string, std::string> links;
    std::vector<const char*> results;
};

TEST_F(BatchRun, NoOutputReplacesAnInputOrAnEarlierOutput)
{
    const ClashCase cases[] = {
        {"output named by a later input", {"c1", "c1.utf8"}, "", {"c1", "c1.utf8"}, {}, {"出力失敗", "成功"}},
        {"the same before it exists", {"c1", "c1.utf8"}, "", {"c1"}, {}, {"出力失敗", "入力失敗"}},
        {"the same file under another name", {"c1", "alias"}, "", {"c1", "c1.utf8"}, {{"alias", "c1.utf8"}},
         {"出力失敗", "成功"}},
        {"one output for two inputs", {"o1", "o2"}, "same", {"o1", "o2"}, {}, {"成功", "出力失敗"}},
        {"each input in place", {"a", "b"}, "%SOURCE%", {"a", "b"}, {}, {"成功", "成功"}},
        {"in place, but named again later", {"a", "./a"}, "%SOURCE%", {"a"}, {{"./a", "a"}}, {"出力失敗", "成功"}},
        {"an input already read is still an input", {"c1.utf8", "c1"}, "", {"c1", "c1.utf8"}, {}, {"成功", "出力失敗"}},
        {"a link from the output to its own input", {"a"}, "", {"a"}, {{"a.utf8", "a"}}, {"出力失敗"}},
        {"the input named by the pattern", {"a"}, "%SOURCE%", {"a"}, {}, {"成功"}},
        {"a dangling link to an earlier output", {"a", "b"}, "", {"a", "b"}, {{"b.utf8", "a.utf8"}}, {"成功", "出力失敗"}},
        {"two names for one folder", {"d/a", "e/a"}, "", {"d/a", "e/a"}, {{"e/a.utf8", "d/a.utf8"}},
         {"成功", "出力失敗"}},
    };
    for (const ClashCase& c : cases) {
        fs.m_files.clear();
        for (const char* pszName : c.existing)
            fs.m_files[pszName] = pszName;
        fs.m_links = c.links;
        failures.clear();
        CConvertCommandLineInfo info;
        info.m_bAuto = true;
        info.m_listFiles.assign(c.inputs.begin(), c.inputs.end());
        info.m_nInputCharset = Charset::ShiftJis;
        info.m_nOutputCharset = Charset::Utf8;
        info.m_strOutputPattern = c.pszPattern;
        run.Run(info);
        std::size_t nFailed = 0;
        for (std::size_t i = 0; i < c.results.size(); ++i) {
            const std::string strOutput = CBatchRun::OutputName(c.pszPattern, c.inputs[i], Charset::Utf8);
            const std::string strLine = std::string(c.inputs[i]) + " <sjis> -> " + strOutput + " <utf8|CRLF> ";
            EXPECT_NE(run.m_strReport.find(strLine + c.results[i]), std::string::npos) << c.pszCase << ": " << strLine;
            nFailed += std::string(c.results[i]) != "成功";
            // A refused output leaves the file that was there.
            const std::string strFile = fs.Resolve(strOutput);
            if (std::string(c.results[i]) == "出力失敗" &&
                std::find(c.existing.begin(), c.existing.end(), strFile) != c.existing.end()) {
                EXPECT_EQ(fs.m_files[strFile], strFile) << c.pszCase;
            }
        }
        EXPECT_EQ(failures.size(), nFailed) << c.pszCase;
        if (!failures.empty()) {
            EXPECT_NE(failures[0].find(": not replaced: "), std::string::npos) << failures[0];
        }
    }
}

// Files side by side, their outputs committed on threads of their own, give
// the one-thread run: the same report, reasons and files, failed commits
// included.
TEST_F(BatchRun, FilesSideBySideGiveTheOneThreadRun)
{
    CConvertCommandLineInfo info;
    info.m_bAuto = true;
    info.m_nInputCharset = Charset::ShiftJis;
    info.m_nOutputCharset = Charset::Utf8;
    info.m_strOutputPattern = "%SOURCE%";
    for (int k = 0; k < 12; ++k)
        info.m_listFiles.push_back("f" + std::to_string(k));
    std::vector<std::string> reports;
    std::vector<std::vector<std::string>> reasons;
    std::vector<std::map<std::string, Bytes>> contents;
    for (const int nThreads : {1, 4}) {
        fs.m_files.clear();
        for (const std::string& strName : info.m_listFiles)
            fs.m_files[strName] = "\x82\xa0" + strName;
        fs.m_files.erase("f5");        // cannot be read
        fs.m_failWrites = {"f3"};      // fails as it is put in place
        fs.m_beforeWrite = [this](const std::string& strPath) {
            if (strPath == "f7")
                fs.m_files["f7"] += "+"; // changed by someone else meanwhile
        };
        failures.clear();
        run.m_nThreads = nThreads;
        run.Run(info);
        reports.push_back(run.GetReportText());
        reasons.push_back(failures);
        contents.push_back(fs.m_files);
    }
    EXPECT_EQ(reports[1], reports[0]);
    EXPECT_EQ(reasons[1], reasons[0]);
    EXPECT_EQ(contents[1], contents[0]);
    EXPECT_EQ(reports[0].substr(0, std::string("変換を完了しました(9/12)").size()), "変換を完了しました(9/12)");
    for (const char* pszLine : {"\nf3 <sjis> -> f3 <utf8|CRLF> 出力失敗", "\nf5 <sjis> -> f5 <utf8|CRLF> 入力失敗",
                                "\nf7 <sjis> -> f7 <utf8|CRLF> 出力失敗", "\nf0 <sjis> -> f0 <utf8|CRLF> 成功"})
        EXPECT_NE(reports[0].find(pszLine), std::string::npos) << pszLine;
    EXPECT_EQ(contents[0]["f3"], "\x82\xa0" "f3");
    EXPECT_EQ(contents[0]["f0"], "\xe3\x81\x82" "f0");
}

TEST_F(BatchRun, NamesAreShownEscapedAndEveryFailureIsExplained)
{
    // A name must not be able to forge a report line or steer the terminal.
    CConvertCommandLineInfo info = Files({"a\nb <sjis> -> b.sjis <sjis|CRLF> 成功", "t\tx", "e\x1b[2J", "c\xc2\x9b"});
    run.Run(info);
    EXPECT_EQ(run.m_strReport, "\na\\nb <sjis> -> b.sjis <sjis|CRLF> 成功 <sjis> -> a\\nb <sjis> -> b.sjis <sjis|CRLF> "
                               "成功.sjis <sjis|CRLF> 入力失敗"
                               "\nt\\tx <sjis> -> t\\tx.sjis <sjis|CRLF> 入力失敗"
                               "\ne\\x1b[2J <sjis> -> e\\x1b[2J.sjis <sjis|CRLF> 入力失敗"
                               "\nc\\xc2\\x9b <sjis> -> c\\xc2\\x9b.sjis <sjis|CRLF> 入力失敗");
    ASSERT_EQ(failures.size(), 4u);
    EXPECT_EQ(failures[1], "mojiro: t\\tx: No such file or directory");
}

TEST_F(BatchRun, ReplacesAnInputInPlaceOnlyIfUnchangedSinceItWasRead)
{
    // Another process changes the input between its read and the write.
    const std::pair<const char*, Bytes> cases[] = {{"", "1\r\n"}, {"2\n", "1\n2\n"}};
    for (const auto& [pszAppended, content] : cases) {
        fs.m_files = {{"a", "1\n"}};
        fs.m_beforeWrite = [&](const std::string& strPath) { fs.m_files[strPath] += pszAppended; };
        CConvertCommandLineInfo info = Files({"a"});
        info.m_nInputCharset = Charset::ShiftJis;
        info.m_strOutputPattern = "%SOURCE%";
        run.Run(info);
        EXPECT_EQ(fs.m_files["a"], content);
        EXPECT_EQ(run.AllWritten(), *pszAppended == '\0') << run.m_strReport;
    }
    EXPECT_EQ(failures, (std::vector<std::string>{"mojiro: a: changed since it was read; left as it is"}));
}

// Counts live bytes and can refuse large blocks, standing in for a file that
// does not fit in memory.
struct CountingAllocator {
    static inline std::int64_t s_nLive = 0;
    static inline std::size_t s_nLimit = SIZE_MAX;
    static void* Allocate(std::size_t n)
    {
        if (n > s_nLimit)
            return nullptr;
        void* p = std::malloc(n);
        if (p != nullptr)
            s_nLive += static_cast<std::int64_t>(n);
        return p;
    }
    static void* Shrink(void* p, std::size_t nOld, std::size_t nNew)
    {
        void* q = std::realloc(p, nNew);
        if (q != nullptr)
            s_nLive += static_cast<std::int64_t>(nNew) - static_cast<std::int64_t>(nOld);
        return q;
    }
    static void Release(void* p, std::size_t n)
    {
        s_nLive -= static_cast<std::int64_t>(n);
        std::free(p);
    }
    static constexpr BlockAllocator kAllocator = {Allocate, Shrink, Release};
};

struct BatchRunMemory : Fixture {
    void SetUp() override
    {
        CountingAllocator::s_nLive = 0;
        CountingAllocator::s_nLimit = SIZE_MAX;
        SetBlockAllocator(&CountingAllocator::kAllocator);
    }
    void TearDown() override { SetBlockAllocator(nullptr); }
};

TEST_F(BatchRunMemory, EveryBufferOfAFileIsGoneBeforeTheNextIsRead)
{
    std::vector<std::int64_t> liveAtRead;
    fs.m_onRead = [&](const std::string&) { liveAtRead.push_back(CountingAllocator::s_nLive); };
    fs.m_files["a"] = std::string(10000, 'a');
    fs.m_files["b"] = "b\n";
    fs.m_files["c"] = "c";
    CConvertCommandLineInfo info = Files({"a", "missing", "b", "c"});
    info.m_nOutputCharset = 3;
    run.Run(info);
    EXPECT_EQ(liveAtRead, (std::vector<std::int64_t>{0, 0, 0, 0}));
    EXPECT_EQ(CountingAllocator::s_nLive, 0);
}

TEST_F(BatchRunMemory, AllocationFailureInTheConversionFailsOnlyThatFile)
{
    // The input fits; a work buffer of the conversion does not.
    CountingAllocator::s_nLimit = 64 * 1024;
    fs.m_files["big"] = std::string(60 * 1024, 'x');
    fs.m_files["small"] = "y";
    CConvertCommandLineInfo info = Files({"big", "small"});
    info.m_nInputCharset = 4;
    info.m_nOutputCharset = 3;
    run.Run(info);
    EXPECT_EQ(run.GetReportText(), "変換を完了しました(1/2)\n\n"
                                   "\nbig <utf8> -> big.uni <uni|CRLF> 変換失敗"
                                   "\nsmall <utf8> -> small.uni <uni|CRLF> 成功");
    EXPECT_EQ(fs.m_files.count("big.uni"), 0u);
    EXPECT_EQ(fs.m_files["small.uni"], Bytes("\xff\xfey\0", 4));
    EXPECT_EQ(CountingAllocator::s_nLive, 0);
}

} // namespace

namespace {

// What was replaced is told once for each file it happened in, in the
// report's order, on one thread and side by side; the result stays 成功.
TEST_F(BatchRun, NoticesTellWhatWasReplaced)
{
    for (const int nThreads : {1, 3}) {
        SCOPED_TRACE(nThreads);
        fs.m_files["clean"] = "\xE3\x81\x82\n";
        fs.m_files["emoji"] = "a\xF0\x9F\x98\x80" "b\n";
        fs.m_files["broken"] = "x\ny\xFF\n";
        fs.m_files["both"] = "\xC3\xA9\n\xFF";
        CConvertCommandLineInfo info = Files({"clean", "emoji", "broken", "both"});
        info.m_nInputCharset = Charset::Utf8;
        info.m_nOutputCharset = Charset::ShiftJis;
        strSubstitute = "\xE3\x80\x93\xE3\x80\x93"; // 〓〓: its first character is written
        run.m_nThreads = nThreads;
        run.Run(info);
        EXPECT_TRUE(run.AllWritten());
        EXPECT_EQ(run.Notices(),
                  (std::vector<std::string>{
                      "mojiro: emoji: 1 character has no form in Shift_JIS and became \"〓\" (the first, U+1F600, at "
                      "line 1, column 2)",
                      "mojiro: broken: 1 ill-formed sequence replaced by \"〓\" (the first, byte 0xFF, at line 2, "
                      "column 2)",
                      "mojiro: both: 1 character has no form in Shift_JIS and became \"〓\" (the first, U+00E9, at "
                      "line 1, column 1); 1 ill-formed sequence replaced by \"〓\" (the first, byte 0xFF, at line 2)",
                  }));
        EXPECT_EQ(fs.m_files["emoji.sjis"], "a\x81\xAC" "b\r\n");
    }
    strSubstitute = "";
    fs.m_files["emoji"] = "a\xF0\x9F\x98\x80" "b";
    CConvertCommandLineInfo info = Files({"emoji"});
    info.m_nInputCharset = Charset::Utf8;
    info.m_nOutputCharset = Charset::Unicode;
    run.Run(info);
    EXPECT_TRUE(run.Notices().empty()); // Unicode holds every character
    info.m_nOutputCharset = Charset::EucJp;
    run.Run(info);
    EXPECT_EQ(run.Notices(), (std::vector<std::string>{"mojiro: emoji: 1 character has no form in EUC-JP and was "
                                                       "dropped (the first, U+1F600, at line 1, column 2)"}));
}

} // namespace
