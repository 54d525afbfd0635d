// The two answers of a block check, named in one place.
#pragma once

#include <cstdint>

namespace salvora {

constexpr uint32_t kFileGoesOn = 1;  // the file goes on with the next block
constexpr uint32_t kFileEnds = 2;    // the file ends with this block

}  // namespace salvora
