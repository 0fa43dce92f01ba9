#include "../../framework/version_info.h"

#include <elf.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "framework/version_block.h"

namespace {

namespace fs = std::filesystem;

constexpr char kDescriptionQuery[] = "\\StringFileInfo\\041104b0\\FileDescription";
constexpr char kCopyrightQuery[] = "\\StringFileInfo\\041104b0\\LegalCopyright";

constexpr versionblock::FixedInfo kFixed = {{1, 0, 0, 1}, {1, 0, 0, 1}, 1, 0x0411, 0x04b0};
constexpr versionblock::StringEntry kStrings[] = {
    {"Comments", ""},
    {"FileDescription", "Test Description"},
    {"LegalCopyright", "Copyright line"},
    {"ProductName", "Last"},
};

std::string MakeBlock(const versionblock::FixedInfo& fixed = kFixed)
{
    std::string block(versionblock::BlockSize(kStrings), '\0');
    EXPECT_TRUE(versionblock::WriteBlock(
        fixed, kStrings, {reinterpret_cast<unsigned char*>(block.data()), block.size()}));
    return block;
}

// A small 64-bit ELF file: header, section contents, section header table.
enum SectionIndex { kNull, kText, kVersion, kNames, kSectionCount };

struct ElfParts {
    Elf64_Ehdr header{};
    std::string body;
    std::vector<Elf64_Shdr> sections;
};

ElfParts MakeElf(const std::string& strBlock, const std::string& strSectionName = versionblock::kSectionName)
{
    ElfParts elf;
    std::memcpy(elf.header.e_ident, ELFMAG, SELFMAG);
    elf.header.e_ident[EI_CLASS] = ELFCLASS64;
    elf.header.e_ident[EI_DATA] = ELFDATA2LSB;
    elf.header.e_ident[EI_VERSION] = EV_CURRENT;
    elf.header.e_type = ET_EXEC;
    elf.header.e_machine = EM_X86_64;
    elf.header.e_version = EV_CURRENT;
    elf.header.e_ehsize = sizeof(Elf64_Ehdr);
    elf.header.e_shentsize = sizeof(Elf64_Shdr);
    elf.header.e_shnum = kSectionCount;
    elf.header.e_shstrndx = kNames;

    const std::string strNames = std::string(1, '\0') + ".text" + '\0' + strSectionName + '\0' + ".shstrtab" + '\0';
    elf.sections.resize(kSectionCount);
    auto add = [&](SectionIndex index, std::uint32_t nName, std::uint32_t nType, const std::string& strData) {
        Elf64_Shdr& section = elf.sections[index];
        section.sh_name = nName;
        section.sh_type = nType;
        section.sh_offset = sizeof(Elf64_Ehdr) + elf.body.size();
        section.sh_size = strData.size();
        elf.body += strData;
    };
    add(kText, 1, SHT_PROGBITS, std::string(16, '\x90'));
    add(kVersion, 7, SHT_PROGBITS, strBlock);
    add(kNames, static_cast<std::uint32_t>(8 + strSectionName.size()), SHT_STRTAB, strNames);
    elf.body.resize((elf.body.size() + 7) / 8 * 8, '\0');
    elf.header.e_shoff = sizeof(Elf64_Ehdr) + elf.body.size();
    return elf;
}

std::string Serialize(const ElfParts& elf)
{
    std::string bytes(reinterpret_cast<const char*>(&elf.header), sizeof elf.header);
    bytes += elf.body;
    bytes.append(reinterpret_cast<const char*>(elf.sections.data()), elf.sections.size() * sizeof(Elf64_Shdr));
    return bytes;
}

class VersionInfoTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path() /
                ("mojiro_version_info_" + std::to_string(::getpid()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string WriteFile(const std::string& strName, const std::string& strBytes)
    {
        const std::string strPath = (m_dir / strName).string();
        std::ofstream(strPath, std::ios::binary | std::ios::trunc) << strBytes;
        return strPath;
    }

    // GetFileVersionInfo on the bytes; a failed read must leave the block empty.
    bool ReadBack(const std::string& strBytes, std::string* pBlock)
    {
        *pBlock = "stale";
        const bool bOk = version::GetFileVersionInfo(WriteFile("file", strBytes), pBlock);
        if (!bOk) {
            EXPECT_TRUE(pBlock->empty());
        }
        return bOk;
    }

    fs::path m_dir;
};

TEST_F(VersionInfoTest, WellFormedFilesGiveTheSectionBytes)
{
    const std::string strBlock = MakeBlock();
    struct Case {
        const char* pszName;
        std::function<void(ElfParts&)> change;
    };
    const Case cases[] = {
        {"plain", [](ElfParts&) {}},
        {"section count kept in section 0",
         [](ElfParts& elf) {
             elf.header.e_shnum = 0;
             elf.sections[kNull].sh_size = kSectionCount;
         }},
        {"name-table index kept in section 0",
         [](ElfParts& elf) {
             elf.header.e_shstrndx = SHN_XINDEX;
             elf.sections[kNull].sh_link = kNames;
         }},
        {"padding after the block", [](ElfParts& elf) { elf.sections[kVersion].sh_size += 8; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pszName);
        ElfParts elf = MakeElf(strBlock);
        c.change(elf);
        std::string block;
        ASSERT_TRUE(ReadBack(Serialize(elf), &block));
        EXPECT_EQ(block.substr(0, strBlock.size()), strBlock);
        EXPECT_EQ(version::VerQueryValue(block, kDescriptionQuery), "Test Description");
    }
}

TEST_F(VersionInfoTest, DamagedOrForeignFilesGiveNothing)
{
    const std::string strBlock = MakeBlock();
    constexpr std::uint64_t kHuge = ~std::uint64_t{0} - 4;
    struct Case {
        const char* pszName;
        std::function<void(ElfParts&)> change;
    };
    const Case cases[] = {
        {"not ELF", [](ElfParts& elf) { elf.header.e_ident[EI_MAG1] = 'X'; }},
        {"32-bit class", [](ElfParts& elf) { elf.header.e_ident[EI_CLASS] = ELFCLASS32; }},
        {"foreign byte order", [](ElfParts& elf) { elf.header.e_ident[EI_DATA] = ELFDATA2MSB; }},
        {"no section table", [](ElfParts& elf) { elf.header.e_shoff = 0; }},
        {"section table past the end", [](ElfParts& elf) { elf.header.e_shoff += 4096; }},
        {"section table offset wraps", [=](ElfParts& elf) { elf.header.e_shoff = kHuge; }},
        {"section count past the end", [](ElfParts& elf) { elf.header.e_shnum = 0xFEFF; }},
        {"forged huge section count",
         [=](ElfParts& elf) {
             elf.header.e_shnum = 0;
             elf.sections[kNull].sh_size = kHuge / sizeof(Elf64_Shdr) + 2;
         }},
        {"wrong entry size", [](ElfParts& elf) { elf.header.e_shentsize = sizeof(Elf64_Shdr) - 8; }},
        {"name table index out of range", [](ElfParts& elf) { elf.header.e_shstrndx = kSectionCount; }},
        {"name table is not a string table", [](ElfParts& elf) { elf.header.e_shstrndx = kText; }},
        {"name table past the end", [](ElfParts& elf) { elf.sections[kNames].sh_size += 4096; }},
        {"name table size wraps", [=](ElfParts& elf) { elf.sections[kNames].sh_size = kHuge; }},
        {"name offset past the table", [](ElfParts& elf) { elf.sections[kVersion].sh_name = 4000; }},
        {"name without terminator",
         [](ElfParts& elf) {
             // Cut the table just before the terminator of the version section's name.
             elf.sections[kNames].sh_size = elf.sections[kNames].sh_name - 1;
         }},
        {"block past the end", [](ElfParts& elf) { elf.sections[kVersion].sh_size += 4096; }},
        {"block offset wraps", [=](ElfParts& elf) { elf.sections[kVersion].sh_offset = kHuge; }},
        {"block size wraps", [=](ElfParts& elf) { elf.sections[kVersion].sh_size = kHuge; }},
        {"block takes no file space", [](ElfParts& elf) { elf.sections[kVersion].sh_type = SHT_NOBITS; }},
        {"block shorter than its header", [](ElfParts& elf) { elf.sections[kVersion].sh_size = 8; }},
        {"block with a foreign magic", [](ElfParts& elf) { elf.body[elf.sections[kVersion].sh_offset - 64] = 'X'; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pszName);
        ElfParts elf = MakeElf(strBlock);
        c.change(elf);
        std::string block;
        EXPECT_FALSE(ReadBack(Serialize(elf), &block));
    }

    std::string block;
    EXPECT_FALSE(ReadBack(Serialize(MakeElf(strBlock, ".mojiro_versio")), &block)) << "another section name";
    EXPECT_FALSE(ReadBack(Serialize(MakeElf(strBlock, ".mojiro_version2")), &block)) << "another section name";
}

TEST_F(VersionInfoTest, EveryTruncationOfTheFileGivesNothing)
{
    // The section table is last, so every cut loses part of it.
    const std::string strFile = Serialize(MakeElf(MakeBlock()));
    std::string block;
    for (std::size_t nLength = 0; nLength < strFile.size(); ++nLength)
        ASSERT_FALSE(ReadBack(strFile.substr(0, nLength), &block)) << nLength << " bytes";
    EXPECT_TRUE(ReadBack(strFile, &block));
}

TEST_F(VersionInfoTest, FilesThatCannotBeReadAsElfGiveNothing)
{
    ASSERT_EQ(::mkfifo((m_dir / "fifo").c_str(), 0600), 0);
    const std::string paths[] = {
        (m_dir / "missing").string(), m_dir.string(), (m_dir / "fifo").string(), "/dev/null",
        WriteFile("text", "plain text, not an executable\n"), WriteFile("empty", ""),
    };
    for (const std::string& strPath : paths) {
        SCOPED_TRACE(strPath);
        std::string block = "stale";
        EXPECT_FALSE(version::GetFileVersionInfo(strPath, &block));
        EXPECT_TRUE(block.empty());
    }
    EXPECT_FALSE(version::GetFileVersionInfo(WriteFile("ok", Serialize(MakeElf(MakeBlock()))), nullptr));
}

TEST(VersionInfo, AnExecutableWithoutTheSectionGivesEmptyLines)
{
    // The test program itself is linked without the version block.
    const std::string strPath = version::GetModuleFileName();
    ASSERT_TRUE(fs::path(strPath).is_absolute()) << strPath;
    ASSERT_TRUE(fs::is_regular_file(strPath)) << strPath;
    std::string block;
    EXPECT_FALSE(version::GetFileVersionInfo(strPath, &block));
    EXPECT_EQ(version::VerQueryValue(block, kDescriptionQuery), "");
    EXPECT_EQ(version::VerQueryValue(block, kCopyrightQuery), "");
}

TEST(VersionInfo, QueriesAnswerOnlyStringsOfTheBlocksTranslation)
{
    const std::string strBlock = MakeBlock();
    struct Case {
        const char* pszQuery;
        const char* pszExpected;
    };
    const Case cases[] = {
        {"\\StringFileInfo\\041104b0\\FileDescription", "Test Description"},
        {"\\StringFileInfo\\041104b0\\LegalCopyright", "Copyright line"},
        {"\\StringFileInfo\\041104b0\\ProductName", "Last"},
        {"\\StringFileInfo\\041104B0\\filedescription", "Test Description"},
        {"\\stringfileinfo\\041104b0\\FileDescription", "Test Description"},
        {"\\StringFileInfo\\041104b0\\Comments", ""},
        {"\\StringFileInfo\\041104b0\\CompanyName", ""},
        {"\\StringFileInfo\\041104b0\\FileDescriptio", ""},
        {"\\StringFileInfo\\041104b0\\FileDescriptionX", ""},
        {"\\StringFileInfo\\041104b0\\", ""},
        {"\\StringFileInfo\\041104b0", ""},
        {"\\StringFileInfo\\041104b0\\FileDescription\\", ""},
        {"\\StringFileInfo\\040904b0\\FileDescription", ""},
        {"\\StringFileInfo\\041104e4\\FileDescription", ""},
        {"\\StringFileInfo\\\\FileDescription", ""},
        {"StringFileInfo\\041104b0\\FileDescription", ""},
        {"\\VarFileInfo\\Translation", ""},
        {"\\", ""},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(version::VerQueryValue(strBlock, c.pszQuery), c.pszExpected) << c.pszQuery;

    versionblock::FixedInfo english = kFixed;
    english.nLanguage = 0x0409;
    EXPECT_EQ(version::VerQueryValue(MakeBlock(english), "\\StringFileInfo\\040904b0\\ProductName"), "Last");
    EXPECT_EQ(version::VerQueryValue(MakeBlock(english), "\\StringFileInfo\\041104b0\\ProductName"), "");
}

TEST(VersionInfo, DamagedBlocksNeverReadPastTheirEnd)
{
    const std::string strBlock = MakeBlock();
    const std::string strLast = "\\StringFileInfo\\041104b0\\ProductName";
    for (std::size_t nLength = 0; nLength < strBlock.size(); ++nLength)
        ASSERT_EQ(version::VerQueryValue(strBlock.substr(0, nLength), strLast), "") << nLength << " bytes";

    // Overstated counts and lengths; the sanitizers catch any overrun.
    std::mt19937 random(20011224);
    for (int i = 0; i < 5000; ++i) {
        std::string damaged = strBlock;
        const int nChanges = 1 + static_cast<int>(random() % 4);
        for (int j = 0; j < nChanges; ++j)
            damaged[random() % damaged.size()] = static_cast<char>(random());
        for (const versionblock::StringEntry& entry : kStrings)
            (void)version::VerQueryValue(damaged, "\\StringFileInfo\\041104b0\\" + std::string(entry.key));
    }
}

TEST(VersionInfo, TheBuiltProgramCarriesItsVersionBlock)
{
    // Without the variable, the build tree is found from this test's own
    // place in it (tests/framework/).
    const char* pszBinaryDir = std::getenv("MOJIRO_BINARY_DIR");
    const fs::path binaryDir = pszBinaryDir != nullptr && *pszBinaryDir != '\0'
                                   ? fs::path(pszBinaryDir)
                                   : fs::path(version::GetModuleFileName()).parent_path().parent_path().parent_path();
    const fs::path program = binaryDir / "app" / "mojiro";
    if (!fs::is_regular_file(program))
        GTEST_SKIP() << "no built program at " << program;

    std::string block;
    ASSERT_TRUE(version::GetFileVersionInfo(program.string(), &block));
    struct Case {
        const char* pszKey;
        const char* pszExpected;
    };
    const Case cases[] = {
        {"FileDescription", "Mojiro Version 1.0.1 (1.01u)"}, // the version --version gives
        {"FileVersion", "1.01u"},
        {"ProductVersion", "1.01u"},
        {"ProductName", "Mojiro"},
        {"CompanyName", "Tarnwell Software"},
        {"OriginalFilename", "mojiro"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(version::VerQueryValue(block, std::string("\\StringFileInfo\\041104b0\\") + c.pszKey),
                  c.pszExpected);
    EXPECT_NE(version::VerQueryValue(block, kCopyrightQuery), "");

    const auto byteAt = [&](std::size_t nOffset) { return static_cast<unsigned char>(block[nOffset]); };
    const unsigned char fileVersion[] = {1, 0, 0, 0, 0, 0, 1, 0};
    for (std::size_t i = 0; i < sizeof fileVersion; ++i) {
        EXPECT_EQ(byteAt(versionblock::kOffsetFileVersion + i), fileVersion[i]);
        EXPECT_EQ(byteAt(versionblock::kOffsetProductVersion + i), fileVersion[i]);
    }
    EXPECT_EQ(byteAt(versionblock::kOffsetFileType), versionblock::kFileTypeApplication);
}

} // namespace
