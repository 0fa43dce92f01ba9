#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

// The layout of an executable's version block: one table of version strings
// for one language and code page, with the fixed version numbers in front. A
// program puts its block alone in the ELF section kSectionName, so that
// version_info.h can read it back from the file on disk without running it.
//
//   offset  size  field (integers little-endian)
//        0     4  magic "MJVI"
//        4     2  layout version (1)
//        6     8  file version: major, minor, build, revision (16 bits each)
//       14     8  product version, the same way
//       22     4  file type (1: application)
//       26     2  language (0x0411: Japanese)
//       28     2  code page (0x04b0: Unicode)
//       30     2  number of strings
//       32        strings, each: key length (16 bits), key bytes,
//                 value length (16 bits), value bytes; UTF-8, no terminators
//
// Bytes after the last string are ignored: a linker may pad the section.
namespace versionblock {

inline constexpr char kSectionName[] = ".mojiro_version";
inline constexpr std::array<unsigned char, 4> kMagic = {'M', 'J', 'V', 'I'};
inline constexpr std::uint16_t kLayoutVersion = 1;
inline constexpr std::size_t kHeaderSize = 32;
inline constexpr std::size_t kOffsetFileVersion = 6;
inline constexpr std::size_t kOffsetProductVersion = 14;
inline constexpr std::size_t kOffsetFileType = 22;
inline constexpr std::size_t kOffsetLanguage = 26;
inline constexpr std::size_t kOffsetCodePage = 28;
inline constexpr std::size_t kOffsetStringCount = 30;
inline constexpr std::uint32_t kFileTypeApplication = 1;
inline constexpr std::size_t kMaxField = 0xFFFF;

struct FixedInfo {
    std::array<std::uint16_t, 4> fileVersion;
    std::array<std::uint16_t, 4> productVersion;
    std::uint32_t nFileType;
    std::uint16_t nLanguage;
    std::uint16_t nCodePage;
};

struct StringEntry {
    std::string_view key;
    std::string_view value;
};

constexpr bool Fits(std::span<const StringEntry> strings)
{
    if (strings.size() > kMaxField)
        return false;
    for (const StringEntry& entry : strings) {
        if (entry.key.size() > kMaxField || entry.value.size() > kMaxField)
            return false;
    }
    return true;
}

constexpr std::size_t BlockSize(std::span<const StringEntry> strings)
{
    std::size_t nSize = kHeaderSize;
    for (const StringEntry& entry : strings)
        nSize += 2 + entry.key.size() + 2 + entry.value.size();
    return nSize;
}

// Writes the block into out, which must hold exactly BlockSize(strings)
// bytes; false (and nothing promised about out) when it does not or when
// Fits(strings) is false.
constexpr bool WriteBlock(const FixedInfo& fixed, std::span<const StringEntry> strings,
                          std::span<unsigned char> out)
{
    if (!Fits(strings) || out.size() != BlockSize(strings))
        return false;
    std::size_t nPos = 0;
    auto put8 = [&](unsigned nByte) { out[nPos++] = static_cast<unsigned char>(nByte & 0xFF); };
    auto put16 = [&](std::size_t nValue) {
        put8(static_cast<unsigned>(nValue));
        put8(static_cast<unsigned>(nValue >> 8));
    };
    auto putText = [&](std::string_view text) {
        put16(text.size());
        for (char c : text)
            put8(static_cast<unsigned char>(c));
    };
    for (unsigned char c : kMagic)
        put8(c);
    put16(kLayoutVersion);
    for (std::uint16_t nPart : fixed.fileVersion)
        put16(nPart);
    for (std::uint16_t nPart : fixed.productVersion)
        put16(nPart);
    put16(fixed.nFileType & 0xFFFF);
    put16(fixed.nFileType >> 16);
    put16(fixed.nLanguage);
    put16(fixed.nCodePage);
    put16(strings.size());
    for (const StringEntry& entry : strings) {
        putText(entry.key);
        putText(entry.value);
    }
    return nPos == out.size();
}

// For a block that is a compile-time constant; check Fits first.
template <std::size_t N>
constexpr std::array<unsigned char, N> MakeBlock(const FixedInfo& fixed,
                                                 std::span<const StringEntry> strings)
{
    std::array<unsigned char, N> block{};
    WriteBlock(fixed, strings, block);
    return block;
}

} // namespace versionblock
