#pragma once

#include <optional>
#include <string>

#include "reference_model.h"

namespace python_oracle {

// Runs python3 -c strScript INPUT OUTPUT on the bytes in and returns what the
// script wrote to OUTPUT; nothing when python3 is missing or the script
// fails. The script reads sys.argv[1] and writes sys.argv[2].
std::optional<model::Bytes> Run(const std::string& strScript, const model::Bytes& in);

bool Available();

} // namespace python_oracle
