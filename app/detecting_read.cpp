#include "detecting_read.h"

#include <algorithm>

#include "../convert/charset_detector.h"

namespace {

// Reads and drops what was read once already, after a rewind.
void Skip(IFileSystem::IInputFile& input, std::vector<std::uint8_t>& block, std::int64_t nBytes)
{
    while (nBytes > 0) {
        const std::int64_t n =
            input.Read(block.data(), std::min(nBytes, static_cast<std::int64_t>(block.size())));
        if (n == 0)
            throw CFileException("", "changed while it was read");
        nBytes -= n;
    }
}

} // namespace

DetectedInput DetectInput(IFileSystem::IInputFile& input, std::int64_t nBlock, bool bHold, std::int64_t nHoldLimit)
{
    DetectedInput result;
    CCharsetDetector detector;
    std::vector<std::uint8_t> block(static_cast<std::size_t>(nBlock));
    bool bHolding = bHold;
    bool bRewound = false;

    while (!detector.Decided()) {
        const std::int64_t nHeld = static_cast<std::int64_t>(result.held.size());
        const std::int64_t n = input.Read(block.data(), bHolding ? std::min(nBlock, nHoldLimit - nHeld) : nBlock);
        if (n == 0) {
            result.bAtEnd = true;
            break;
        }
        detector.Feed(block.data(), n);
        if (!bHolding)
            continue;
        // A block (all of a small file), then room for the whole hold at
        // once: growing by doubling would copy, and for a moment need half
        // as much again.
        if (nHeld + n > static_cast<std::int64_t>(result.held.capacity()))
            result.held.reserve(static_cast<std::size_t>(nHeld == 0 ? std::min(nBlock, nHoldLimit) : nHoldLimit));
        result.held.insert(result.held.end(), block.data(), block.data() + n);
        if (nHeld + n < nHoldLimit || detector.Decided())
            continue;
        // Full: a pipe is decided from what it holds; a file is read on,
        // holding nothing, and converted from its start again.
        if (!input.Rewind())
            break;
        Skip(input, block, nHeld + n);
        result.held.clear();
        result.held.shrink_to_fit();
        bHolding = false;
        bRewound = true;
    }
    if (bRewound) {
        if (!input.Rewind())
            throw CFileException("", "cannot be read again from its start");
        result.bAtEnd = false;
    }
    result.nCharset = detector.Finish();
    return result;
}
