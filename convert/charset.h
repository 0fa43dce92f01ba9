#pragma once

#include <cstdint>

// Encodings and line endings as the command line, the settings and the
// dialogs number them. -1 means "not given" wherever a value may be absent.
using CharsetId = std::int32_t;
using NLCode = std::int32_t;

namespace Charset {
constexpr CharsetId None = -1;
constexpr CharsetId ShiftJis = 0;
constexpr CharsetId EucJp = 1;
constexpr CharsetId Jis = 2;
constexpr CharsetId Unicode = 3;
constexpr CharsetId Utf8 = 4;
constexpr int Count = 5;

// List and command-line names, indexed by CharsetId.
constexpr const char* const kNames[Count] = {"Shift_JIS", "EUC-JP", "ISO-2022-JP", "Unicode", "UTF-8"};
// Batch report and "%SUFFIX%" short names.
constexpr const char* const kShortNames[Count] = {"sjis", "euc", "jis", "uni", "utf8"};
// Suffixes the main dialog appends to an automatic output name.
constexpr const char* const kOutputSuffixes[Count] = {".sjis", ".euc", ".jis", ".uni", ".utf8"};

constexpr bool IsValid(CharsetId id) { return id >= 0 && id < Count; }

// Whether a conversion can meet a character the target has no form for, or
// ill-formed input, and so uses the substitute text: every conversion into
// the JIS family from another encoding can.
constexpr bool NeedsSubstitute(CharsetId nSource, CharsetId nTarget)
{
    return nSource != nTarget && (nTarget == ShiftJis || nTarget == EucJp || nTarget == Jis);
}

// The mark Unicode files start with. Only files carry it: the converter's
// UTF-16 never does, so callers drop it on reading and write it first.
inline constexpr std::uint8_t kUnicodeMark[2] = {0xFF, 0xFE};
constexpr bool StartsWithUnicodeMark(const std::uint8_t* pData, std::int64_t nLength)
{
    return nLength >= 2 && pData[0] == kUnicodeMark[0] && pData[1] == kUnicodeMark[1];
}

// The UTF-8 mark, EF BB BF.
inline constexpr std::uint8_t kUtf8Mark[3] = {0xEF, 0xBB, 0xBF};
constexpr bool StartsWithUtf8Mark(const std::uint8_t* pData, std::int64_t nLength)
{
    return nLength >= 3 && pData[0] == kUtf8Mark[0] && pData[1] == kUtf8Mark[1] && pData[2] == kUtf8Mark[2];
}

// How many leading bytes of a file the converter is not given: a Unicode
// file's FF FE, which the writer puts back, and a UTF-8 file's EF BB BF
// unless it stays UTF-8, where the mark would become a stray character.
constexpr std::int64_t InputMarkLength(CharsetId nSource, CharsetId nTarget, const std::uint8_t* pData,
                                       std::int64_t nLength)
{
    if (nSource == Unicode && StartsWithUnicodeMark(pData, nLength))
        return 2;
    if (nSource == Utf8 && nTarget != Utf8 && StartsWithUtf8Mark(pData, nLength))
        return 3;
    return 0;
}
} // namespace Charset

namespace NewLine {
constexpr NLCode None = -1;
constexpr NLCode CrLf = 0;
constexpr NLCode Lf = 1;
constexpr NLCode Cr = 2;
constexpr int Count = 3;

constexpr const char* const kNames[Count] = {"CRLF", "LF", "CR"};

// The line ending a target gets when none was chosen.
constexpr NLCode DefaultFor(CharsetId target) { return target == Charset::EucJp ? Lf : CrLf; }
} // namespace NewLine
