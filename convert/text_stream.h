#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "byte_sink.h"
#include "charset.h"
#include "stream_stage.h"

// A conversion fed in pieces of any size: the bytes handed to the sink are
// the same for every split of the text (CTextConverter::Convert is this
// stream fed in one piece; no byte-order marks either way). Memory stays fixed whatever
// the text's length: each stage works through a buffer of one block and
// holds back only the few bytes of a unit that a piece cuts off.
class CTextStream {
public:
    // Without bLineEndingPass the text keeps its line endings and nNLCode is
    // not used: the conversion of one cell alone. The tally, when given,
    // hears of every replacement.
    CTextStream(CharsetId nSource, CharsetId nTarget, NLCode nNLCode, const std::string& strUnmappableDefaultChar,
                IByteSink& sink, bool bLineEndingPass = true, CReplacementTally* pTally = nullptr);
    ~CTextStream();

    CTextStream(const CTextStream&) = delete;
    CTextStream& operator=(const CTextStream&) = delete;

    // Throws std::bad_alloc.
    void Write(const std::uint8_t* pData, std::int64_t nLength);
    // Ends the text: what was held back and the closing bytes go out.
    void Finish();

    // The line endings the text had so far.
    std::int64_t Lines() const;

private:
    StageList m_stages;
    CStreamStage* m_pLineEndings = nullptr;
    IByteSink& m_sink;
};
