#include "codecs.h"

#include "cp932_bridge.h"
#include "replacement_tally.h"
#include "jis_slices.h"
#include "unicode_forms.h"

namespace codecs {

namespace {

using jis_escapes::Mode;
using jis_slices::JisState;

template <class Kernel>
void Add(StageList& stages, std::int64_t nPerByte, std::int64_t nExtra, Kernel kernel)
{
    AddKernelStage(stages, std::move(kernel), nPerByte, nExtra);
}

// The conversions within the family, by row and cell.
void AddFamilyStage(CharsetId nSource, CharsetId nTarget, const cp932::Substitute& sub, CReplacementTally* t,
                    StageList& stages)
{
    using Out = std::uint8_t*;
    using In = const std::uint8_t*;
    switch (nSource * Charset::Count + nTarget) {
    case Charset::ShiftJis * Charset::Count + Charset::EucJp:
        return Add(stages, jis_slices::kPerByteToEucJp, 0, [sub, t](In p, std::int64_t n, bool f, Out o, std::int64_t* w) {
            return jis_slices::ShiftJisToEucJp(p, n, f, sub, o, w, t);
        });
    case Charset::ShiftJis * Charset::Count + Charset::Jis:
        return Add(stages, jis_slices::kPerByteToJis, jis_slices::kEndOfJis,
                   [sub, t, mode = Mode::Ascii](In p, std::int64_t n, bool f, Out o, std::int64_t* w) mutable {
                       return jis_slices::ShiftJisToJis(p, n, f, sub, &mode, o, w, t);
                   });
    case Charset::EucJp * Charset::Count + Charset::ShiftJis:
        return Add(stages, 2, 0, [sub, t](In p, std::int64_t n, bool f, Out o, std::int64_t* w) {
            return jis_slices::EucJpToShiftJis(p, n, f, sub, o, w, t);
        });
    case Charset::EucJp * Charset::Count + Charset::Jis:
        return Add(stages, jis_slices::kPerByteToJis, jis_slices::kEndOfJis,
                   [sub, t, mode = Mode::Ascii](In p, std::int64_t n, bool f, Out o, std::int64_t* w) mutable {
                       return jis_slices::EucJpToJis(p, n, f, sub, &mode, o, w, t);
                   });
    case Charset::Jis * Charset::Count + Charset::ShiftJis:
        return Add(stages, 2, 0, [sub, t, state = JisState{}](In p, std::int64_t n, bool f, Out o, std::int64_t* w) mutable {
            return jis_slices::JisToShiftJis(p, n, f, sub, &state, o, w, t);
        });
    case Charset::Jis * Charset::Count + Charset::EucJp:
        return Add(stages, jis_slices::kPerByteToEucJp, 0,
                   [sub, t, state = JisState{}](In p, std::int64_t n, bool f, Out o, std::int64_t* w) mutable {
                       return jis_slices::JisToEucJp(p, n, f, sub, &state, o, w, t);
                   });
    default:
        return;
    }
}

// A family member decoded straight into either Unicode form.
void AddDecoder(CharsetId nSource, Form to, CReplacementTally* t, StageList& stages)
{
    const bool bToUtf8 = to == Form::Utf8;
    using Out = std::uint8_t*;
    using In = const std::uint8_t*;
    if (nSource == Charset::ShiftJis)
        return Add(stages, bToUtf8 ? 3 : 2, 8, [bToUtf8, t](In p, std::int64_t n, bool f, Out o, std::int64_t* w) {
            std::int64_t consumed = 0;
            *w = cp932::DecodePart(p, n, f, bToUtf8, o, &consumed, t);
            return consumed;
        });
    if (nSource == Charset::EucJp)
        return Add(stages, jis_slices::kPerByteToUtf8, 0, [bToUtf8, t](In p, std::int64_t n, bool f, Out o, std::int64_t* w) {
            return jis_slices::EucJpToUnicode(p, n, f, bToUtf8, o, w, t);
        });
    Add(stages, jis_slices::kPerByteToUtf8, 0,
        [bToUtf8, t, state = JisState{}](In p, std::int64_t n, bool f, Out o, std::int64_t* w) mutable {
            return jis_slices::JisToUnicode(p, n, f, bToUtf8, &state, o, w, t);
        });
}

// Unicode text is cut between characters: nothing there depends on what
// came before. Convert(p, c, bFinal, out) returns the bytes written.
template <class Convert>
void AddCutStage(StageList& stages, Form from, std::int64_t nPerByte, std::int64_t nExtra, Convert convert)
{
    const auto cut = from == Form::Utf16 ? unicode_forms::Utf16Cut : unicode_forms::Utf8Cut;
    AddKernelStage(
        stages,
        [cut, convert](const std::uint8_t* p, std::int64_t n, bool bFinal, std::uint8_t* out,
                       std::int64_t* pWritten) mutable {
            const std::int64_t c = bFinal ? n : cut(p, n);
            *pWritten = convert(p, c, bFinal, out);
            return c;
        },
        nPerByte, nExtra);
}

void AddEncoder(Form from, CharsetId nTarget, const cp932::Substitute& sub, CReplacementTally* t, StageList& stages)
{
    using In = const std::uint8_t*;
    const bool bFromUtf8 = from == Form::Utf8;
    if (nTarget == Charset::ShiftJis)
        return AddCutStage(stages, from, 2, 2, [sub, bFromUtf8, t](In p, std::int64_t n, bool, std::uint8_t* o) {
            if (bFromUtf8)
                return cp932::EncodeFromUtf8(p, n, sub, o, t);
            const std::int64_t written = cp932::Encode(p, n / 2, sub, o, t);
            if ((n & 1) == 0)
                return written;
            if (t != nullptr)
                t->IllFormed(p + n - 1, p[n - 1]); // an odd last byte
            return cp932::PutSubstitute(o + written, sub) - o;
        });
    if (nTarget == Charset::EucJp)
        return AddCutStage(stages, from, jis_slices::kPerByteToEucJp, 2,
                           [sub, bFromUtf8, t](In p, std::int64_t n, bool, std::uint8_t* o) {
                               return jis_slices::UnicodeToEucJp(p, n, bFromUtf8, sub, o, t);
                           });
    AddCutStage(stages, from, jis_slices::kPerByteToJis, jis_slices::kEndOfJis,
                [sub, bFromUtf8, t, mode = Mode::Ascii](In p, std::int64_t n, bool f, std::uint8_t* o) mutable {
                    return jis_slices::UnicodeToJis(p, n, bFromUtf8, f, sub, &mode, o, t);
                });
}

void AddBetweenForms(Form from, CReplacementTally* t, StageList& stages)
{
    if (from == Form::Utf16)
        AddCutStage(stages, from, 2, 3, [t](const std::uint8_t* p, std::int64_t n, bool, std::uint8_t* o) {
            return unicode_forms::Utf16ToUtf8(p, n, o, t);
        });
    else
        AddCutStage(stages, from, 2, 0, [t](const std::uint8_t* p, std::int64_t n, bool, std::uint8_t* o) {
            return unicode_forms::Utf8ToUtf16(p, n, o, t);
        });
}

} // namespace

const Codec kCodecs[Charset::Count] = {
    {Form::None},  // Shift_JIS
    {Form::None},  // EUC-JP
    {Form::None},  // ISO-2022-JP
    {Form::Utf16}, // Unicode
    {Form::Utf8},  // UTF-8
};

void AddCellStages(CharsetId nSource, CharsetId nTarget, const std::string& strSubstitute, CReplacementTally* pTally,
                   StageList& stages)
{
    if (nSource == nTarget)
        return;
    const Form from = kCodecs[nSource].form;
    const Form to = kCodecs[nTarget].form;
    const cp932::Substitute substitute = cp932::MakeSubstitute(strSubstitute);
    if (from == Form::None && to == Form::None)
        AddFamilyStage(nSource, nTarget, substitute, pTally, stages);
    else if (from == Form::None)
        AddDecoder(nSource, to, pTally, stages);
    else if (to == Form::None)
        AddEncoder(from, nTarget, substitute, pTally, stages);
    else
        AddBetweenForms(from, pTally, stages);
}

} // namespace codecs
