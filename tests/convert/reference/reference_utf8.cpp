#include "reference_kernels.h"
#include "text_converter.h"
#include "utf16_units.h"
#include "utf8_forms.h"

// UTF-16 <-> UTF-8 one unit and one form at a time.

using namespace utf16_units;
using utf8_forms::DecodeForm;

namespace reference {

bool UnicodeToUtf8(const std::uint8_t* pSource, std::int64_t n, CByteBuffer* pOutput, CTextConverter*)
{
    // Three bytes a unit at most: a pair gives four for two.
    const std::int64_t nUnits = n / 2;
    CByteBuffer work = CByteBuffer::Allocate(3 * nUnits);
    std::uint8_t* q = work.Data();
    for (std::int64_t k = 0; k < nUnits;) {
        const unsigned u = UnitAt(pSource, k);
        if (IsSurrogate(u)) {
            k = PutSurrogates(pSource, k, nUnits, &q);
        } else {
            q = utf8_forms::PutUnit(q, u);
            ++k;
        }
    }
    work.Trim(q - work.Data());
    *pOutput = std::move(work);
    return true;
}

bool Utf8ToUnicode(const std::uint8_t* pSource, std::int64_t n, CByteBuffer* pOutput, CTextConverter*)
{
    // Two bytes a byte at most: a four-byte form gives one pair.
    CByteBuffer work = CByteBuffer::Allocate(2 * n);
    std::uint8_t* q = work.Data();
    std::int64_t i = 0;
    while (i < n) {
        std::uint32_t c;
        i = DecodeForm(pSource, i, n, &c);
        q = PutUtf16(q, c);
    }
    work.Trim(q - work.Data());
    *pOutput = std::move(work);
    return true;
}

} // namespace reference
