#include "framework/file_system.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <functional>
#include <memory>
#include <thread>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Bytes = std::string;

class RealFileSystemTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string strTemplate = (fs::temp_directory_path() / "mojiro-fs-XXXXXX").string();
        ASSERT_NE(::mkdtemp(strTemplate.data()), nullptr);
        m_dir = strTemplate;
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string Path(const std::string& strName) const { return (m_dir / strName).string(); }

    static void Put(const std::string& strPath, const Bytes& content)
    {
        std::ofstream(strPath, std::ios::binary | std::ios::trunc) << content;
    }
    static Bytes Get(const std::string& strPath)
    {
        std::ifstream in(strPath, std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }
    static unsigned Mode(const std::string& strPath)
    {
        struct stat st;
        return ::stat(strPath.c_str(), &st) == 0 ? st.st_mode & 07777 : 0xFFFFu;
    }
    std::vector<std::string> Listing() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_dir))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    // Each part through one Write, then Commit: the whole new content.
    static bool WriteParts(const std::string& strPath, const std::vector<Bytes>& parts, std::string* pstrError,
                           const IFileSystem::FileStamp* pUnchangedSince = nullptr)
    {
        std::unique_ptr<IFileSystem::IOutputFile> output =
            RealFileSystem().CreateOutput(strPath, pUnchangedSince, pstrError);
        if (output == nullptr)
            return false;
        bool bOk = true;
        for (const Bytes& part : parts)
            bOk = bOk && output->Write(reinterpret_cast<const std::uint8_t*>(part.data()),
                                       static_cast<std::int64_t>(part.size()));
        bOk = bOk && output->Commit();
        if (!bOk)
            *pstrError = output->Error();
        return bOk;
    }
    bool Write(const std::string& strName, const Bytes& content, std::string* pstrError = nullptr,
               const IFileSystem::FileStamp* pUnchangedSince = nullptr)
    {
        std::string strError;
        return WriteParts(Path(strName), {content}, pstrError ? pstrError : &strError, pUnchangedSince);
    }
    // Read to the end through the input stream; throws CFileException.
    static Bytes ReadAll(const std::string& strPath, IFileSystem::FileStamp* pStamp = nullptr)
    {
        std::unique_ptr<IFileSystem::IInputFile> input = RealFileSystem().OpenInput(strPath, pStamp);
        Bytes content;
        std::uint8_t block[1000];
        while (const std::int64_t n = input->Read(block, sizeof block))
            content.append(reinterpret_cast<const char*>(block), static_cast<std::size_t>(n));
        return content;
    }
    static Bytes Attribute(const std::string& strPath, const char* pszName)
    {
        char value[256];
        const ssize_t n = ::getxattr(strPath.c_str(), pszName, value, sizeof value);
        return n < 0 ? "(none)" : Bytes(value, static_cast<std::size_t>(n));
    }

    fs::path m_dir;
};

TEST_F(RealFileSystemTest, ReadsWholeFilesAndRefusesWhatIsNoFile)
{
    Put(Path("a"), Bytes("a\0b\xff", 4));
    Put(Path("empty"), "");
    fs::create_directory(Path("dir"));
    ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);

    EXPECT_EQ(ReadAll(Path("a")), Bytes("a\0b\xff", 4));
    std::string strText;
    EXPECT_TRUE(RealFileSystem().TryReadText(Path("a"), &strText));
    EXPECT_EQ(strText, Bytes("a\0b\xff", 4));
    EXPECT_EQ(ReadAll(Path("empty")), "");
    for (const char* pszName : {"missing", "dir", "fifo"}) {
        EXPECT_THROW(ReadAll(Path(pszName)), CFileException) << pszName;
        EXPECT_FALSE(RealFileSystem().TryReadText(Path(pszName), &strText)) << pszName;
    }
}

TEST_F(RealFileSystemTest, WritesPartsInOrderAndLeavesNoTemporary)
{
    std::string strError;
    ASSERT_TRUE(WriteParts(Path("out"), {"\xff\xfe", "body", ""}, &strError));
    EXPECT_EQ(Get(Path("out")), "\xff\xfe" "body");
    ASSERT_TRUE(WriteParts(Path("empty"), {}, &strError));
    EXPECT_EQ(Get(Path("empty")), "");
    EXPECT_EQ(Listing(), (std::vector<std::string>{"empty", "out"}));
}

struct ModeCase {
    int nExistingMode; // -1: the file is new
    unsigned nExpected;
};

