#pragma once

#include <cstdint>

// Where a conversion in pieces hands its output, piece by piece. The bytes
// are only valid during the call.
class IByteSink {
public:
    virtual ~IByteSink() = default;
    virtual void Put(const std::uint8_t* pData, std::int64_t nLength) = 0;
};
