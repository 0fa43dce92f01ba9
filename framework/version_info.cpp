#include "version_info.h"

#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string_view>
#include <system_error>
#include <vector>

#include "version_block.h"

// The file is read as untrusted input: any ELF file may be named, and a
// damaged or hostile one must give "no version information", not a crash,
// a huge allocation or a read past what the file holds.
namespace version {
namespace {

// Our block is a few hundred bytes; a larger section of that name is not ours.
constexpr std::uint64_t kMaxBlockSize = 64 * 1024;
// Real executables have a few dozen sections and a section-name table of a
// few kilobytes; the caps keep a forged header from costing much memory.
constexpr std::uint64_t kMaxSections = 1u << 16;
constexpr std::uint64_t kMaxNameTableSize = 1u << 20;

constexpr unsigned char kNativeData = std::endian::native == std::endian::little ? ELFDATA2LSB : ELFDATA2MSB;

// True when [nOffset, nOffset + nSize) lies inside a file of nFileSize bytes.
bool InFile(std::uint64_t nOffset, std::uint64_t nSize, std::uint64_t nFileSize)
{
    return nOffset <= nFileSize && nSize <= nFileSize - nOffset;
}

bool ReadAt(int fd, std::uint64_t nOffset, void* pOut, std::uint64_t nSize)
{
    auto* p = static_cast<unsigned char*>(pOut);
    while (nSize > 0) {
        const ssize_t nRead = ::pread(fd, p, static_cast<std::size_t>(nSize), static_cast<off_t>(nOffset));
        if (nRead < 0 && errno == EINTR)
            continue;
        if (nRead <= 0)
            return false;
        p += nRead;
        nOffset += static_cast<std::uint64_t>(nRead);
        nSize -= static_cast<std::uint64_t>(nRead);
    }
    return true;
}

bool ReadSection(int fd, std::uint64_t nFileSize, std::string_view strWanted, std::string* pBytes)
{
    Elf64_Ehdr header;
    if (nFileSize < sizeof header || !ReadAt(fd, 0, &header, sizeof header))
        return false;
    if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64 ||
        header.e_ident[EI_DATA] != kNativeData || header.e_ident[EI_VERSION] != EV_CURRENT)
        return false;
    if (header.e_shoff == 0 || header.e_shentsize != sizeof(Elf64_Shdr))
        return false;
    if (!InFile(header.e_shoff, sizeof(Elf64_Shdr), nFileSize))
        return false;

    // With many sections the real count and name-table index are kept in
    // section header 0.
    std::uint64_t nSections = header.e_shnum;
    std::uint64_t nNameTable = header.e_shstrndx;
    if (nSections == 0 || nNameTable == SHN_XINDEX) {
        Elf64_Shdr first;
        if (!ReadAt(fd, header.e_shoff, &first, sizeof first))
            return false;
        if (nSections == 0)
            nSections = first.sh_size;
        if (nNameTable == SHN_XINDEX)
            nNameTable = first.sh_link;
    }
    if (nSections == 0 || nSections > kMaxSections || nNameTable >= nSections)
        return false;
    if (!InFile(header.e_shoff, nSections * sizeof(Elf64_Shdr), nFileSize))
        return false;
    std::vector<Elf64_Shdr> sections(static_cast<std::size_t>(nSections));
    if (!ReadAt(fd, header.e_shoff, sections.data(), nSections * sizeof(Elf64_Shdr)))
        return false;

    const Elf64_Shdr& nameSection = sections[static_cast<std::size_t>(nNameTable)];
    if (nameSection.sh_type != SHT_STRTAB || nameSection.sh_size > kMaxNameTableSize ||
        !InFile(nameSection.sh_offset, nameSection.sh_size, nFileSize))
        return false;
    std::string names(static_cast<std::size_t>(nameSection.sh_size), '\0');
    if (!ReadAt(fd, nameSection.sh_offset, names.data(), names.size()))
        return false;

