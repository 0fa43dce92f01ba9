#pragma once

#include <string>

#include "charset.h"
#include "stream_stage.h"

// One row per encoding: which Unicode form it is, if any, and the stages
// that take its text to and from Shift_JIS, the hub of the JIS family.
// Conversions within the family keep to the byte arithmetic of row and cell;
// the family meets Unicode through the code-page bridge of Shift_JIS.
namespace codecs {

enum class Form : std::uint8_t { None, Utf16, Utf8 };

using AddStages = void (*)(StageList& stages, const std::string& strSubstitute);

struct Codec {
    Form form;
    // Null for Shift_JIS itself and for the Unicode forms.
    AddStages addToShiftJis;
    AddStages addFromShiftJis;
};

extern const Codec kCodecs[Charset::Count];

// The stages of a conversion from nSource to nTarget, both valid: none when
// they are the same.
void AddCellStages(CharsetId nSource, CharsetId nTarget, const std::string& strSubstitute, StageList& stages);

} // namespace codecs
