#include "codecs.h"

#include "cp932_bridge.h"
#include "jis_slices.h"
#include "unicode_forms.h"

namespace codecs {

namespace {

void EucJpToShiftJis(StageList& stages, const std::string& strSubstitute)
{
    AddKernelStage(
        stages,
        [substitute = cp932::MakeSubstitute(strSubstitute)](const std::uint8_t* p, std::int64_t n, bool bFinal,
                                                             std::uint8_t* out, std::int64_t* pWritten) {
            return jis_slices::EucJpToShiftJis(p, n, bFinal, substitute, out, pWritten);
        },
        1, 0);
}

void ShiftJisToEucJp(StageList& stages, const std::string&)
{
    AddKernelStage(stages, jis_slices::ShiftJisToEucJp, 2, 0);
}

void JisToShiftJis(StageList& stages, const std::string&)
{
    AddKernelStage(
        stages,
        [state = jis_slices::JisState{}](const std::uint8_t* p, std::int64_t n, bool bFinal, std::uint8_t* out,
                                         std::int64_t* pWritten) mutable {
            return jis_slices::JisToShiftJis(p, n, bFinal, &state, out, pWritten);
        },
        1, 0);
}

void ShiftJisToJis(StageList& stages, const std::string&)
{
    AddKernelStage(
        stages,
        [mode = jis_escapes::Mode::Ascii](const std::uint8_t* p, std::int64_t n, bool bFinal, std::uint8_t* out,
                                          std::int64_t* pWritten) mutable {
            return jis_slices::ShiftJisToJis(p, n, bFinal, &mode, out, pWritten);
        },
        4, 3);
}

// Shift_JIS decoded straight into either Unicode form.
void ShiftJisToForm(StageList& stages, Form form)
{
    const bool bToUtf8 = form == Form::Utf8;
    AddKernelStage(
        stages,
        [bToUtf8](const std::uint8_t* p, std::int64_t n, bool bFinal, std::uint8_t* out, std::int64_t* pWritten) {
            std::int64_t consumed = 0;
            *pWritten = cp932::DecodePart(p, n, bFinal, bToUtf8, out, &consumed);
            return consumed;
        },
        bToUtf8 ? 3 : 2, 8);
}

// Unicode text is cut between characters: nothing there depends on what
// came before.
template <class Convert>
void AddCutStage(StageList& stages, Form from, Convert convert, std::int64_t nPerByte)
{
    const auto cut = from == Form::Utf16 ? unicode_forms::Utf16Cut : unicode_forms::Utf8Cut;
    AddKernelStage(
        stages,
        [cut, convert](const std::uint8_t* p, std::int64_t n, bool bFinal, std::uint8_t* out,
                       std::int64_t* pWritten) {
            const std::int64_t c = bFinal ? n : cut(p, n);
            *pWritten = c > 0 ? convert(p, c, out) : 0;
            return c;
        },
        nPerByte, 0);
}

void FormToShiftJis(StageList& stages, Form from, const std::string& strSubstitute)
{
    const cp932::Substitute substitute = cp932::MakeSubstitute(strSubstitute);
    if (from == Form::Utf16)
        AddCutStage(
            stages, from,
            [substitute](const std::uint8_t* p, std::int64_t n, std::uint8_t* out) {
                return cp932::Encode(p, n / 2, substitute, out);
            },
            1);
    else
        AddCutStage(
            stages, from,
            [substitute](const std::uint8_t* p, std::int64_t n, std::uint8_t* out) {
                return cp932::EncodeFromUtf8(p, n, substitute, out);
            },
            2);
}

void BetweenForms(StageList& stages, Form from)
{
    if (from == Form::Utf16)
        AddCutStage(stages, from, unicode_forms::Utf16ToUtf8, 2);
    else
        AddCutStage(stages, from, unicode_forms::Utf8ToUtf16, 2);
}

} // namespace

const Codec kCodecs[Charset::Count] = {
    {Form::None, nullptr, nullptr},                    // Shift_JIS
    {Form::None, EucJpToShiftJis, ShiftJisToEucJp},    // EUC-JP
    {Form::None, JisToShiftJis, ShiftJisToJis},        // ISO-2022-JP
    {Form::Utf16, nullptr, nullptr},                   // Unicode
    {Form::Utf8, nullptr, nullptr},                    // UTF-8
};

void AddCellStages(CharsetId nSource, CharsetId nTarget, const std::string& strSubstitute, StageList& stages)
{
    if (nSource == nTarget)
        return;
    const Codec& from = kCodecs[nSource];
    const Codec& to = kCodecs[nTarget];
    if (from.form != Form::None && to.form != Form::None) {
        BetweenForms(stages, from.form);
        return;
    }
    if (from.addToShiftJis != nullptr)
        from.addToShiftJis(stages, strSubstitute);
    if (from.form != Form::None)
        FormToShiftJis(stages, from.form, strSubstitute);
    if (to.form != Form::None)
        ShiftJisToForm(stages, to.form);
    if (to.addFromShiftJis != nullptr)
        to.addFromShiftJis(stages, strSubstitute);
}

} // namespace codecs
