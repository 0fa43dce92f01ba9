#pragma once

#include <string>

#include "../convert/charset.h"
#include "../convert/replacement_tally.h"

// What a user is told of a conversion that replaced or dropped characters:
// one line on standard error in batch mode, a sentence in the window's
// success box. Empty for a clean conversion.
namespace replacement_notice {

// "name: 2 characters have no form in Shift_JIS and became "_" (the first,
// U+1F600, at line 1, column 2); ..."
std::string Line(const std::string& strName, const CReplacementTally& tally, CharsetId nTarget);

// The same in Japanese, for the window.
std::string Sentence(const CReplacementTally& tally, CharsetId nTarget);

} // namespace replacement_notice
