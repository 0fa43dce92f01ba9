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

// Whether a conversion can meet a character the target has no form for, and
// so uses the substitute text: only Unicode text encoded to a code-page 932
// family target can.
constexpr bool NeedsSubstitute(CharsetId nSource, CharsetId nTarget)
{
    return (nSource == Unicode || nSource == Utf8) && (nTarget == ShiftJis || nTarget == EucJp || nTarget == Jis);
}

// The mark Unicode files start with. Only files carry it: the converter's
// UTF-16 never does, so callers drop it on reading and write it first.
inline constexpr std::uint8_t kUnicodeMark[2] = {0xFF, 0xFE};
constexpr bool StartsWithUnicodeMark(const std::uint8_t* pData, std::int64_t nLength)
{
    return nLength >= 2 && pData[0] == kUnicodeMark[0] && pData[1] == kUnicodeMark[1];
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
