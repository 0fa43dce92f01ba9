#pragma once

// Runs the engine on exact-size heap copies of test bytes, so that the
// sanitizers see any read beyond the input, and compares bytes readably.

#include <gtest/gtest.h>

#include <string>

#include "reference_model.h"
#include "byte_sink.h"
#include "text_converter.h"

namespace harness {

// One stage or table cell; fails the test if the routine returns false.
model::Bytes RunStage(ConversionRoutine routine, const model::Bytes& in, const std::string& strSubstitute = "_");

// CTextConverter::Convert through the callers' sequence of calls.
model::Bytes RunConvert(const model::Bytes& in, CharsetId source, CharsetId target, NLCode code,
                        const std::string& strSubstitute = "_");

model::Bytes RunNormalize(const model::Bytes& in, CharsetId charset, NLCode code);

CharsetId RunDetect(const model::Bytes& in);

// Gathers what a stream hands on.
class CCollectSink : public IByteSink {
public:
    void Put(const std::uint8_t* p, std::int64_t n) override { m_bytes.insert(m_bytes.end(), p, p + n); }
    model::Bytes m_bytes;
};

// Equal bytes; otherwise says where they first differ, with context.
::testing::AssertionResult SameBytes(const model::Bytes& got, const model::Bytes& want);

} // namespace harness