TEST_F(RealFileSystemTest, NewFilesFollowTheUmaskAndReplacementsKeepTheirMode)
{
    // New files follow the mask the process started with.
    const mode_t nMask = ::umask(0);
    ::umask(nMask);
    const ModeCase cases[] = {
        {-1, 0666u & ~nMask},
        {0600, 0600},
        {0751, 0751},
        {0444 | 0200, 0644},
        {04755, 04755},
    };
    int i = 0;
    for (const ModeCase& c : cases) {
        const std::string strName = "f" + std::to_string(i++);
        if (c.nExistingMode >= 0) {
            Put(Path(strName), "old");
            ASSERT_EQ(::chmod(Path(strName).c_str(), static_cast<mode_t>(c.nExistingMode)), 0);
        }
        ASSERT_TRUE(Write(strName, "new")) << strName;
        EXPECT_EQ(Mode(Path(strName)), c.nExpected) << strName;
        EXPECT_EQ(Get(Path(strName)), "new");
    }
}

TEST_F(RealFileSystemTest, WritesThroughSymbolicLinks)
{
    Put(Path("real"), "old");
    fs::create_symlink("real", Path("link"));
    fs::create_symlink(Path("link"), Path("link2")); // absolute, and a chain
    fs::create_symlink("new-target", Path("dangling"));
    ASSERT_TRUE(Write("link2", "via chain"));
    EXPECT_TRUE(fs::is_symlink(Path("link")));
    EXPECT_TRUE(fs::is_symlink(Path("link2")));
    EXPECT_EQ(Get(Path("real")), "via chain");
    ASSERT_TRUE(Write("dangling", "created"));
    EXPECT_TRUE(fs::is_symlink(Path("dangling")));
    EXPECT_EQ(Get(Path("new-target")), "created");

    fs::create_symlink("loop-b", Path("loop-a"));
    fs::create_symlink("loop-a", Path("loop-b"));
    EXPECT_FALSE(Write("loop-a", "x"));
}

TEST_F(RealFileSystemTest, FailuresLeaveEverythingAsItWas)
{
    fs::create_directory(Path("dir"));
    std::string strError;
    EXPECT_FALSE(Write("dir", "x", &strError));
    EXPECT_FALSE(strError.empty());
    EXPECT_FALSE(Write("missing/out", "x"));
    EXPECT_FALSE(WriteParts("/dev/null", {}, &strError)); // never replaces a device
    EXPECT_EQ(Listing(), (std::vector<std::string>{"dir"}));

    if (::geteuid() != 0) {
        Put(Path("readonly"), "keep");
        ::chmod(Path("readonly").c_str(), 0444);
        EXPECT_FALSE(Write("readonly", "x"));
        EXPECT_EQ(Get(Path("readonly")), "keep");
        ::chmod(m_dir.c_str(), 0555);
        EXPECT_FALSE(Write("new", "x"));
        ::chmod(m_dir.c_str(), 0755);
        EXPECT_EQ(Listing(), (std::vector<std::string>{"dir", "readonly"}));
    }
}

TEST_F(RealFileSystemTest, FileSizeLimitFailsTheWriteAndKeepsTheOldFile)
{
    Put(Path("out"), "old content");
    struct sigaction ignore = {}, previous = {};
    ignore.sa_handler = SIG_IGN;
    ASSERT_EQ(::sigaction(SIGXFSZ, &ignore, &previous), 0);
    rlimit saved;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit limited = saved;
    limited.rlim_cur = 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    std::string strError;
    const bool bWritten = Write("out", Bytes(5000, 'x'), &strError);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::sigaction(SIGXFSZ, &previous, nullptr);
    EXPECT_FALSE(bWritten);
    EXPECT_FALSE(strError.empty());
    EXPECT_EQ(Get(Path("out")), "old content");
    EXPECT_EQ(Listing(), (std::vector<std::string>{"out"}));
}

TEST_F(RealFileSystemTest, ReplacementKeepsTheOwnerWhenRootWrites)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can give a file away";
    Put(Path("owned"), "old");
    ASSERT_EQ(::chown(Path("owned").c_str(), 12345, 23456), 0);
    ASSERT_TRUE(Write("owned", "new"));
    struct stat st;
    ASSERT_EQ(::stat(Path("owned").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 12345u);
    EXPECT_EQ(st.st_gid, 23456u);
}

TEST_F(RealFileSystemTest, ReadsPseudoFilesToTheirEnd)
{
    // These report a size of 0; what they hold is only known by reading.
    for (const char* pszPath : {"/proc/self/cmdline", "/proc/cpuinfo"}) {
        if (::access(pszPath, R_OK) != 0)
            continue;
        const Bytes contents = ReadAll(pszPath);
        EXPECT_GT(contents.size(), 0u) << pszPath;
        if (std::strcmp(pszPath, "/proc/self/cmdline") == 0) {
            EXPECT_EQ(contents, Get(pszPath));
        }
    }
}

struct ChangeCase {
    const char* pszChange;
    std::function<void(const std::string&)> change;
    bool bReplaced;
};

