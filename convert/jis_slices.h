#pragma once

#include <cstdint>

#include "cp932_bridge.h"
#include "jis_escapes.h"

// The kernels among Shift_JIS, EUC-JP and ISO-2022-JP over one slice of a
// longer text, so that a chain can hand each slice to its next stage while it
// is still in cache. Unless bFinal, a unit cut by the slice end is left for
// the next slice; each returns how many input bytes it took and sets
// *pWritten to the bytes it wrote.
namespace jis_slices {

// Never writes more bytes than it takes: katakana lose their 8E, and a JIS
// X 0212 character (8F and two bytes) becomes the substitute.
std::int64_t EucJpToShiftJis(const std::uint8_t* p, std::int64_t n, bool bFinal, const cp932::Substitute& substitute,
                             std::uint8_t* pOut, std::int64_t* pWritten);

// EUC-JP straight to UTF-16LE (or UTF-8) for as long as the text is ASCII,
// katakana and pairs whose Shift_JIS form is one code-page character: there
// the two stages, EucJpToShiftJis and then decoding, give these units. Stops
// before anything else, and before a unit the end cuts off, and returns the
// bytes taken; *ppOut moves past what it wrote (at most 2, or 3, bytes a byte
// taken).
std::int64_t EucJpToUnitsWhilePlain(const std::uint8_t* p, std::int64_t n, bool bToUtf8, std::uint8_t** ppOut);

// At most two bytes a byte taken: katakana gain their 8E.
std::int64_t ShiftJisToEucJp(const std::uint8_t* p, std::int64_t n, bool bFinal, std::uint8_t* pOut,
                             std::int64_t* pWritten);

// Keeps the mode across slices and returns to ASCII at the end; at most four
// bytes a byte taken, and three more for the closing escape.
std::int64_t ShiftJisToJis(const std::uint8_t* p, std::int64_t n, bool bFinal, jis_escapes::Mode* pMode,
                           std::uint8_t* pOut, std::int64_t* pWritten);

struct JisState {
    jis_escapes::Mode mode = jis_escapes::Mode::Ascii;
    bool bEnded = false; // a cut-off escape at the end stopped the text
};
// Never writes more bytes than it takes.
std::int64_t JisToShiftJis(const std::uint8_t* p, std::int64_t n, bool bFinal, JisState* pState, std::uint8_t* pOut,
                           std::int64_t* pWritten);

// ISO-2022-JP straight to UTF-16LE (or UTF-8), as EucJpToUnitsWhilePlain:
// ASCII, katakana, the escapes, SO and SI, and pairs below 0x80 whose
// Shift_JIS form is one code-page character. Stops before anything else,
// leaving *pState as JisToShiftJis would have it there.
std::int64_t JisToUnitsWhilePlain(const std::uint8_t* p, std::int64_t n, bool bToUtf8, JisState* pState,
                                  std::uint8_t** ppOut);

} // namespace jis_slices
