#pragma once

#include <cstdint>
#include <random>

#include "charset.h"
#include "reference_model.h"

// Deterministic test texts: the same seed gives the same bytes on every run
// and every standard library (only the raw engine output of mt19937 is used).
class CRandomText {
public:
    explicit CRandomText(std::uint32_t nSeed) : m_rng(nSeed) {}

    // 0 .. n-1.
    std::uint32_t Below(std::uint32_t n) { return static_cast<std::uint32_t>(m_rng() % n); }

    model::Bytes AnyBytes(std::size_t nLength);

    // Mostly bytes from alphabet, every fourth or so any byte at all.
    model::Bytes FromAlphabet(std::size_t nLength, const model::Bytes& alphabet);

    // Bytes that sit on the decisions of every walk and transcoder of the
    // charset: CR, LF, lead bytes of every class, escape sequences' parts.
    model::Bytes Hostile(CharsetId nCharset, std::size_t nLength);

    // Shift_JIS text of about nLength bytes: ASCII words, CRLF/LF/CR line
    // ends, punctuation, hiragana, katakana, half-width katakana and kanji of
    // both levels, all assigned in code page 932; a whole number of characters.
    // Half-width katakana (single bytes A1-DF) can be left out.
    model::Bytes ShiftJisText(std::size_t nLength, bool bHalfWidthKatakana = true);

    // UTF-16LE text of about nLength bytes: the characters of ShiftJisText
    // plus some that code page 932 cannot represent (Hangul, accented Latin,
    // astral characters as surrogate pairs).
    model::Bytes Utf16Text(std::size_t nLength);

    // Japanese text of about nLength bytes in any of the five encodings.
    model::Bytes JapaneseText(CharsetId nCharset, std::size_t nLength);

private:
    void AppendShiftJisCharacter(model::Bytes& out, bool bHalfWidthKatakana);

    std::mt19937 m_rng;
};