TEST_F(RealFileSystemTest, ReplacesOnlyAFileUnchangedSinceItsStamp)
{
    const ChangeCase cases[] = {
        {"unchanged", [](const std::string&) {}, true},
        {"appended", [](const std::string& strPath) { std::ofstream(strPath, std::ios::app) << "+more"; }, false},
        {"same size, other nanosecond",
         [](const std::string& strPath) {
             Put(strPath, "OLD");
             const timespec times[2] = {{0, UTIME_OMIT}, {1000000000, 123}};
             ::utimensat(AT_FDCWD, strPath.c_str(), times, 0);
         },
         false},
        {"replaced by another file",
         [](const std::string& strPath) {
             Put(strPath + ".other", "other");
             fs::rename(strPath + ".other", strPath);
         },
         false},
    };
    for (const ChangeCase& c : cases) {
        Put(Path("in"), "old");
        IFileSystem::FileStamp stamp;
        ReadAll(Path("in"), &stamp);
        c.change(Path("in"));
        const Bytes before = Get(Path("in"));
        EXPECT_EQ(Write("in", "new", nullptr, &stamp), c.bReplaced) << c.pszChange;
        EXPECT_EQ(Get(Path("in")), c.bReplaced ? "new" : before) << c.pszChange;
        EXPECT_EQ(Listing(), (std::vector<std::string>{"in"})) << c.pszChange;
    }
}

// Names meet by what they reach or would create, not by their text.
TEST_F(RealFileSystemTest, KeysOfNamesThatReachOrWouldCreateOneFile)
{
    fs::create_directories(Path("d/sub"));
    fs::create_directory_symlink("d", Path("dl"));
    Put(Path("d/f"), "f");
    fs::create_hard_link(Path("d/f"), Path("hard"));
    fs::create_symlink("d/new", Path("dangling"));
    fs::create_symlink("dangling", Path("chain"));
    fs::create_symlink("loop2", Path("loop1"));
    fs::create_symlink("loop1", Path("loop2"));
    const struct {
        const char* pszA;
        const char* pszB;
        bool bSame;
    } cases[] = {
        {"d/f", "dl/f", true},            // through a folder link
        {"d/f", "hard", true},            // a hard link
        {"d/f", "d/sub/../f", true},      // ".." of an existing folder
        {"d/f", "d//f", true},            // doubled slash
        {"d/new", "dl/new", true},        // not there yet, through a folder link
        {"d/new", "dangling", true},      // a dangling link is what it would create
        {"d/new", "chain", true},         // even at the end of a chain
        {"d/new", "d/sub/../new", true},  // not there yet, beside ".."
        {"d/new", "d/other", false},
        {"d/f", "d/new", false},
        {"loop1", "loop2", false},        // a loop creates nothing: its names stay apart
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RealFileSystem().FileKey(Path(c.pszA)) == RealFileSystem().FileKey(Path(c.pszB)), c.bSame)
            << c.pszA << " / " << c.pszB;
    }
    // Relative and absolute names of one file meet.
    const fs::path previous = fs::current_path();
    fs::current_path(m_dir);
    EXPECT_EQ(RealFileSystem().FileKey("dl/new"), RealFileSystem().FileKey(Path("d/new")));
    EXPECT_EQ(RealFileSystem().FileKey("./d/f"), RealFileSystem().FileKey(Path("hard")));
    fs::current_path(previous);
}

TEST_F(RealFileSystemTest, AnInputKnowsWhenItChangedSinceItWasOpened)
{
    const struct {
        const char* pszChange;
        std::function<void(const std::string&)> change;
        bool bChanged;
    } cases[] = {
        {"unchanged", [](const std::string&) {}, false},
        {"truncated", [](const std::string& strPath) { fs::resize_file(strPath, 1); }, true},
        {"appended", [](const std::string& strPath) { std::ofstream(strPath, std::ios::app) << "+"; }, true},
        {"touched",
         [](const std::string& strPath) {
             const timespec times[2] = {{0, UTIME_OMIT}, {1000000000, 123}};
             ::utimensat(AT_FDCWD, strPath.c_str(), times, 0);
         },
         true},
        // The open file is still the one read whole: a new file in its place
        // tears nothing.
        {"replaced by rename",
         [](const std::string& strPath) {
             Put(strPath + ".new", "other");
             fs::rename(strPath + ".new", strPath);
         },
         false},
    };
    for (const auto& c : cases) {
        Put(Path("in"), "content");
        std::unique_ptr<IFileSystem::IInputFile> input = RealFileSystem().OpenInput(Path("in"));
        c.change(Path("in"));
        EXPECT_EQ(input->ChangedSinceOpen(), c.bChanged) << c.pszChange;
    }
    EXPECT_FALSE(RealFileSystem().OpenStandardInput()->ChangedSinceOpen());
}

