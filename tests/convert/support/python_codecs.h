#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "reference_model.h"

namespace python_oracle {

// The code point Python's codec strCodec gives each unit decoded on its own;
// 0 where decoding fails or gives other than one character. Nothing when
// python3 is missing. Units are at most 255 bytes.
std::optional<std::vector<std::uint32_t>> DecodeEach(const std::string& strCodec,
                                                     const std::vector<model::Bytes>& units);

} // namespace python_oracle
