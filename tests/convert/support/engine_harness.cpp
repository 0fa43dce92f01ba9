#include "engine_harness.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace harness {

namespace {

// A block of exactly in.size() bytes (a zero-byte block for empty input).
std::unique_ptr<std::uint8_t[]> ExactCopy(const model::Bytes& in)
{
    auto block = std::make_unique<std::uint8_t[]>(in.size());
    if (!in.empty())
        std::memcpy(block.get(), in.data(), in.size());
    return block;
}

model::Bytes ToBytes(const CByteBuffer& buffer)
{
    EXPECT_GE(buffer.Size(), 0);
    if (buffer.Size() <= 0)
        return {};
    return model::Bytes(buffer.Data(), buffer.Data() + buffer.Size());
}

model::Bytes Slice(const model::Bytes& bytes, std::size_t from, std::size_t count)
{
    from = std::min(from, bytes.size());
    count = std::min(count, bytes.size() - from);
    return model::Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                        bytes.begin() + static_cast<std::ptrdiff_t>(from + count));
}

} // namespace

model::Bytes RunStage(ConversionRoutine routine, const model::Bytes& in, const std::string& strSubstitute)
{
    const auto input = ExactCopy(in);
    CTextConverter converter;
    converter.m_strUnmappableDefaultChar = strSubstitute;
    CByteBuffer output;
    EXPECT_TRUE(routine(input.get(), static_cast<std::int64_t>(in.size()), &output, &converter));
    return ToBytes(output);
}

model::Bytes RunConvert(const model::Bytes& in, CharsetId source, CharsetId target, NLCode code,
                        const std::string& strSubstitute)
{
    const auto input = ExactCopy(in);
    CTextConverter converter;
    converter.SetInput(input.get(), static_cast<std::int64_t>(in.size()), source);
    converter.m_strUnmappableDefaultChar = strSubstitute;
    converter.SetOutput(target, code);
    CByteBuffer output;
    EXPECT_TRUE(converter.Convert(&output));
    return ToBytes(output);
}

model::Bytes RunNormalize(const model::Bytes& in, CharsetId charset, NLCode code)
{
    const auto input = ExactCopy(in);
    CTextConverter converter;
    converter.SetOutput(Charset::ShiftJis, code);
    CByteBuffer result;
    converter.NormalizeLineEndings(input.get(), static_cast<std::int64_t>(in.size()), charset, &result);
    return ToBytes(result);
}

CharsetId RunDetect(const model::Bytes& in)
{
    const auto input = ExactCopy(in);
    const CTextConverter converter;
    return converter.DetectCharset(input.get(), static_cast<std::int64_t>(in.size()));
}

::testing::AssertionResult SameBytes(const model::Bytes& got, const model::Bytes& want)
{
    if (got == want)
        return ::testing::AssertionSuccess();
    const auto mismatch = std::mismatch(got.begin(), got.end(), want.begin(), want.end());
    const auto at = static_cast<std::size_t>(mismatch.first - got.begin());
    const std::size_t from = at >= 8 ? at - 8 : 0;
    auto failure = ::testing::AssertionFailure();
    failure << "got " << got.size() << " bytes, want " << want.size() << "; first difference at offset " << at
            << "\n  got  [" << from << "..]: " << model::ToHex(Slice(got, from, 24))
            << "\n  want [" << from << "..]: " << model::ToHex(Slice(want, from, 24));
    return failure;
}

} // namespace harness
