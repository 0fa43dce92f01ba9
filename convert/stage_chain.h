#pragma once

#include <cstdint>

#include "text_converter.h"

// Two stages one after the other through a temporary buffer, which lives
// only until the second stage returns.
template <ConversionRoutine First, ConversionRoutine Second>
bool Chain(const std::uint8_t* pSource, std::int64_t n, CByteBuffer* pOutput, CTextConverter* pConverter)
{
    CByteBuffer temp;
    if (!First(pSource, n, &temp, pConverter))
        return false;
    return Second(temp.Data(), temp.Size(), pOutput, pConverter);
}
