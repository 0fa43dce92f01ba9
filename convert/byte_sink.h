#pragma once

#include <cstdint>

// Where a conversion in pieces hands its output, piece by piece. The bytes
// are only valid during the call.
class IByteSink {
public:
    virtual ~IByteSink() = default;
    virtual void Put(const std::uint8_t* pData, std::int64_t nLength) = 0;

    // A sink that gathers the bytes may let the last stage write straight
    // into its memory: room for nLength bytes, or null to be given them by
    // Put. Wrote(n) then makes the first n of them the next output.
    virtual std::uint8_t* Room(std::int64_t /*nLength*/) { return nullptr; }
    virtual void Wrote(std::int64_t /*nLength*/) {}
};
