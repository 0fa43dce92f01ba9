// Runs the built program the way a user does: in a scratch folder, with its
// settings in that folder and no display, so the report arrives on stdout.
#include "app/convert_app.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "convert/text_converter.h"
#include "framework/url_opener.h"
#include "tests/support/xvfb_server.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Bytes = std::string;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

std::string ProgramPath()
{
    if (const char* pszDir = std::getenv("MOJIRO_BINARY_DIR"))
        return std::string(pszDir) + "/app/mojiro";
    return MOJIRO_PROGRAM;
}

Bytes ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFile(const fs::path& path, const Bytes& content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

struct Limits {
    rlim_t nFileSize = RLIM_INFINITY;
    rlim_t nAddressSpace = RLIM_INFINITY;
    std::vector<std::string> extraEnv{}; // NAME=value, added to the program's environment
    int nStdoutFd = -1;                 // standard output instead of the capture file
    int nStdinFd = -1;                  // standard input, when given
    int nStderrFd = -1;                 // standard error instead of the capture file
    std::vector<int> closedFds{};       // closed before the program starts
};

struct Result {
    Bytes strOut;
    Bytes strErr;
    int nExit = -1; // -2: still running at the deadline, then killed
};

class ConvertApp : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string strTemplate = (fs::temp_directory_path() / "mojiro-app-XXXXXX").string();
        ASSERT_NE(::mkdtemp(strTemplate.data()), nullptr);
        m_dir = strTemplate;
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::permissions(m_dir, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(m_dir, ec);
    }

    fs::path Path(const std::string& strName) const { return m_dir / strName; }
    fs::path SettingsFile() const { return m_dir / "config" / "Tarnwell Software" / "mojiro.ini"; }

    void WriteSettings(const Bytes& content) const
    {
        fs::create_directories(SettingsFile().parent_path());
        WriteFile(SettingsFile(), content);
    }

    // Everything in the folder except the settings.
    std::vector<std::string> Listing() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_dir)) {
            if (entry.path().filename() != "config")
                names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    // Starts the program; Wait collects its exit status and output.
    pid_t Start(const std::vector<std::string>& args, const Limits& limits = {}) const
    {
        std::vector<std::string> env;
        const auto given = [&](const std::string& strName) {
            for (const std::string& strExtra : limits.extraEnv) {
                if (strExtra.substr(0, strExtra.find('=')) == strName)
                    return true;
            }
            return false;
        };
        for (char** p = environ; *p != nullptr; ++p) {
            const std::string strVar = *p;
            const std::string strName = strVar.substr(0, strVar.find('='));
            if (strName != "DISPLAY" && strName != "WAYLAND_DISPLAY" && strName != "HOME" &&
                strName != "XDG_CONFIG_HOME" && strName != "QT_QPA_PLATFORM" && !given(strName))
                env.push_back(strVar);
        }
        env.push_back("HOME=" + m_dir.string());
        env.push_back("XDG_CONFIG_HOME=" + (m_dir / "config").string());
        env.insert(env.end(), limits.extraEnv.begin(), limits.extraEnv.end());
        const std::string strProgram = ProgramPath();
        std::vector<std::string> argvStore = {strProgram};
        argvStore.insert(argvStore.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& s : argvStore)
            argv.push_back(s.data());
        argv.push_back(nullptr);
        std::vector<char*> envp;
        for (std::string& s : env)
            envp.push_back(s.data());
        envp.push_back(nullptr);

        const fs::path outPath = OutputPath();
        const fs::path errPath = ErrorPath();
        const pid_t pid = ::fork();
        if (pid == 0) {
            const int fd = limits.nStdoutFd >= 0 ? limits.nStdoutFd
                                                 : ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(fd, 1);
            ::close(fd);
            if (limits.nStdinFd >= 0) {
                ::dup2(limits.nStdinFd, 0);
                ::close(limits.nStdinFd);
            }
            const int fdErr = limits.nStderrFd >= 0 ? limits.nStderrFd
                                                    : ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(fdErr, 2);
            ::close(fdErr);
            for (const int fdClosed : limits.closedFds)
                ::close(fdClosed);
            if (::chdir(m_dir.c_str()) != 0)
                ::_exit(127);
            const rlimit fsize = {limits.nFileSize, limits.nFileSize};
            const rlimit as = {limits.nAddressSpace, limits.nAddressSpace};
            if (limits.nFileSize != RLIM_INFINITY)
                ::setrlimit(RLIMIT_FSIZE, &fsize);
            if (limits.nAddressSpace != RLIM_INFINITY)
                ::setrlimit(RLIMIT_AS, &as);
            ::execve(strProgram.c_str(), argv.data(), envp.data());
            ::_exit(127);
        }
        return pid;
    }

    // A program still running after nSeconds is killed and gets -2.
    Result Wait(pid_t pid, int nSeconds = 0) const
    {
        Result result;
        int nStatus = 0;
        bool bKilled = false;
        for (int i = 0; pid > 0 && nSeconds > 0 && ::waitpid(pid, &nStatus, WNOHANG) == 0; ++i) {
            if (i >= nSeconds * 20) {
                ::kill(pid, SIGKILL);
                bKilled = true;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (pid > 0 && (nSeconds == 0 || bKilled) && ::waitpid(pid, &nStatus, 0) != pid)
            nStatus = -1;
        if (pid > 0)
            result.nExit = bKilled ? -2 : WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : 128 + WTERMSIG(nStatus);
        result.strOut = ReadFile(OutputPath());
        result.strErr = ReadFile(ErrorPath());
        fs::remove(OutputPath());
        fs::remove(ErrorPath());
        return result;
    }

    Result Run(const std::vector<std::string>& args, const Limits& limits = {}) const
    {
        return Wait(Start(args, limits));
    }

    fs::path OutputPath() const { return m_dir.parent_path() / (m_dir.filename().string() + ".stdout"); }
    fs::path ErrorPath() const { return m_dir.parent_path() / (m_dir.filename().string() + ".stderr"); }

    fs::path m_dir;
};

const char* const kHeading = "変換を完了しました";

TEST_F(ConvertApp, ReportOfAnEmptyRun)
{
    const Result r = Run({"/AUTO"});
    EXPECT_EQ(r.strOut, std::string(kHeading) + "(0/0)\n\n\n"); // the box text, then the terminal's line feed
    EXPECT_EQ(r.nExit, 2); // nothing to do is not success: the names were likely taken for switches
}

TEST_F(ConvertApp, WithoutBatchSwitchNoFileIsTouched)
{
    WriteFile(Path("a.txt"), "x");
    const Result r = Run({"a.txt", "/OUTF-8"});
    EXPECT_GE(r.nExit, 0);
    EXPECT_LT(r.nExit, 128); // ended, not killed
    EXPECT_EQ(Listing(), (std::vector<std::string>{"a.txt"}));
}

// The windows live in a library the program loads; a program that cannot
// find or bind it would end at once instead of showing the main dialog.
TEST_F(ConvertApp, WithoutBatchSwitchTheMainDialogStaysOpen)
{
    WriteFile(Path("a.txt"), "x");
    Limits limits;
    limits.extraEnv = {"QT_QPA_PLATFORM=offscreen"};
    const pid_t pid = Start({"a.txt"}, limits);
    ASSERT_GT(pid, 0);
    bool bEnded = false;
    for (int i = 0; i < 40 && !bEnded; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        bEnded = ::waitpid(pid, nullptr, WNOHANG) == pid;
    }
    if (!bEnded)
        ::kill(pid, SIGKILL);
    const Result r = Wait(bEnded ? -1 : pid);
    EXPECT_FALSE(bEnded) << r.strOut;
}

TEST_F(ConvertApp, DefaultsAndTheExactReport)
{
    WriteFile(Path("a.txt"), "\x82\xa0\n");
    WriteFile(Path("b.txt"), "\xa4\xb3\xa4\xf3\xa4\xcb\xa4\xc1\xa4\xcf\r");
    const Result r = Run({"/AUTO", "a.txt", "b.txt"});
    EXPECT_EQ(r.strOut, std::string(kHeading) +
                            "(2/2)\n\n"
                            "\na.txt <sjis> -> a.txt.sjis <sjis|CRLF> 成功"
                            "\nb.txt <euc> -> b.txt.sjis <sjis|CRLF> 成功\n");
    EXPECT_EQ(ReadFile(Path("a.txt.sjis")), "\x82\xa0\r\n");
    EXPECT_EQ(ReadFile(Path("b.txt.sjis")), "\x82\xb1\x82\xf1\x82\xc9\x82\xbf\x82\xcd\r\n");

    const Result euc = Run({"/AUTO", "/OEUC-JP", "a.txt"});
    EXPECT_EQ(euc.strOut, std::string(kHeading) + "(1/1)\n\n\na.txt <sjis> -> a.txt.euc <euc|LF> 成功\n");
    EXPECT_EQ(ReadFile(Path("a.txt.euc")), "\xa4\xa2\n");
}

TEST_F(ConvertApp, ReportOffWritesEverythingAndPrintsNothing)
{
    WriteFile(Path("a"), "x");
    const Result r = Run({"/AUTO", "/Roff", "/OUnicode", "a"});
    EXPECT_EQ(r.strOut, "");
    EXPECT_EQ(r.nExit, 0);
    EXPECT_EQ(ReadFile(Path("a.uni")), Bytes("\xff\xfex\0", 4));
}

struct PatternCase {
    const char* pszPattern;
    std::vector<std::string> expectedFiles;
    const char* pszLine2;
};

TEST_F(ConvertApp, OutputPatterns)
{
    const PatternCase cases[] = {
        {"/F%SOURCE%-%SUFFIX%.%SUFFIX%", {"a", "a-utf8.utf8", "b", "b-utf8.utf8"}, "b <sjis> -> b-utf8.utf8 <utf8|CRLF> 成功"},
        {"/Fsame.txt", {"a", "b", "same.txt"}, "b <sjis> -> same.txt <utf8|CRLF> 出力失敗"}, // a's stays
        {"/F", {"a", "a.utf8", "b", "b.utf8"}, "b <sjis> -> b.utf8 <utf8|CRLF> 成功"},
    };
    for (const PatternCase& c : cases) {
        for (const std::string& strName : Listing())
            fs::remove(Path(strName));
        WriteFile(Path("a"), "1");
        WriteFile(Path("b"), "2");
        const Result r = Run({"/AUTO", "/SShift_JIS", "/OUTF-8", c.pszPattern, "a", "b"});
        EXPECT_EQ(Listing(), c.expectedFiles) << c.pszPattern;
        EXPECT_NE(r.strOut.find(c.pszLine2), std::string::npos) << r.strOut;
    }
    EXPECT_EQ(ReadFile(Path("b.utf8")), "2");
}

TEST_F(ConvertApp, SourcePatternReplacesEachInputAndKeepsItsMode)
{
    WriteFile(Path("a.txt"), "\x82\xa0\r\n");
    WriteFile(Path("b.txt"), "\x82\xa2\r\n");
    ::chmod(Path("a.txt").c_str(), 0640);
    const Result r = Run({"/AUTO", "/OUTF-8", "/NLF", "/F%SOURCE%", "a.txt", "b.txt"});
    EXPECT_EQ(r.nExit, 0);
    EXPECT_EQ(ReadFile(Path("a.txt")), "\xe3\x81\x82\n");
    EXPECT_EQ(ReadFile(Path("b.txt")), "\xe3\x81\x84\n");
    struct stat st;
    ASSERT_EQ(::stat(Path("a.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(Listing(), (std::vector<std::string>{"a.txt", "b.txt"})); // no temporary file left
}

struct MarkCase {
    std::vector<std::string> args;
    Bytes input;
    Bytes output;
};

TEST_F(ConvertApp, ByteOrderMarks)
{
    const MarkCase cases[] = {
        {{"/SUnicode", "/OUTF-8"}, Bytes("\xff\xfe\x42\x30", 4), "\xe3\x81\x82"},
        {{"/SUnicode", "/OUnicode"}, Bytes("\xff\xfe\x42\x30", 4), Bytes("\xff\xfe\x42\x30", 4)},
        {{"/SUnicode", "/OUnicode"}, Bytes("\xff", 1), Bytes("\xff\xfe\xff", 3)},
        {{"/SUTF-8", "/OUnicode"}, "", Bytes("\xff\xfe", 2)},
        {{"/SUTF-8", "/OUnicode"}, "\xef\xbb\xbf", Bytes("\xff\xfe", 2)},
        // Without /S the marks are detected too.
        {{"/OShift_JIS"}, Bytes("\xff\xfe\x41\x00", 4), "A"},
        {{"/OUnicode"}, "\xef\xbb\xbf\xe3\x81\x82", Bytes("\xff\xfe\x42\x30", 4)},
    };
    for (const MarkCase& c : cases) {
        WriteFile(Path("in"), c.input);
        std::vector<std::string> args = {"/AUTO", "/Roff", "/Fout"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        args.push_back("in");
        const Result r = Run(args);
        EXPECT_EQ(ReadFile(Path("out")), c.output) << ::testing::PrintToString(c.args);
    }
}

TEST_F(ConvertApp, UnwritableOutputCountsAsTotalNotSuccess)
{
    for (const char* pszName : {"a", "b", "c"})
        WriteFile(Path(pszName), pszName);
    fs::create_directory(Path("b.sjis")); // cannot be replaced by a file
    const Result r = Run({"/AUTO", "a", "b", "c"});
    EXPECT_EQ(r.strOut, std::string(kHeading) +
                            "(2/3)\n\n"
                            "\na <sjis> -> a.sjis <sjis|CRLF> 成功"
                            "\nb <sjis> -> b.sjis <sjis|CRLF> 出力失敗"
                            "\nc <sjis> -> c.sjis <sjis|CRLF> 成功\n");
    EXPECT_EQ(r.nExit, 1);
    EXPECT_EQ(Listing(), (std::vector<std::string>{"a", "a.sjis", "b", "b.sjis", "c", "c.sjis"}));
}

TEST_F(ConvertApp, MissingFolderAndUnreadableInputs)
{
    WriteFile(Path("a"), "a");
    fs::create_directory(Path("dir"));
    const Result r = Run({"/AUTO", "/SEUC-JP", "/Fnowhere/%SOURCE%", "missing", "dir", "a"});
    EXPECT_EQ(r.strOut, std::string(kHeading) +
                            "(0/3)\n\n"
                            "\nmissing <euc> -> nowhere/missing <sjis|CRLF> 入力失敗"
                            "\ndir <euc> -> nowhere/dir <sjis|CRLF> 入力失敗"
                            "\na <euc> -> nowhere/a <sjis|CRLF> 出力失敗\n");
    EXPECT_EQ(r.nExit, 1);
    const Result undetected = Run({"/AUTO", "missing"});
    EXPECT_NE(undetected.strOut.find("\nmissing <sjis> -> missing.sjis <sjis|CRLF> 入力失敗"), std::string::npos);
}

TEST_F(ConvertApp, FullDiskLeavesTheOldFileAndNoTemporary)
{
    const Bytes big(20000, 'x');
    WriteFile(Path("big"), big);
    WriteFile(Path("big.sjis"), "old content");
    WriteFile(Path("small"), "s");
    // A file-size limit stands in for a full disk; the write fails with EFBIG.
    const Result r = Run({"/AUTO", "big", "small", "big"}, Limits{.nFileSize = 4096, .extraEnv = {}});
    EXPECT_EQ(r.strOut, std::string(kHeading) +
                            "(1/3)\n\n"
                            "\nbig <sjis> -> big.sjis <sjis|CRLF> 出力失敗"
                            "\nsmall <sjis> -> small.sjis <sjis|CRLF> 成功"
                            "\nbig <sjis> -> big.sjis <sjis|CRLF> 出力失敗\n");
    EXPECT_EQ(r.nExit, 1);
    EXPECT_EQ(ReadFile(Path("big.sjis")), "old content");
    EXPECT_EQ(ReadFile(Path("small.sjis")), "s");
    EXPECT_EQ(Listing(), (std::vector<std::string>{"big", "big.sjis", "small", "small.sjis"}));
}

TEST_F(ConvertApp, FilesLargerThanMemoryConvertInFixedMemory)
{
    if (kSanitized)
        GTEST_SKIP() << "the sanitizer's shadow memory needs more address space than any limit allows";
    // A sparse file larger than the address space the program may have: it
    // is read and written a block at a time.
    const std::int64_t nHuge = std::int64_t{320} << 20;
    const int fd = ::open(Path("huge").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, nHuge), 0);
    ::close(fd);
    WriteFile(Path("small"), "s");
    const Result r = Run({"/AUTO", "/SShift_JIS", "/OShift_JIS", "huge", "small"},
                         Limits{.nAddressSpace = rlim_t{256} << 20, .extraEnv = {}});
    EXPECT_EQ(r.strOut, std::string(kHeading) +
                            "(2/2)\n\n"
                            "\nhuge <sjis> -> huge.sjis <sjis|CRLF> 成功"
                            "\nsmall <sjis> -> small.sjis <sjis|CRLF> 成功\n");
    EXPECT_EQ(r.nExit, 0);
    EXPECT_EQ(fs::file_size(Path("huge.sjis")), static_cast<std::uintmax_t>(nHuge));
}

// After --, "-" is standard input; its output goes to standard output
// unless /F names a file, and /F- sends any input there. The report then goes
// to standard error.
TEST_F(ConvertApp, StandardInputAndOutput)
{
    const Bytes sjis = "abc\xb1\r\n\x88\x9f\r\n";
    const Bytes utf8 = "abc\xef\xbd\xb1\r\n\xe4\xba\x9c\r\n";
    WriteFile(Path("a.sjis"), sjis);
    const struct {
        std::vector<std::string> args;
        Bytes stdinBytes;
        Bytes expectedOut;
        const char* pszFile; // the file the output should be in, if any
        Bytes expectedFile;
    } kCases[] = {
        {{"/SShift_JIS", "/OUTF-8", "--", "-"}, sjis, utf8, nullptr, ""},
        {{"/OShift_JIS", "--", "-"}, utf8, sjis, nullptr, ""}, // detected as UTF-8
        {{"/SShift_JIS", "/OUTF-8", "/F-", "--", "a.sjis"}, "", utf8, nullptr, ""},
        {{"/SShift_JIS", "/OUTF-8", "/Fpiped.txt", "--", "-"}, sjis, {}, "piped.txt", utf8},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        ASSERT_EQ(::write(fds[1], c.stdinBytes.data(), c.stdinBytes.size()), static_cast<ssize_t>(c.stdinBytes.size()));
        ::close(fds[1]);
        std::vector<std::string> args = {"/AUTO"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        Limits limits;
        limits.nStdinFd = fds[0];
        const pid_t pid = Start(args, limits);
        ::close(fds[0]);
        const Result r = Wait(pid);
        EXPECT_EQ(r.nExit, 0) << r.strErr;
        if (c.pszFile != nullptr) {
            EXPECT_EQ(ReadFile(Path(c.pszFile)), c.expectedFile);
            EXPECT_EQ(r.strOut.rfind(kHeading, 0), 0u) << "the report stays on standard output";
        } else {
            EXPECT_EQ(r.strOut, c.expectedOut);
            EXPECT_NE(r.strErr.find(std::string(kHeading) + "(1/1)"), std::string::npos) << r.strErr;
        }
    }
}

// Files converted side by side give the one-thread run: the same report in
// the order given, the same reasons, outputs and exit status; and a run where
// one file's output is another's input keeps the order of the files.
TEST_F(ConvertApp, ManyFilesOnThreadsAsOnOne)
{
    std::vector<std::string> names;
    for (int k = 0; k < 40; ++k) {
        std::string strName(1, 'f');
        strName += std::to_string(k);
        WriteFile(Path(strName), k % 3 == 0 ? "\x82\xa0\r\n" : k % 3 == 1 ? "\xa4\xa2\n" : "\xe3\x81\x82\n");
        names.push_back(strName);
    }
    names.insert(names.begin() + 5, "missing");
    fs::create_directory(Path("f7.utf8")); // cannot be replaced by a file
    std::vector<std::string> args = {"/AUTO", "/OUTF-8", "--"};
    args.insert(args.end(), names.begin(), names.end());
    std::vector<Result> results;
    std::vector<std::map<std::string, Bytes>> outputs;
    for (const char* pszThreads : {"MOJIRO_THREADS=1", "MOJIRO_THREADS=3"}) {
        results.push_back(Run(args, Limits{.extraEnv = {pszThreads}}));
        std::map<std::string, Bytes> files;
        for (const std::string& strName : Listing()) {
            if (strName.ends_with(".utf8") && fs::is_regular_file(Path(strName))) {
                files[strName] = ReadFile(Path(strName));
                fs::remove(Path(strName));
            }
        }
        outputs.push_back(files);
    }
    EXPECT_EQ(results[0].nExit, 1);
    EXPECT_EQ(results[1].nExit, results[0].nExit);
    EXPECT_EQ(results[1].strOut, results[0].strOut);
    EXPECT_EQ(results[1].strErr, results[0].strErr);
    EXPECT_EQ(outputs[1], outputs[0]);
    EXPECT_EQ(outputs[0].size(), 39u);

    // An output that a later file reads: the clash rule of the one-thread
    // run decides, whatever the threads.
    for (const char* pszName : {"a", "b", "c", "d", "bx"})
        WriteFile(Path(pszName), "\x82\xa0");
    const std::vector<std::string> clash = {"/AUTO", "/F%SOURCE%x", "--", "a", "b", "c", "d", "bx"};
    const Result one = Run(clash, Limits{.extraEnv = {"MOJIRO_THREADS=1"}});
    for (const char* pszName : {"ax", "bx", "cx", "dx", "bxx"})
        fs::remove(Path(pszName));
    WriteFile(Path("bx"), "\x82\xa0");
    const Result three = Run(clash, Limits{.extraEnv = {"MOJIRO_THREADS=3"}});
    EXPECT_NE(one.strOut.find("b <sjis> -> bx <sjis|CRLF> 出力失敗"), std::string::npos) << one.strOut;
    EXPECT_EQ(three.strOut, one.strOut);
    EXPECT_EQ(three.strErr, one.strErr);
}

struct SubstituteCase {
    const char* pszSettings; // null: no settings file
    Bytes output;
};

TEST_F(ConvertApp, SubstituteFromTheSettings)
{
    // U+AC00 has no Shift_JIS form.
    WriteFile(Path("in"), "a\xea\xb0\x80z");
    const SubstituteCase cases[] = {
        {nullptr, "a_z"},
        {"[Settings]\nstrUnmappableDefaultChar=?\n", "a?z"},
        {"[Settings]\nstrUnmappableDefaultChar=〓X\n", "a\x81\xacz"},
        {"[Settings]\nstrUnmappableDefaultChar=\n", "az"},
        {"[Other]\nstrUnmappableDefaultChar=?\n", "a_z"},
        // Damaged files read as all defaults.
        {"\x00\xff\xfe[[[=\n\x01\x02", "a_z"},
        {"[Settings\nstrUnmappableDefaultChar=?", "a_z"},
    };
    for (const SubstituteCase& c : cases) {
        fs::remove(SettingsFile());
        if (c.pszSettings != nullptr)
            WriteSettings(c.pszSettings);
        const Result r = Run({"/AUTO", "/SUTF-8", "/OShift_JIS", "/Fout", "in"});
        EXPECT_EQ(r.nExit, 0);
        EXPECT_EQ(ReadFile(Path("out")), c.output) << (c.pszSettings ? c.pszSettings : "(none)");
    }
}

// The loader's own list of what it mapped: a batch run that reads the
// substitute maps Qt Core and the settings library, any other run no Qt,
// and a run with no box to show never the widgets.
TEST_F(ConvertApp, BatchRunMapsOnlyTheLibrariesItUses)
{
    WriteFile(Path("in"), "abc\r\n");
    struct LoadCase {
        std::vector<std::string> args;
        bool bSettings;
    };
    const LoadCase cases[] = {
        {{"/AUTO", "/SUTF-8", "/OShift_JIS", "/Fout", "in"}, true},
        {{"/AUTO", "/SUnicode", "/OISO-2022-JP", "/Fout", "in"}, true},
        {{"/AUTO", "/SShift_JIS", "/OUTF-8", "/Fout", "in"}, false},
        {{"/AUTO", "/Fout", "in"}, false},
    };
    const fs::path logDir = Path("ld");
    for (const LoadCase& c : cases) {
        fs::create_directories(logDir);
        Limits limits;
        limits.extraEnv = {"LD_DEBUG=files", "LD_DEBUG_OUTPUT=" + (logDir / "log").string()};
        const Result r = Run(c.args, limits);
        EXPECT_EQ(r.nExit, 0);
        Bytes log;
        for (const auto& entry : fs::directory_iterator(logDir))
            log += ReadFile(entry.path());
        fs::remove_all(logDir);
        ASSERT_FALSE(log.empty()) << "the loader wrote no list";
        const std::string strWhat = c.args[1] + " " + c.args[2];
        EXPECT_EQ(log.find("mojiro-settings.so") != Bytes::npos, c.bSettings) << strWhat;
        EXPECT_EQ(log.find("libQt6Core") != Bytes::npos, c.bSettings) << strWhat;
        EXPECT_EQ(log.find("libQt6Widgets"), Bytes::npos) << strWhat;
        EXPECT_EQ(log.find("mojiro-windows.so"), Bytes::npos) << strWhat;
    }
}

TEST_F(ConvertApp, CorruptBinarySettingsFileNeverCrashes)
{
    Bytes garbage;
    for (int i = 0; i < 4096; ++i)
        garbage += static_cast<char>((i * 7919) & 0xFF);
    WriteSettings(garbage);
    WriteFile(Path("in"), "a\xea\xb0\x80");
    const Result r = Run({"/AUTO", "/SUTF-8", "/Fout", "in"});
    EXPECT_EQ(r.nExit, 0);
    EXPECT_EQ(ReadFile(Path("out")), "a_");
}

TEST_F(ConvertApp, NamesWithSpacesJapaneseAndAbsolutePaths)
{
    WriteFile(Path("my file.txt"), "1");
    WriteFile(Path("日本語 の名前.txt"), "2");
    const std::string strAbsolute = Path("abs.txt").string();
    WriteFile(strAbsolute, "3");
    const Result r = Run({"/AUTO", "/OUTF-8", "my file.txt", "日本語 の名前.txt", "--", strAbsolute, "-dash"});
    EXPECT_EQ(r.strOut, std::string(kHeading) + "(3/4)\n\n"
                            "\nmy file.txt <sjis> -> my file.txt.utf8 <utf8|CRLF> 成功"
                            "\n日本語 の名前.txt <sjis> -> 日本語 の名前.txt.utf8 <utf8|CRLF> 成功"
                            "\n" + strAbsolute + " <sjis> -> " + strAbsolute + ".utf8 <utf8|CRLF> 成功"
                            "\n-dash <sjis> -> -dash.utf8 <utf8|CRLF> 入力失敗\n");
    EXPECT_EQ(ReadFile(Path("日本語 の名前.txt.utf8")), "2");
    EXPECT_EQ(ReadFile(strAbsolute + ".utf8"), "3");
    // Without "--" an absolute path is a switch and nothing is converted.
    const Result bare = Run({"/AUTO", strAbsolute});
    EXPECT_EQ(bare.strOut, std::string(kHeading) + "(0/0)\n\n\n");
}

TEST_F(ConvertApp, WritesThroughASymbolicLink)
{
    WriteFile(Path("in"), "x");
    WriteFile(Path("real"), "old");
    fs::create_symlink("real", Path("link"));
    Run({"/AUTO", "/Roff", "/Flink", "in"});
    EXPECT_TRUE(fs::is_symlink(Path("link")));
    EXPECT_EQ(ReadFile(Path("real")), "x");
}

TEST_F(ConvertApp, InterruptDuringAWriteLeavesNoTemporary)
{
    const int fd = ::open(Path("big").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 64 << 20), 0); // sparse: cheap to make, long to write as UTF-16
    ::close(fd);
    const pid_t pid = Start({"/AUTO", "/Roff", "/SShift_JIS", "/OUnicode", "big"});
    // Where the file system allows, the temporary has no name: it shows only
    // among the program's open files.
    const auto writing = [&] {
        for (const std::string& strName : Listing()) {
            if (strName.find(".mojiro-") != std::string::npos)
                return true;
        }
        std::error_code error;
        for (const auto& entry : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
            if (fs::read_symlink(entry.path(), error).string().find("(deleted)") != std::string::npos)
                return true;
        }
        return false;
    };
    bool bSeen = false;
    for (int i = 0; i < 20000 && !bSeen; ++i) {
        bSeen = writing();
        if (!bSeen)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ::kill(pid, SIGTERM);
    const Result r = Wait(pid);
    if (!bSeen)
        GTEST_SKIP() << "the write ended before it could be interrupted";
    EXPECT_EQ(r.nExit, 128 + SIGTERM);
    const std::vector<std::string> names = Listing();
    EXPECT_TRUE(names == std::vector<std::string>{"big"} || names == (std::vector<std::string>{"big", "big.uni"}))
        << ::testing::PrintToString(names);
}

TEST_F(ConvertApp, HelpAndVersionNeedNoDisplayAndNoToolkit)
{
    struct HelpCase {
        std::vector<std::string> args;
        const char* pszExpected;
    };
    const HelpCase cases[] = {
        {{"--help"}, "Usage: mojiro "},
        {{"-h"}, "Usage: mojiro "},
        {{"/?"}, "Usage: mojiro "},
        {{"/AUTO", "/OUTF-8", "-h", "in"}, "Usage: mojiro "},
        {{"--version"}, "Mojiro " MOJIRO_PROJECT_VERSION " "},
        {{"-V"}, "Mojiro " MOJIRO_PROJECT_VERSION " "},
        {{"/AUTO", "-v", "in"}, "Mojiro " MOJIRO_PROJECT_VERSION " "},
    };
    WriteFile(Path("in"), "x");
    const fs::path logDir = Path("ld");
    for (const HelpCase& c : cases) {
        fs::create_directories(logDir);
        Limits limits;
        // A display that does not exist: nothing may try to open it.
        limits.extraEnv = {"DISPLAY=:4711", "LD_DEBUG=files", "LD_DEBUG_OUTPUT=" + (logDir / "log").string()};
        const Result r = Run(c.args, limits);
        const std::string strWhat = ::testing::PrintToString(c.args);
        EXPECT_EQ(r.nExit, 0) << strWhat;
        EXPECT_EQ(r.strOut.rfind(c.pszExpected, 0), 0u) << strWhat << "\n" << r.strOut;
        Bytes log;
        for (const auto& entry : fs::directory_iterator(logDir))
            log += ReadFile(entry.path());
        fs::remove_all(logDir);
        EXPECT_EQ(log.find("libQt6"), Bytes::npos) << strWhat;
    }
    EXPECT_EQ(Listing(), (std::vector<std::string>{"in"})); // nothing converted
    const Result usage = Run({"--help"});
    for (const char* pszPart : {"/AUTO", "/S", "/O", "/N", "/R", "/F", "--", "EUC-JP", "ISO-2022-JP", "Unicode",
                                "UTF-8", "Exit status", "Tarnwell Software/mojiro.ini"})
        EXPECT_NE(usage.strOut.find(pszPart), std::string::npos) << pszPart;
    EXPECT_NE(Run({"--version"}).strOut.find("Copyright (C) 2001 Tarnwell Software"), std::string::npos);
}

// The values' warnings are the parser's; here: they reach standard error,
// and a path taken for a switch is named, the run ending with status 2.
TEST_F(ConvertApp, WarningsOnStandardErrorLeaveTheRunAsItWas)
{
    WriteFile(Path("in"), "x");
    const std::string strAbsolute = Path("in").string();
    struct WarningCase {
        std::vector<std::string> args;
        const char* pszWarning; // null: nothing on standard error
        const char* pszLine;
        int nExit;
    };
    const std::string strFolderWarning = "folder but is taken as a switch; put -- before file names: mojiro /AUTO -- " +
                                         m_dir.string() + "/*\n";
    const WarningCase cases[] = {
        {{"/OUTF8", "--", "in"}, "\"UTF8\" names no encoding; Shift_JIS is used", "in <sjis> -> in.sjis <sjis|CRLF> 成功", 0},
        {{strAbsolute}, "put -- before file names", "(0/0)", 2},
        {{"--", strAbsolute}, nullptr, " 成功", 0},
        {{"-", "--", "in"}, "\"-\" before -- is taken as a switch, not as standard input; put -- first", " 成功", 0},
        // A folder is not converted: the suggestion names its files.
        {{m_dir.string(), "--", "in"}, strFolderWarning.c_str(), " 成功", 0},
    };
    for (const WarningCase& c : cases) {
        std::vector<std::string> args = {"/AUTO"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Result r = Run(args);
        const std::string strWhat = ::testing::PrintToString(c.args);
        EXPECT_EQ(r.nExit, c.nExit) << strWhat;
        EXPECT_NE(r.strOut.find(c.pszLine), std::string::npos) << strWhat << "\n" << r.strOut;
        const std::string strExpected = c.pszWarning != nullptr ? c.pszWarning : "";
        EXPECT_EQ(r.strErr.empty(), strExpected.empty()) << strWhat << "\n" << r.strErr;
        EXPECT_NE(r.strErr.find(strExpected), std::string::npos) << strWhat << "\n" << r.strErr;
    }
}

TEST_F(ConvertApp, AReportThatReachesNoOneFailsTheRun)
{
    WriteFile(Path("in"), "x");
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ::close(fds[0]); // no reader: the write meets a closed pipe
    const int fdFull = ::open("/dev/full", O_WRONLY);
    ASSERT_GE(fdFull, 0);
    for (const int fd : {fdFull, fds[1]}) {
        Limits limits;
        limits.nStdoutFd = fd;
        const Result r = Run({"/AUTO", "--", "in"}, limits);
        EXPECT_EQ(r.nExit, 1) << "fd " << fd;
        EXPECT_NE(r.strErr.find("standard output"), std::string::npos) << r.strErr;
    }
    ::close(fdFull);
    ::close(fds[1]);
}

TEST_F(ConvertApp, NothingWaitsForeverOnSettingsOrAnUnseenBox)
{
    WriteFile(Path("in"), "a\xea\xb0\x80z"); // needs the substitute
    fs::create_directories(SettingsFile().parent_path());
    ASSERT_EQ(::mkfifo(SettingsFile().c_str(), 0600), 0);
    const Result fifo = Wait(Start({"/AUTO", "/Roff", "/SUTF-8", "/Fout", "--", "in"}), 20);
    EXPECT_EQ(fifo.nExit, 0);
    EXPECT_EQ(ReadFile(Path("out")), "a_z");
    fs::remove(SettingsFile());

    // A display is set but the platform draws nowhere: the box could never be answered.
    Limits limits;
    limits.extraEnv = {"DISPLAY=:4711", "QT_QPA_PLATFORM=offscreen"};
    const Result unseen = Wait(Start({"/AUTO", "/Fout", "--", "in"}, limits), 30);
    EXPECT_EQ(unseen.nExit, 0);
    EXPECT_EQ(unseen.strOut.rfind(std::string(kHeading) + "(1/1)", 0), 0u) << unseen.strOut;
}

// The real program on a real display: boxes and pickers are answered with
// the keyboard, and the exit status must be the documented one.
TEST_F(ConvertApp, ExitStatusAfterBoxesAndPickersOnARealDisplay)
{
    if (!xtest::ProgramsExist({"Xvfb", "xdotool"}))
        GTEST_SKIP() << "needs Xvfb and xdotool (tools/install-deps.sh installs them)";
    const xtest::XvfbServer server;
    ASSERT_FALSE(server.Display().empty()) << "Xvfb did not start";
    WriteFile(Path("a.txt"), "\x82\xa0");
    struct Step {
        std::size_t nWindows; // visible windows to wait for
        const char* pszKeys;  // typed into the newest of them
    };
    struct DisplayCase {
        std::vector<std::string> args;
        std::vector<Step> steps;
        int nExit;
    };
    const DisplayCase cases[] = {
        {{"/AUTO", "/OUTF-8", "--", "a.txt"}, {{1, "Return"}}, 0},
        {{"/AUTO", "--", "missing"}, {{1, "Return"}}, 1},
        // The main dialog, its open-file picker, then both closed.
        {{"a.txt"}, {{1, "alt+r"}, {2, "Escape"}, {1, "Escape"}}, 0},
    };
    for (const DisplayCase& c : cases) {
        Limits limits;
        // The session bus library keeps what it allocated to the end; in a
        // sanitizer build the leak checker would turn that into status 1.
        limits.extraEnv = {"DISPLAY=" + server.Display(), "XDG_RUNTIME_DIR=" + m_dir.string(),
                           "LSAN_OPTIONS=suppressions=" + (m_dir / "lsan.supp").string()};
        WriteFile(m_dir / "lsan.supp", "leak:libdbus-1.so\nleak:libfontconfig.so\n");
        fs::permissions(m_dir, fs::perms::owner_all, fs::perm_options::replace);
        const pid_t pid = Start(c.args, limits);
        const std::string strWhat = ::testing::PrintToString(c.args);
        for (const Step& step : c.steps) {
            const std::vector<unsigned long> windows = server.WaitForWindows(step.nWindows, std::chrono::seconds(30));
            EXPECT_EQ(windows.size(), step.nWindows) << strWhat << " before " << step.pszKeys;
            if (!windows.empty())
                server.Type(windows.back(), step.pszKeys);
        }
        const Result r = Wait(pid, 30);
        EXPECT_EQ(r.nExit, c.nExit) << strWhat << "\n" << r.strErr;
        EXPECT_EQ(r.strOut, "") << strWhat; // the report was the box
    }
    EXPECT_EQ(ReadFile(Path("a.txt.utf8")), "\xe3\x81\x82");
    fs::remove(m_dir / "lsan.supp");
}

// Clashes through a folder link or a dangling link are found whatever the
// threads: one rule, and one report, byte for byte.
TEST_F(ConvertApp, ClashesThroughLinksAreTheSameOnEveryThreadCount)
{
    struct LinkCase {
        const char* pszCase;
        std::function<void()> make;
        std::vector<std::string> args;
        const char* pszRefused; // the line that must say 出力失敗
        const char* pszOutput;  // the file the first input wrote, whole
        Bytes expected;
    };
    const LinkCase cases[] = {
        {"a folder link",
         [this] {
             fs::create_directories(Path("x"));
             fs::create_directories(Path("y"));
             fs::create_directories(Path("out/y"));
             fs::create_directory_symlink("y", Path("out/x"));
             WriteFile(Path("x/f"), "XXXX\n");
             WriteFile(Path("y/f"), "YYYY\n");
             WriteFile(Path("g1"), "1\n");
             WriteFile(Path("g2"), "2\n");
         },
         {"/AUTO", "/OUTF-8", "/NLF", "/Fout/%SOURCE%", "--", "x/f", "y/f", "g1", "g2"},
         "y/f <sjis> -> out/y/f <utf8|LF> 出力失敗", "out/y/f", "XXXX\n"},
        {"a dangling link",
         [this] {
             fs::create_symlink("a.utf8", Path("b.utf8"));
             for (const char* pszName : {"a", "b", "p1", "p2", "p3"})
                 WriteFile(Path(pszName), pszName);
         },
         {"/AUTO", "/OUTF-8", "--", "a", "b", "p1", "p2", "p3"}, "b <sjis> -> b.utf8 <utf8|CRLF> 出力失敗", "a.utf8",
         "a"},
    };
    for (const LinkCase& c : cases) {
        std::vector<Result> results;
        for (const char* pszThreads : {"MOJIRO_THREADS=1", "MOJIRO_THREADS=4"}) {
            for (const std::string& strName : Listing())
                fs::remove_all(Path(strName));
            c.make();
            results.push_back(Run(c.args, Limits{.extraEnv = {pszThreads}}));
            EXPECT_EQ(ReadFile(Path(c.pszOutput)), c.expected) << c.pszCase << " " << pszThreads;
        }
        EXPECT_EQ(results[0].nExit, 1) << c.pszCase;
        EXPECT_NE(results[0].strOut.find(c.pszRefused), std::string::npos) << c.pszCase << "\n" << results[0].strOut;
        EXPECT_EQ(results[1].strOut, results[0].strOut) << c.pszCase;
        EXPECT_EQ(results[1].strErr, results[0].strErr) << c.pszCase;
        EXPECT_EQ(results[1].nExit, results[0].nExit) << c.pszCase;
    }
}

// Only a pattern that names the input replaces it: a symbolic or hard link
// to it as the output is refused and the input stays as it was.
TEST_F(ConvertApp, AnOutputLinkedToItsInputLeavesTheInput)
{
    const Bytes emoji = "\xf0\x9f\x98\x80\n"; // no Shift_JIS form: it would be lost
    const struct {
        const char* pszLink;
        bool bSymbolic;
        std::vector<std::string> args;
    } cases[] = {
        {"a.sjis", true, {"/AUTO", "/OShift_JIS", "--", "a"}},
        {"hard", false, {"/AUTO", "/OShift_JIS", "/Fhard", "--", "a"}},
        {"./a", false, {"/AUTO", "/OShift_JIS", "/F./a.sjis", "--", "a"}}, // a.sjis, as another text
    };
    for (const auto& c : cases) {
        for (const std::string& strName : Listing())
            fs::remove(Path(strName));
        WriteFile(Path("a"), emoji);
        if (c.bSymbolic)
            fs::create_symlink("a", Path(c.pszLink));
        else if (std::string(c.pszLink) == "hard")
            fs::create_hard_link(Path("a"), Path(c.pszLink));
        else
            fs::create_symlink("a", Path("a.sjis"));
        const Result r = Run(c.args);
        EXPECT_EQ(r.nExit, 1) << c.pszLink;
        EXPECT_NE(r.strOut.find(" 出力失敗"), std::string::npos) << c.pszLink << "\n" << r.strOut;
        EXPECT_NE(r.strErr.find("input under another name"), std::string::npos) << r.strErr;
        EXPECT_EQ(ReadFile(Path("a")), emoji) << c.pszLink;
    }
    fs::remove(Path("a.sjis"));
    const Result inPlace = Run({"/AUTO", "/OShift_JIS", "/F%SOURCE%", "--", "a"});
    EXPECT_NE(inPlace.strOut.find("a <utf8> -> a <sjis|CRLF> 成功"), std::string::npos) << inPlace.strOut;
}

// Where standard output was to carry converted text, the report goes to
// standard error whatever became of the conversion.
TEST_F(ConvertApp, TheReportNeverJoinsTheConvertedText)
{
    WriteFile(Path("in"), "x");
    const int fdFolder = ::open(m_dir.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fdFolder, 0);
    const struct {
        const char* pszCase;
        std::vector<std::string> args;
        int nStdin;     // -1: closed
        const char* pszLine;
    } cases[] = {
        {"standard input closed", {"/AUTO", "/OUTF-8", "--", "-"}, -1, "- <sjis> -> - <utf8|CRLF> 成功"},
        {"a folder as standard input", {"/AUTO", "/OUTF-8", "--", "-"}, fdFolder, "- <sjis> -> - <utf8|CRLF> 入力失敗"},
        {"a folder with /F-", {"/AUTO", "/OUTF-8", "/F-", "--", "-", "in"}, fdFolder, "- <sjis> -> - <utf8|CRLF> 入力失敗"},
        {"a missing file with /F-", {"/AUTO", "/OUTF-8", "/F-", "--", "missing"}, fdFolder,
         "missing <sjis> -> - <utf8|CRLF> 入力失敗"},
    };
    for (const auto& c : cases) {
        Limits limits;
        if (c.nStdin >= 0)
            limits.nStdinFd = ::dup(c.nStdin);
        else
            limits.closedFds = {0};
        const pid_t pid = Start(c.args, limits);
        if (limits.nStdinFd >= 0)
            ::close(limits.nStdinFd);
        const Result r = Wait(pid, 20);
        EXPECT_EQ(r.strOut.find(kHeading), std::string::npos) << c.pszCase << "\n" << r.strOut;
        EXPECT_NE(r.strErr.find(kHeading), std::string::npos) << c.pszCase << "\n" << r.strErr;
        EXPECT_NE(r.strErr.find(c.pszLine), std::string::npos) << c.pszCase << "\n" << r.strErr;
    }
    ::close(fdFolder);
}

// With descriptors 0-2 closed, the output is not one of them: it holds the
// conversion and nothing else, and the report that no one can read is not a
// failure.
TEST_F(ConvertApp, ClosedStandardStreamsReachNoFile)
{
    WriteFile(Path("in"), "\x82\xa0\r\n");
    const struct {
        std::vector<int> closed;
        std::vector<std::string> args;
        int nExit;
    } cases[] = {
        {{0, 1, 2}, {"/AUTO", "/OUTF-8", "--", "in"}, 0},
        {{0, 1, 2}, {"/AUTO", "/OUTF-8", "--", "in", "missing"}, 1},
        {{1}, {"/AUTO", "/OUTF-8", "--", "in"}, 0},
        {{2}, {"/AUTO", "/OUTF-8", "--", "missing", "in"}, 1},
    };
    for (const auto& c : cases) {
        const std::string strWhat = ::testing::PrintToString(c.closed) + ::testing::PrintToString(c.args);
        fs::remove(Path("in.utf8"));
        const Result r = Run(c.args, Limits{.closedFds = c.closed});
        EXPECT_EQ(r.nExit, c.nExit) << strWhat;
        EXPECT_EQ(ReadFile(Path("in.utf8")), "\xe3\x81\x82\r\n") << strWhat;
        EXPECT_EQ(Listing(), (std::vector<std::string>{"in", "in.utf8"})) << strWhat;
    }
}

// A run from a terminal prints its report there, even with a display: a box
// would hold up every script until someone answered it.
TEST_F(ConvertApp, ARunFromATerminalPrintsItsReportThere)
{
    if (!xtest::ProgramsExist({"Xvfb"}))
        GTEST_SKIP() << "needs Xvfb (tools/install-deps.sh installs it)";
    const xtest::XvfbServer server;
    ASSERT_FALSE(server.Display().empty()) << "Xvfb did not start";
    WriteFile(Path("a.txt"), "\x82\xa0");
    for (const bool bStdout : {true, false}) {
        const int fdMaster = ::posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(fdMaster, 0);
        ASSERT_EQ(::grantpt(fdMaster), 0);
        ASSERT_EQ(::unlockpt(fdMaster), 0);
        const int fdTerminal = ::open(::ptsname(fdMaster), O_RDWR | O_NOCTTY);
        ASSERT_GE(fdTerminal, 0);
        Limits limits;
        limits.extraEnv = {"DISPLAY=" + server.Display(), "XDG_RUNTIME_DIR=" + m_dir.string()};
        (bStdout ? limits.nStdoutFd : limits.nStderrFd) = fdTerminal;
        const pid_t pid = Start({"/AUTO", "/OUTF-8", "--", "a.txt"}, limits);
        ::close(fdTerminal);
        const Result r = Wait(pid, 20);
        Bytes shown;
        char buffer[4096];
        for (ssize_t n; (n = ::read(fdMaster, buffer, sizeof buffer)) > 0;)
            shown.append(buffer, static_cast<std::size_t>(n));
        ::close(fdMaster);
        EXPECT_EQ(r.nExit, 0) << "on standard " << (bStdout ? "output" : "error") << " (-2: it waited on a box)";
        EXPECT_NE(shown.find(std::string(kHeading) + "(1/1)"), std::string::npos) << shown;
        EXPECT_NE(shown.find("a.txt <sjis> -> a.txt.utf8 <utf8|CRLF> 成功"), std::string::npos) << shown;
    }
}

// The input each source gets: the same text, with every kind of line ending.
Bytes Convert(const Bytes& input, CharsetId nSource, CharsetId nTarget, NLCode nNLCode, const char* pszSubstitute = "_")
{
    CTextConverter converter;
    converter.SetInput(reinterpret_cast<const std::uint8_t*>(input.data()), static_cast<std::int64_t>(input.size()),
                       nSource);
    converter.m_strUnmappableDefaultChar = pszSubstitute;
    converter.SetOutput(nTarget, nNLCode);
    CByteBuffer output;
    EXPECT_TRUE(converter.Convert(&output));
    return Bytes(reinterpret_cast<const char*>(output.Data()), static_cast<std::size_t>(output.Size()));
}

TEST_F(ConvertApp, EveryCellAndLineEndingMatchesTheConverter)
{
    Bytes sample = ReadFile(fs::path(MOJIRO_SOURCE) / "samples" / "sample-sjis.txt");
    ASSERT_FALSE(sample.empty());
    sample += "LF\nCR\rCRLF\r\nend";
    for (CharsetId nSource = 0; nSource < Charset::Count; ++nSource) {
        Bytes input = Convert(sample, 0, nSource, 0);
        if (nSource == Charset::Unicode)
            input = Bytes("\xff\xfe", 2) + input;
        const std::string strInput = std::string("in.") + Charset::kShortNames[nSource];
        WriteFile(Path(strInput), input);
        const Bytes body = nSource == Charset::Unicode ? input.substr(2) : input;
        for (CharsetId nTarget = 0; nTarget < Charset::Count; ++nTarget) {
            for (NLCode nNLCode = 0; nNLCode < NewLine::Count; ++nNLCode) {
                const Result r = Run({"/AUTO", std::string("/S") + Charset::kNames[nSource],
                                      std::string("/O") + Charset::kNames[nTarget],
                                      std::string("/N") + NewLine::kNames[nNLCode], "/F%SOURCE%.out", strInput});
                const std::string strCell = std::string(Charset::kNames[nSource]) + " -> " +
                                            Charset::kNames[nTarget] + " " + NewLine::kNames[nNLCode];
                Bytes expected = Convert(body, nSource, nTarget, nNLCode);
                if (nTarget == Charset::Unicode)
                    expected = Bytes("\xff\xfe", 2) + expected;
                EXPECT_EQ(r.nExit, 0) << strCell;
                EXPECT_TRUE(ReadFile(Path(strInput + ".out")) == expected) << strCell;
                EXPECT_NE(r.strOut.find(std::string("<") + Charset::kShortNames[nSource] + "> -> " + strInput +
                                        ".out <" + Charset::kShortNames[nTarget] + "|" + NewLine::kNames[nNLCode] +
                                        "> 成功"),
                          std::string::npos)
                    << strCell << "\n" << r.strOut;
            }
        }
    }
}

TEST_F(ConvertApp, DetectionOfTheThreeJapaneseEncodings)
{
    const Bytes text = "春の港町では、活字を一本ずつ木箱へ戻す音が夕方まで続いていた。\n"
                       "職人は「文字は道のようなものだ」と言う。\n";
    const Bytes sjis = Convert(text, Charset::Utf8, Charset::ShiftJis, NewLine::CrLf);
    std::vector<std::string> args = {"/AUTO", "/OUTF-8", "/NLF"};
    for (CharsetId nSource : {Charset::ShiftJis, Charset::EucJp, Charset::Jis}) {
        const std::string strName = std::string("in.") + Charset::kShortNames[nSource];
        WriteFile(Path(strName), Convert(sjis, 0, nSource, 0));
        args.push_back(strName);
    }
    const Result r = Run(args);
    EXPECT_EQ(r.strOut, std::string(kHeading) + "(3/3)\n\n"
                                                "\nin.sjis <sjis> -> in.sjis.utf8 <utf8|LF> 成功"
                                                "\nin.euc <euc> -> in.euc.utf8 <utf8|LF> 成功"
                                                "\nin.jis <jis> -> in.jis.utf8 <utf8|LF> 成功\n");
    for (const char* pszName : {"in.sjis.utf8", "in.euc.utf8", "in.jis.utf8"})
        EXPECT_TRUE(ReadFile(Path(pszName)) == text) << pszName;
}

// --guess names what the job would take and the line endings in it, one
// line per file, standard input from where it stands; it converts nothing
// and, like --help, needs neither a display nor the toolkit.
TEST_F(ConvertApp, GuessPrintsTheEncodingAndLineEndingOfEachFile)
{
    const Bytes text = "春の港町では、活字を一本ずつ木箱へ戻す音が夕方まで続いていた。\n";
    WriteFile(Path("a.sjis"), Convert(text, Charset::Utf8, Charset::ShiftJis, NewLine::CrLf));
    WriteFile(Path("a.euc"), Convert(text, Charset::Utf8, Charset::EucJp, NewLine::Lf));
    WriteFile(Path("a.jis"), Convert(text, Charset::Utf8, Charset::Jis, NewLine::Cr));
    WriteFile(Path("a.uni"), "\xff\xfe" + Convert(text, Charset::Utf8, Charset::Unicode, NewLine::CrLf));
    WriteFile(Path("a.utf8"), "x\r\n" + text);
    WriteFile(Path("empty"), "");
    WriteFile(Path("stdin"), "\xff\xfe\n\xef\xbd\xb1\r\n"); // the shell read the first line
    const int fd = ::open(Path("stdin").c_str(), O_RDONLY);
    ASSERT_EQ(::lseek(fd, 3, SEEK_SET), 3);
    const fs::path logDir = Path("ld");
    fs::create_directories(logDir);
    Limits limits;
    limits.nStdinFd = fd;
    limits.extraEnv = {"DISPLAY=:4711", "LD_DEBUG=files", "LD_DEBUG_OUTPUT=" + (logDir / "log").string()};
    const std::string strAbsolute = Path("a.utf8").string();
    const Result r = Run({"--guess", "a.sjis", "a.euc", "a.jis", "a.uni", strAbsolute, "empty", "-", "missing"}, limits);
    ::close(fd);
    EXPECT_EQ(r.strOut, "a.sjis: Shift_JIS (CRLF)\n"
                        "a.euc: EUC-JP (LF)\n"
                        "a.jis: ISO-2022-JP (CR)\n"
                        "a.uni: Unicode (CRLF)\n" +
                            strAbsolute + ": UTF-8 (MIXED)\n"
                                          "empty: Shift_JIS (NONE)\n"
                                          "-: UTF-8 (CRLF)\n");
    EXPECT_EQ(r.nExit, 1) << "missing cannot be read";
    EXPECT_NE(r.strErr.find("missing"), std::string::npos) << r.strErr;
    Bytes log;
    for (const auto& entry : fs::directory_iterator(logDir))
        log += ReadFile(entry.path());
    fs::remove_all(logDir);
    EXPECT_EQ(log.find("libQt6"), Bytes::npos);
    EXPECT_EQ(Listing(), (std::vector<std::string>{"a.euc", "a.jis", "a.sjis", "a.uni", "a.utf8", "empty", "stdin"}));
    EXPECT_EQ(Run({"--guess", "--", "a.euc"}).strOut, "a.euc: EUC-JP (LF)\n");
    EXPECT_EQ(Run({"--guess"}).nExit, 2);
}

TEST(ConvertAppHelp, HelpCommandOpensTheProductPage)
{
    const fs::path dir = fs::temp_directory_path() / ("mojiro-help-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path opener = dir / "opener";
    const fs::path seen = dir / "seen";
    WriteFile(opener, "#!/bin/sh\nprintf '%s|' \"$#\" \"$@\" > \"" + seen.string() + ".tmp\"\nmv \"" + seen.string() +
                          ".tmp\" \"" + seen.string() + "\"\n");
    fs::permissions(opener, fs::perms::owner_all);
    ::setenv("MOJIRO_URL_OPENER", opener.c_str(), 1);
    ASSERT_NE(AfxGetApp(), nullptr);
    EXPECT_TRUE(AfxGetApp()->OnCmdMsg(ID_HELP));
    for (int i = 0; i < 200 && !fs::exists(seen); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(ReadFile(seen), std::string("1|") + kProductUrl + "|");
    EXPECT_EQ(std::string(kProductUrl).substr(0, 7), "http://");
    EXPECT_NE(std::string(kProductUrl).find("/products/Mojiro/"), std::string::npos);
    ::unsetenv("MOJIRO_URL_OPENER");
    fs::remove_all(dir);
}

} // namespace
