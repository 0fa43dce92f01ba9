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
