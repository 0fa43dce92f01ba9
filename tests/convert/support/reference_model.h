#pragma once

// A slow, plain model of the whole conversion engine, one unit at a time on
// std::vector, written without looking at the engine. Tests hold the engine
// against it byte for byte. Only the data tables are shared (the code-page-932
// bridge, the IBM-extension twins, JIS X 0212): they have tests of their own.
//
// Each JIS-family encoding is read into units (a byte, a katakana, a JIS X
// 0208 or JIS X 0212 row and cell, or a unit without a form) and written from
// them, so the family keeps its row/cell arithmetic among itself and meets
// Unicode one character at a time.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "charset.h"

namespace model {

using Bytes = std::vector<std::uint8_t>;

// "41 0D 0A" -> {0x41, 0x0D, 0x0A}; blanks are ignored.
Bytes FromHex(std::string_view hex);
// {0x41, 0x0D} -> "41 0D".
std::string ToHex(const Bytes& bytes);

// The line-ending pass; a charset outside 0..4 gives an empty result.
Bytes NormalizeLineEndings(const Bytes& in, CharsetId charset, NLCode code);

// 0, 1, 2 or -1.
CharsetId DetectCharset(const Bytes& in);

// The stages. strSubstitute is the converter's UTF-8 setting; the one-argument
// forms use "_".
Bytes ShiftJisToEucJp(const Bytes& in, const std::string& strSubstitute);
Bytes ShiftJisToJis(const Bytes& in, const std::string& strSubstitute);
Bytes EucJpToShiftJis(const Bytes& in, const std::string& strSubstitute);
Bytes JisToShiftJis(const Bytes& in, const std::string& strSubstitute);
Bytes ShiftJisToEucJp(const Bytes& in);
Bytes ShiftJisToJis(const Bytes& in);
Bytes EucJpToShiftJis(const Bytes& in);
Bytes JisToShiftJis(const Bytes& in);
Bytes EucJpToJis(const Bytes& in, const std::string& strSubstitute);
Bytes JisToEucJp(const Bytes& in, const std::string& strSubstitute);
Bytes ShiftJisToUnicode(const Bytes& in);
Bytes UnicodeToShiftJis(const Bytes& in, const std::string& strSubstitute);
Bytes UnicodeToUtf8(const Bytes& in);
Bytes Utf8ToUnicode(const Bytes& in);

// The cell source * 5 + target of the conversion table, without the
// line-ending pass.
Bytes ConvertCell(const Bytes& in, CharsetId source, CharsetId target, const std::string& strSubstitute);

// A whole conversion: the line-ending pass, then the cell.
Bytes Convert(const Bytes& in, CharsetId source, CharsetId target, NLCode code, const std::string& strSubstitute);

} // namespace model
