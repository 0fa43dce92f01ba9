#include "framework/profile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

namespace {

namespace fs = std::filesystem;

// The store's location is fixed on first use, so one folder serves every
// test; each test names its own application to get a file of its own.
const fs::path& ConfigDir()
{
    static const fs::path dir = [] {
        std::string strTemplate = (fs::temp_directory_path() / "mojiro-profile-XXXXXX").string();
        if (::mkdtemp(strTemplate.data()) == nullptr)
            std::abort();
        ::setenv("XDG_CONFIG_HOME", strTemplate.c_str(), 1);
        return fs::path(strTemplate);
    }();
    return dir;
}

class ProfileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_strApp = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        ConfigDir();
        profile::SetRegistryKey("Tarnwell Software");
        profile::SetApplicationName(m_strApp);
    }
    static void TearDownTestSuite() { fs::remove_all(ConfigDir()); }

    fs::path File() const { return ConfigDir() / "Tarnwell Software" / (m_strApp + ".ini"); }
    void WriteRaw(const std::string& strContent) const
    {
        fs::create_directories(File().parent_path());
        std::ofstream(File(), std::ios::binary | std::ios::trunc) << strContent;
    }

    std::string m_strApp;
};

TEST_F(ProfileTest, AbsentValuesReadAsTheirDefaults)
{
    EXPECT_EQ(profile::GetProfileInt("Settings", "bAutoNLCode", 1), 1);
    EXPECT_EQ(profile::GetProfileInt("Settings", "nOutputFilename", 0), 0);
    EXPECT_EQ(profile::GetProfileString("Settings", "strUnmappableDefaultChar", "_"), "_");
    EXPECT_FALSE(fs::exists(File())); // reading creates nothing
}

TEST_F(ProfileTest, ValuesRoundTripInTheSettingsGroup)
{
    const std::string texts[] = {"", "?", "〓", "a,b", "x=y;z", " lead", "tail ", "\"q\"", "#", "back\\slash", "改行\nあり"};
    for (const std::string& strText : texts) {
        ASSERT_TRUE(profile::WriteProfileString("Settings", "strUnmappableDefaultChar", strText));
        EXPECT_EQ(profile::GetProfileString("Settings", "strUnmappableDefaultChar", "_"), strText);
    }
    for (int nValue : {0, 1, 5, -1, 2147483647}) {
        ASSERT_TRUE(profile::WriteProfileInt("Settings", "nOutputFilename", nValue));
        EXPECT_EQ(profile::GetProfileInt("Settings", "nOutputFilename", 0), nValue);
    }
    std::ifstream in(File());
    std::string strFirst;
    std::getline(in, strFirst);
    EXPECT_EQ(strFirst, "[Settings]");
}

struct RawCase {
    const char* pszContent;
    int nInt;
    const char* pszText;
};

TEST_F(ProfileTest, HandEditedAndDamagedFiles)
{
    const RawCase cases[] = {
        {"[Settings]\nbAutoNLCode=0\nstrUnmappableDefaultChar=\n", 0, ""},
        {"[Settings]\nbAutoNLCode=7\nstrUnmappableDefaultChar=?\n", 7, "?"},
        {"[Settings]\nbAutoNLCode= 3 \n", 3, "_"},
        {"[Settings]\nbAutoNLCode=yes\nstrUnmappableDefaultChar=a,b\n", 1, "a,b"},
        {"[Settings]\nbAutoNLCode=99999999999\n", 1, "_"},
        {"[Other]\nbAutoNLCode=0\nstrUnmappableDefaultChar=?\n", 1, "_"},
        {"", 1, "_"},
        {"\xff\xfe\x00\x01garbage\n[[\n==\n", 1, "_"},
        {"[Settings\nbAutoNLCode=0\n", 1, "_"},
    };
    for (const RawCase& c : cases) {
        WriteRaw(c.pszContent);
        EXPECT_EQ(profile::GetProfileInt("Settings", "bAutoNLCode", 1), c.nInt) << c.pszContent;
        EXPECT_EQ(profile::GetProfileString("Settings", "strUnmappableDefaultChar", "_"), c.pszText) << c.pszContent;
    }
}

TEST_F(ProfileTest, UnreadableStoreReadsAsDefaults)
{
    fs::create_directories(File()); // a folder where the file should be
    EXPECT_EQ(profile::GetProfileInt("Settings", "bAutoNLCode", 1), 1);
    EXPECT_EQ(profile::GetProfileString("Settings", "strUnmappableDefaultChar", "_"), "_");
    EXPECT_FALSE(profile::WriteProfileInt("Settings", "bAutoNLCode", 0));
}

// A FIFO would block the reader until someone writes to it, a device could
// feed it for ever: anything but a regular file is no store at all. Run in a
// child, so that a read that blocks fails the test instead of hanging it.
TEST_F(ProfileTest, StoreThatIsNoRegularFileIsNeverOpened)
{
    const std::function<void(const fs::path&)> makers[] = {
        [](const fs::path& path) { ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); },
        [](const fs::path& path) { fs::create_symlink("/dev/zero", path); },
    };
    for (const auto& make : makers) {
        fs::remove_all(File());
        fs::create_directories(File().parent_path());
        make(File());
        EXPECT_EXIT(
            {
                ::alarm(10);
                const bool bDefaults = profile::GetProfileInt("Settings", "bAutoNLCode", 7) == 7 &&
                                       profile::GetProfileString("Settings", "strUnmappableDefaultChar", "_") == "_";
                const bool bWritten = profile::WriteProfileInt("Settings", "bAutoNLCode", 0);
                std::_Exit(bDefaults && !bWritten ? 0 : 1);
            },
            ::testing::ExitedWithCode(0), "");
        EXPECT_FALSE(fs::is_regular_file(File())); // not replaced by a written file
    }
    fs::remove_all(File());
}

} // namespace
