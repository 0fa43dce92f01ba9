#pragma once

#include <string>

#include "charset.h"
#include "stream_stage.h"

// Every conversion is one stage after the line-ending pass: within the JIS
// family by the byte arithmetic of row and cell, from a family member
// straight into either Unicode form and back, or between the two forms.
namespace codecs {

// The Unicode form an encoding is; None for the JIS family.
enum class Form : std::uint8_t { None, Utf16, Utf8 };

struct Codec {
    Form form;
};

extern const Codec kCodecs[Charset::Count];

// The stages of a conversion from nSource to nTarget, both valid: none when
// they are the same. The tally, when given, hears of every replacement.
void AddCellStages(CharsetId nSource, CharsetId nTarget, const std::string& strSubstitute, CReplacementTally* pTally,
                   StageList& stages);

} // namespace codecs
