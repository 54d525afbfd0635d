// The output of a file as the engine leaves it for an end check, holding
// given bytes: in memory, or in a file of a temporary folder from which it is
// read back.
#pragma once

#include <cstdint>
#include <vector>

#include "carve/output_file.h"

namespace salvora::test {

enum class Held { kInMemory, kOnDisk };

// An open output holding `bytes`. On disk the file lies in a folder that
// lasts for the whole test run, and is deleted with the output.
OutputFile outputHolding(const std::vector<uint8_t>& bytes, Held where = Held::kOnDisk);

}  // namespace salvora::test
