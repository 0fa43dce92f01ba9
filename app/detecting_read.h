#pragma once

#include <cstdint>
#include <vector>

#include "../convert/charset.h"
#include "../framework/file_system.h"

// Reads an input until its source encoding is known, through the one
// detector. An input that can be read again is read as far as detection
// needs and set back to where it began; one that cannot (a pipe) is held
// up to nHoldLimit bytes and decided from those. Holding or not, the answer
// for the same bytes is the same, whatever the reads return at a time.
struct DetectedInput {
    CharsetId nCharset = Charset::None; // -1: the text is ASCII or empty
    // The bytes read and kept, to be converted before the rest; empty when
    // the input was set back to its start.
    std::vector<std::uint8_t> held;
    bool bAtEnd = false; // nothing follows the held bytes
};

// bHold false: keeps nothing (and leaves the input wherever it is). Throws
// CFileException.
DetectedInput DetectInput(IFileSystem::IInputFile& input, std::int64_t nBlock, bool bHold, std::int64_t nHoldLimit);
