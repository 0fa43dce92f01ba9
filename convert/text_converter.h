#pragma once

#include <cstdint>
#include <string>

#include "byte_buffer.h"
#include "charset.h"
#include "text_constants.h"

class CTextConverter;

// The one signature of every conversion stage: reads nSourceLength bytes at
// pSource and stores a new buffer of exactly the produced length in *pOutput.
// Throws std::bad_alloc when memory runs out; otherwise always succeeds.
using ConversionRoutine = bool (*)(const std::uint8_t* pSource, std::int64_t nSourceLength,
                                   CByteBuffer* pOutput, CTextConverter* pConverter);

// Rows are sources, columns targets: index source * 5 + target.
extern const ConversionRoutine ConversionTable[Charset::Count * Charset::Count];

class CTextConverter {
public:
    CTextConverter() = default;
    virtual ~CTextConverter() = default;

    CTextConverter(const CTextConverter&) = delete;
    CTextConverter& operator=(const CTextConverter&) = delete;

    // The converter neither copies nor owns the bytes; they must outlive Convert.
    void SetInput(const std::uint8_t* pData, std::int64_t nLength, CharsetId nCharset)
    {
        m_pInputData = pData;
        m_nInputLength = nLength;
        m_nInputCharset = nCharset;
    }

    void SetOutput(CharsetId nCharset, NLCode nNLCode)
    {
        m_nOutputCharset = nCharset;
        m_nNLCode = nNLCode;
    }

    // Callers guarantee both charsets in 0..4. Throws std::bad_alloc.
    bool Convert(CByteBuffer* pOutput);

    void NormalizeLineEndings(const std::uint8_t* pInput, std::int64_t nLength, CharsetId nCharset,
                              CByteBuffer* pResult) const;

    // 0 Shift_JIS, 1 EUC-JP, 2 ISO-2022-JP, or -1 when undecided.
    CharsetId DetectCharset(const std::uint8_t* pData, std::int64_t nLength) const;

    const std::uint8_t* m_pInputData = nullptr;
    std::int64_t m_nInputLength = -1;
    CharsetId m_nInputCharset = Charset::None;
    // UTF-8 text; the Unicode -> Shift_JIS stage substitutes its first character.
    std::string m_strUnmappableDefaultChar = kDefaultSubstitute;
    CharsetId m_nOutputCharset = Charset::None;
    NLCode m_nNLCode = NewLine::None;
};

// The source of a whole file, as the conversion job detects it: the one
// CCharsetDetector (charset_detector.h) fed the text in one piece; -1 when
// the text is ASCII or empty.
CharsetId DetectFileCharset(const std::uint8_t* pData, std::int64_t nLength);

// The stages, reachable for tests and benchmarks.
bool CopyUnchanged(const std::uint8_t*, std::int64_t, CByteBuffer*, CTextConverter*);
bool ShiftJisToEucJp(const std::uint8_t*, std::int64_t, CByteBuffer*, CTextConverter*);
bool ShiftJisToJis(const std::uint8_t*, std::int64_t, CByteBuffer*, CTextConverter*);
bool EucJpToShiftJis(const std::uint8_t*, std::int64_t, CByteBuffer*, CTextConverter*);
bool JisToShiftJis(const std::uint8_t*, std::int64_t, CByteBuffer*, CTextConverter*);
bool ShiftJisToUnicode(const std::uint8_t*, std::int64_t, CByteBuffer*, CTextConverter*);
bool UnicodeToShiftJis(const std::uint8_t*, std::int64_t, CByteBuffer*, CTextConverter*);
bool UnicodeToUtf8(const std::uint8_t*, std::int64_t, CByteBuffer*, CTextConverter*);
bool Utf8ToUnicode(const std::uint8_t*, std::int64_t, CByteBuffer*, CTextConverter*);
// Chained cells.
bool ShiftJisToUtf8(const std::uint8_t*, std::int64_t, CByteBuffer*, CTextConverter*);
bool EucJpToJis(const std::uint8_t*, std::int64_t, CByteBuffer*, CTextConverter*);
bool EucJpToUnicode(const std::uint8_t*, std::int64_t, CByteBuffer*, CTextConverter*);
bool EucJpToUtf8(const std::uint8_t*, std::int64_t, CByteBuffer*, CTextConverter*);
bool JisToEucJp(const std::uint8_t*, std::int64_t, CByteBuffer*, CTextConverter*);
bool JisToUnicode(const std::uint8_t*, std::int64_t, CByteBuffer*, CTextConverter*);
bool JisToUtf8(const std::uint8_t*, std::int64_t, CByteBuffer*, CTextConverter*);
bool UnicodeToEucJp(const std::uint8_t*, std::int64_t, CByteBuffer*, CTextConverter*);
bool UnicodeToJis(const std::uint8_t*, std::int64_t, CByteBuffer*, CTextConverter*);
bool Utf8ToShiftJis(const std::uint8_t*, std::int64_t, CByteBuffer*, CTextConverter*);
bool Utf8ToEucJp(const std::uint8_t*, std::int64_t, CByteBuffer*, CTextConverter*);
bool Utf8ToJis(const std::uint8_t*, std::int64_t, CByteBuffer*, CTextConverter*);
