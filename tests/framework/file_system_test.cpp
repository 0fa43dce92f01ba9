#include "framework/file_system.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

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
    bool Write(const std::string& strName, const Bytes& content, std::string* pstrError = nullptr)
    {
        std::string strError;
        const IFileSystem::Part part{reinterpret_cast<const std::uint8_t*>(content.data()),
                                     static_cast<std::int64_t>(content.size())};
        return RealFileSystem().WriteWholeFile(Path(strName), {part}, pstrError ? pstrError : &strError);
    }

    fs::path m_dir;
};

TEST_F(RealFileSystemTest, ReadsWholeFilesAndRefusesWhatIsNoFile)
{
    Put(Path("a"), Bytes("a\0b\xff", 4));
    Put(Path("empty"), "");
    fs::create_directory(Path("dir"));
    ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);

    CByteBuffer a = RealFileSystem().ReadWholeFile(Path("a"));
    EXPECT_EQ(Bytes(reinterpret_cast<const char*>(a.Data()), static_cast<std::size_t>(a.Size())), Bytes("a\0b\xff", 4));
    EXPECT_EQ(RealFileSystem().ReadWholeFile(Path("empty")).Size(), 0);
    for (const char* pszName : {"missing", "dir", "fifo"}) {
        EXPECT_THROW(RealFileSystem().ReadWholeFile(Path(pszName)), CFileException) << pszName;
        CByteBuffer contents;
        EXPECT_FALSE(RealFileSystem().TryReadWholeFile(Path(pszName), &contents)) << pszName;
    }
}

TEST_F(RealFileSystemTest, WritesPartsInOrderAndLeavesNoTemporary)
{
    const std::uint8_t mark[2] = {0xFF, 0xFE};
    const Bytes body = "body";
    std::string strError;
    ASSERT_TRUE(RealFileSystem().WriteWholeFile(
        Path("out"), {{mark, 2}, {reinterpret_cast<const std::uint8_t*>(body.data()), 4}, {mark, 0}}, &strError));
    EXPECT_EQ(Get(Path("out")), "\xff\xfe" "body");
    ASSERT_TRUE(RealFileSystem().WriteWholeFile(Path("empty"), {}, &strError));
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
    EXPECT_FALSE(RealFileSystem().WriteWholeFile("/dev/null", {}, &strError)); // never replaces a device
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

} // namespace
