#pragma once

#include <cstdint>

#include "byte_buffer.h"
#include "line_endings.h"

class CTextConverter;

// The plain one-unit-at-a-time kernels: the readable definition of each
// stage, which the fast ones the table runs must match byte for byte. Only
// the tests and the fuzzer use them.
namespace reference {

bool ShiftJisToEucJp(const std::uint8_t*, std::int64_t, CByteBuffer*, CTextConverter*);
bool ShiftJisToJis(const std::uint8_t*, std::int64_t, CByteBuffer*, CTextConverter*);
bool EucJpToShiftJis(const std::uint8_t*, std::int64_t, CByteBuffer*, CTextConverter*);
bool JisToShiftJis(const std::uint8_t*, std::int64_t, CByteBuffer*, CTextConverter*);
bool UnicodeToUtf8(const std::uint8_t*, std::int64_t, CByteBuffer*, CTextConverter*);
bool Utf8ToUnicode(const std::uint8_t*, std::int64_t, CByteBuffer*, CTextConverter*);
// Through a UTF-16 buffer, stage by stage.
bool ShiftJisToUtf8(const std::uint8_t*, std::int64_t, CByteBuffer*, CTextConverter*);
bool Utf8ToShiftJis(const std::uint8_t*, std::int64_t, CByteBuffer*, CTextConverter*);
bool EucJpToUnicode(const std::uint8_t*, std::int64_t, CByteBuffer*, CTextConverter*);
bool EucJpToUtf8(const std::uint8_t*, std::int64_t, CByteBuffer*, CTextConverter*);
bool JisToUnicode(const std::uint8_t*, std::int64_t, CByteBuffer*, CTextConverter*);
bool JisToUtf8(const std::uint8_t*, std::int64_t, CByteBuffer*, CTextConverter*);
bool UnicodeToEucJp(const std::uint8_t*, std::int64_t, CByteBuffer*, CTextConverter*);
bool UnicodeToJis(const std::uint8_t*, std::int64_t, CByteBuffer*, CTextConverter*);
bool Utf8ToEucJp(const std::uint8_t*, std::int64_t, CByteBuffer*, CTextConverter*);
bool Utf8ToJis(const std::uint8_t*, std::int64_t, CByteBuffer*, CTextConverter*);

// The line-ending walk of a charset; null outside 0..4.
line_endings::Walk LineEndingWalk(CharsetId nCharset);

} // namespace reference
