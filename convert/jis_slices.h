#pragma once

#include <cstdint>

#include "cp932_bridge.h"
#include "jis_escapes.h"
#include "jis_family.h"

class CReplacementTally;

// The kernels of the JIS family over one slice of a longer text. Unless
// bFinal, a unit the slice end may cut off is left for the next slice; each
// returns how many input bytes it took and sets *pWritten to the bytes it
// wrote. The substitute stands for what has no form in the target; the
// tally, when given, hears of each.
namespace jis_slices {

// Bounds on what the kernels write, per byte taken and once at the end.
inline constexpr std::int64_t kPerByteToEucJp = 3;  // a JIS X 0212 substitute for a lone byte
inline constexpr std::int64_t kPerByteToJis = 6;    // and its escape, then a return to ASCII
inline constexpr std::int64_t kEndOfJis = 8;        // the closing escape, and a cut-off unit's substitute
inline constexpr std::int64_t kPerByteToUtf8 = 3;   // U+FFFD for a lone byte

using JisState = jis_family::JisReader;

std::int64_t ShiftJisToEucJp(const std::uint8_t* p, std::int64_t n, bool bFinal, const cp932::Substitute& substitute,
                             std::uint8_t* pOut, std::int64_t* pWritten,
                             CReplacementTally* pTally = nullptr);
// Never writes more bytes than it takes.
std::int64_t EucJpToShiftJis(const std::uint8_t* p, std::int64_t n, bool bFinal, const cp932::Substitute& substitute,
                             std::uint8_t* pOut, std::int64_t* pWritten,
                             CReplacementTally* pTally = nullptr);
// The writers keep their mode across slices and return to ASCII at the end.
std::int64_t ShiftJisToJis(const std::uint8_t* p, std::int64_t n, bool bFinal, const cp932::Substitute& substitute,
                           jis_escapes::Mode* pMode, std::uint8_t* pOut, std::int64_t* pWritten,
                             CReplacementTally* pTally = nullptr);
std::int64_t EucJpToJis(const std::uint8_t* p, std::int64_t n, bool bFinal, const cp932::Substitute& substitute,
                        jis_escapes::Mode* pMode, std::uint8_t* pOut, std::int64_t* pWritten,
                             CReplacementTally* pTally = nullptr);
// The reader keeps its mode across slices.
std::int64_t JisToShiftJis(const std::uint8_t* p, std::int64_t n, bool bFinal, const cp932::Substitute& substitute,
                           JisState* pState, std::uint8_t* pOut, std::int64_t* pWritten,
                             CReplacementTally* pTally = nullptr);
std::int64_t JisToEucJp(const std::uint8_t* p, std::int64_t n, bool bFinal, const cp932::Substitute& substitute,
                        JisState* pState, std::uint8_t* pOut, std::int64_t* pWritten,
                             CReplacementTally* pTally = nullptr);

// Straight into UTF-16LE or UTF-8, JIS X 0212 included.
std::int64_t EucJpToUnicode(const std::uint8_t* p, std::int64_t n, bool bFinal, bool bToUtf8, std::uint8_t* pOut,
                            std::int64_t* pWritten,
                             CReplacementTally* pTally = nullptr);
std::int64_t JisToUnicode(const std::uint8_t* p, std::int64_t n, bool bFinal, bool bToUtf8, JisState* pState,
                          std::uint8_t* pOut, std::int64_t* pWritten,
                             CReplacementTally* pTally = nullptr);

// And back, from text cut between characters (an odd UTF-16 byte only at
// the end): what code page 932 writes, else JIS X 0212, else the
// substitute. Return the bytes written.
std::int64_t UnicodeToEucJp(const std::uint8_t* p, std::int64_t n, bool bFromUtf8, const cp932::Substitute& substitute,
                            std::uint8_t* pOut, CReplacementTally* pTally = nullptr);
std::int64_t UnicodeToJis(const std::uint8_t* p, std::int64_t n, bool bFromUtf8, bool bFinal,
                          const cp932::Substitute& substitute, jis_escapes::Mode* pMode, std::uint8_t* pOut,
                          CReplacementTally* pTally = nullptr);

} // namespace jis_slices
