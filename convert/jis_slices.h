#pragma once

#include <cstdint>

// The EUC-JP and ISO-2022-JP to Shift_JIS kernels over one slice of a longer
// text, so that a chain can hand each slice to its next stage while it is
// still in cache. Unless bFinal, a unit cut by the slice end is left for the
// next slice; each returns how many input bytes it took. The first two never write more
// bytes than they take.
namespace jis_slices {

std::int64_t EucJpToShiftJis(const std::uint8_t* p, std::int64_t n, bool bFinal, std::uint8_t* pOut);

// EUC-JP straight to UTF-16LE (or UTF-8) for as long as the text is ASCII and
// pairs whose Shift_JIS form is one code-page character: there the two
// stages, EucJpToShiftJis and then decoding, give these units. Stops before
// anything else, and before a pair the end cuts off, and returns the bytes
// taken; *ppOut moves past what it wrote (at most 2, or 3, bytes a byte taken).
std::int64_t EucJpToUnitsWhilePlain(const std::uint8_t* p, std::int64_t n, bool bToUtf8, std::uint8_t** ppOut);

// And the way back, from Shift_JIS. ShiftJisToEucJp writes what it takes;
// ShiftJisToJis keeps the mode across slices and closes it at the end.
std::int64_t ShiftJisToEucJp(const std::uint8_t* p, std::int64_t n, bool bFinal, std::uint8_t* pOut);
std::int64_t ShiftJisToJis(const std::uint8_t* p, std::int64_t n, bool bFinal, bool* pbDoubleByte, std::uint8_t* pOut,
                           std::int64_t* pWritten);

struct JisState {
    bool bDoubleByte = false;
    bool bEnded = false; // a cut-off escape at the end stopped the text
};
std::int64_t JisToShiftJis(const std::uint8_t* p, std::int64_t n, bool bFinal, JisState* pState, std::uint8_t* pOut,
                           std::int64_t* pWritten);

// ISO-2022-JP straight to UTF-16LE (or UTF-8), as EucJpToUnitsWhilePlain:
// ASCII in single-byte mode, the escapes, SO and SI, and pairs below 0x80
// whose Shift_JIS form is one code-page character. Stops before anything
// else, leaving *pState as JisToShiftJis would have it there.
std::int64_t JisToUnitsWhilePlain(const std::uint8_t* p, std::int64_t n, bool bToUtf8, JisState* pState,
                                  std::uint8_t** ppOut);

} // namespace jis_slices