TEST_F(RealFileSystemTest, FollowsALinkOnlyWhereTheKernelLetsThisUser)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can make a link owned by another user";
    if (Get("/proc/sys/fs/protected_symlinks").substr(0, 1) != "1")
        GTEST_SKIP() << "fs.protected_symlinks is off: the kernel follows every link";
    // A sticky world-writable folder like /tmp, where another user's link
    // must not steer root's write.
    fs::create_directory(Path("sticky"));
    ASSERT_EQ(::chmod(Path("sticky").c_str(), 01777), 0);
    Put(Path("victim"), "keep");
    struct {
        const char* pszLink;
        const char* pszTarget;
        uid_t nOwner;
        bool bWritten;
    } const cases[] = {
        {"sticky/theirs", "../victim", 12345, false},
        {"sticky/theirs-new", "../created", 12345, false},
        {"sticky/mine", "../victim", 0, true},
    };
    for (const auto& c : cases) {
        fs::create_symlink(c.pszTarget, Path(c.pszLink));
        ASSERT_EQ(::lchown(Path(c.pszLink).c_str(), c.nOwner, c.nOwner), 0);
        EXPECT_EQ(Write(c.pszLink, "written"), c.bWritten) << c.pszLink;
        EXPECT_TRUE(fs::is_symlink(Path(c.pszLink)));
    }
    EXPECT_EQ(Get(Path("victim")), "written"); // through the link that may be followed
    EXPECT_FALSE(fs::exists(Path("created")));
    EXPECT_EQ(std::distance(fs::directory_iterator(Path("sticky")), fs::directory_iterator()), 3);
}

TEST_F(RealFileSystemTest, ReplacementKeepsModeAttributesAndAcl)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can give a file away";
    Put(Path("f"), "old");
    ASSERT_EQ(::chown(Path("f").c_str(), 12345, 23456), 0);
    ASSERT_EQ(::chmod(Path("f").c_str(), 06755), 0);
    // An access ACL in the kernel's form (version 2; tag, permissions, id):
    // owner rwx, user 12345 r, group r-x, mask r-x, others r-x.
    const Bytes acl("\2\0\0\0" "\1\0\7\0\xff\xff\xff\xff" "\2\0\4\0\x39\x30\0\0" "\4\0\5\0\xff\xff\xff\xff"
                    "\x10\0\5\0\xff\xff\xff\xff" "\x20\0\5\0\xff\xff\xff\xff", 44);
    const bool bAttributes = ::setxattr(Path("f").c_str(), "user.origin", "kept", 4, 0) == 0;
    const bool bAcl = ::setxattr(Path("f").c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0) == 0;
    ASSERT_EQ(::chmod(Path("f").c_str(), 06755), 0); // the ACL set the group bits from its mask

    ASSERT_TRUE(Write("f", "new"));
    struct stat st;
    ASSERT_EQ(::stat(Path("f").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 12345u);
    EXPECT_EQ(st.st_gid, 23456u);
    EXPECT_EQ(st.st_mode & 07777, 06755u); // setuid and setgid survive the change of owner
    if (bAttributes) {
        EXPECT_EQ(Attribute(Path("f"), "user.origin"), "kept");
    }
    if (bAcl) {
        EXPECT_EQ(Attribute(Path("f"), "system.posix_acl_access"), acl);
    }
    if (!bAttributes || !bAcl)
        GTEST_SKIP() << "this file system keeps no user attributes or ACLs";
}

TEST_F(RealFileSystemTest, NoSignalLeavesAPartWrittenFileBehind)
{
    // A child replaces one file over and over; each signal ends it mid-write
    // as often as not. Whatever the signal, only the finished file remains.
    for (int nSignal : {SIGKILL, SIGQUIT, SIGPIPE, SIGALRM, SIGUSR1, SIGUSR2, SIGTERM, SIGINT, SIGHUP}) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const rlimit noCore = {0, 0};
            ::setrlimit(RLIMIT_CORE, &noCore);
            const Bytes content(4 << 20, 'x');
            for (;;)
                Write("out", content);
        }
        for (int i = 0; i < 500 && !fs::exists(Path("out")); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
        ::kill(child, nSignal);
        int nStatus = 0;
        ASSERT_EQ(::waitpid(child, &nStatus, 0), child);
        EXPECT_TRUE(WIFSIGNALED(nStatus) && WTERMSIG(nStatus) == nSignal) << strsignal(nSignal);
        EXPECT_EQ(Listing(), (std::vector<std::string>{"out"})) << strsignal(nSignal);
        for (const std::string& strName : Listing())
            fs::remove(Path(strName));
    }
}

} // namespace
