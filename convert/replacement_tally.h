#pragma once

#include <cstdint>
#include <string>

#include "charset.h"

// What a conversion replaced, so the user can be told: characters without a
// form in the target (written as the substitute, or dropped when it is
// empty) and ill-formed sequences of the source, with where the first of
// each stands. Kernels report against the text the locating stage was given;
// the line-ending pass in front of it says how many lines came before.
class CReplacementTally {
public:
    struct First {
        std::int64_t nLine = 0;   // from 1
        std::int64_t nColumn = 0; // characters from 1; 0 when not known
        std::uint32_t nValue = 0; // the character, or the first ill-formed byte
    };

    // A character the target has no form for, at pAt in the stage's input.
    void NoForm(const std::uint8_t* pAt, std::uint32_t nCodePoint)
    {
        if (m_nNoForm++ == 0)
            m_firstNoForm = Locate(pAt, nCodePoint);
    }
    // An ill-formed sequence of the source that starts with nByte at pAt.
    void IllFormed(const std::uint8_t* pAt, std::uint8_t nByte)
    {
        if (m_nIllFormed++ == 0)
            m_firstIllFormed = Locate(pAt, nByte);
    }

    // The text the locating stage works on now, in charset nCharset, and the
    // line endings before it.
    void SetInput(const std::uint8_t* p, std::int64_t n, CharsetId nCharset);
    void SetLinesBefore(std::int64_t nLines) { m_nLinesBefore = nLines; }
    // While the stage runs the nCarried bytes it held back joined to the
    // start of its input, copied after them into pScratch (nHave in all).
    void SetScratch(const std::uint8_t* pScratch, std::int64_t nCarried, std::int64_t nHave)
    {
        m_pScratch = pScratch;
        m_nCarried = nCarried;
        m_nHave = nHave;
    }

    // Adds a later piece's tally, whose lines start after nLinesBefore.
    void Add(const CReplacementTally& later, std::int64_t nLinesBefore);

    bool Empty() const { return m_nNoForm == 0 && m_nIllFormed == 0; }

    // What took the place of characters without a form (UTF-8; empty when
    // they were dropped), as the stream was given it.
    std::string m_strSubstitute;

    std::int64_t m_nNoForm = 0;
    std::int64_t m_nIllFormed = 0;
    First m_firstNoForm;
    First m_firstIllFormed;

private:
    First Locate(const std::uint8_t* pAt, std::uint32_t nValue) const;

    const std::uint8_t* m_pInput = nullptr;
    std::int64_t m_nInput = 0;
    CharsetId m_nCharset = Charset::None;
    std::int64_t m_nLinesBefore = 0;
    const std::uint8_t* m_pScratch = nullptr;
    std::int64_t m_nCarried = 0;
    std::int64_t m_nHave = 0;
    bool m_bInputStartsLine = true;
    bool m_bEndedWithLineEnd = true;
};