    for (const Elf64_Shdr& section : sections) {
        if (section.sh_name >= names.size())
            continue;
        const std::size_t nEnd = names.find('\0', section.sh_name);
        if (nEnd == std::string::npos)
            continue;
        if (std::string_view(names).substr(section.sh_name, nEnd - section.sh_name) != strWanted)
            continue;
        // The first section of that name decides; a second one is not looked at.
        if (section.sh_type != SHT_PROGBITS || section.sh_size > kMaxBlockSize ||
            !InFile(section.sh_offset, section.sh_size, nFileSize))
            return false;
        std::string bytes(static_cast<std::size_t>(section.sh_size), '\0');
        if (!ReadAt(fd, section.sh_offset, bytes.data(), bytes.size()))
            return false;
        *pBytes = std::move(bytes);
        return true;
    }
    return false;
}

std::uint16_t Get16(std::string_view bytes, std::size_t nPos)
{
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[nPos]) |
                                      static_cast<unsigned char>(bytes[nPos + 1]) << 8);
}

bool HasValidHeader(std::string_view block)
{
    return block.size() >= versionblock::kHeaderSize &&
           std::memcmp(block.data(), versionblock::kMagic.data(), versionblock::kMagic.size()) == 0 &&
           Get16(block, versionblock::kMagic.size()) == versionblock::kLayoutVersion;
}

char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    }
    return true;
}

// "041104b0" for language 0x0411 and code page 0x04b0.
std::string TranslationName(std::uint16_t nLanguage, std::uint16_t nCodePage)
{
    static constexpr char kHex[] = "0123456789abcdef";
    const std::uint32_t nValue = static_cast<std::uint32_t>(nLanguage) << 16 | nCodePage;
    std::string strName(8, '0');
    for (int i = 0; i < 8; ++i)
        strName[static_cast<std::size_t>(i)] = kHex[(nValue >> (28 - 4 * i)) & 0xF];
    return strName;
}

} // namespace

std::string GetModuleFileName()
{
    std::error_code error;
    const std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : path.string();
}

bool GetFileVersionInfo(const std::string& strPath, std::string* pBlock)
{
    if (pBlock == nullptr)
        return false;
    pBlock->clear();
    // Non-blocking, so that naming a FIFO cannot hang the caller in open().
    const int fd = ::open(strPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return false;
    const auto closeFd = [](const int* pFd) { ::close(*pFd); };
    const std::unique_ptr<const int, decltype(closeFd)> closer(&fd, closeFd);

    struct stat status;
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size < 0)
        return false;
    std::string block;
    if (!ReadSection(fd, static_cast<std::uint64_t>(status.st_size), versionblock::kSectionName, &block) ||
        !HasValidHeader(block))
        return false;
    *pBlock = std::move(block);
    return true;
}

std::string VerQueryValue(const std::string& strBlock, const std::string& strQuery)
{
    const std::string_view block(strBlock);
    if (!HasValidHeader(block))
        return {};

    // Only "\StringFileInfo\<language><code page>\<key>" is answered.
    constexpr std::string_view kPrefix = "\\StringFileInfo\\";
    const std::string_view query(strQuery);
    if (query.size() < kPrefix.size() || !EqualsNoCase(query.substr(0, kPrefix.size()), kPrefix))
        return {};
    const std::string_view rest = query.substr(kPrefix.size());
    const std::size_t nSlash = rest.find('\\');
    if (nSlash == std::string_view::npos)
        return {};
    const std::string_view translation = rest.substr(0, nSlash);
    const std::string_view key = rest.substr(nSlash + 1);
    if (key.empty() || key.find('\\') != std::string_view::npos)
        return {};
    if (!EqualsNoCase(translation, TranslationName(Get16(block, versionblock::kOffsetLanguage),
                                                   Get16(block, versionblock::kOffsetCodePage))))
        return {};

    const std::size_t nCount = Get16(block, versionblock::kOffsetStringCount);
    std::size_t nPos = versionblock::kHeaderSize;
    // Reads one length-prefixed text; false when it runs past the block.
    auto takeText = [&](std::string_view* pText) {
        if (block.size() - nPos < 2)
            return false;
        const std::size_t nLength = Get16(block, nPos);
        nPos += 2;
        if (block.size() - nPos < nLength)
            return false;
        *pText = block.substr(nPos, nLength);
        nPos += nLength;
        return true;
    };
    for (std::size_t i = 0; i < nCount; ++i) {
        std::string_view entryKey;
        std::string_view entryValue;
        if (!takeText(&entryKey) || !takeText(&entryValue))
            return {};
        if (EqualsNoCase(entryKey, key))
            return std::string(entryValue);
    }
    return {};
}

} // namespace version
