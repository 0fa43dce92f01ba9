#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "byte_sink.h"
#include "charset.h"

// A conversion fed in pieces of any size: the bytes handed to the sink are,
// for every split of the text, those CTextConverter::Convert gives for the
// whole text (no byte-order marks either way). Memory stays fixed whatever
// the text's length: each stage works through a buffer of one block and
// holds back only the few bytes of a unit that a piece cuts off.
class CTextStream {
public:
    CTextStream(CharsetId nSource, CharsetId nTarget, NLCode nNLCode, const std::string& strUnmappableDefaultChar,
                IByteSink& sink);
    ~CTextStream();

    CTextStream(const CTextStream&) = delete;
    CTextStream& operator=(const CTextStream&) = delete;

    // Throws std::bad_alloc.
    void Write(const std::uint8_t* pData, std::int64_t nLength);
    // Ends the text: what was held back and the closing bytes go out.
    void Finish();

    class CStage;

private:
    std::vector<std::unique_ptr<CStage>> m_stages;
    IByteSink& m_sink;
};
