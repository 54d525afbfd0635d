// Readable test failure messages for byte runs on a medium.
#pragma once

#include <ostream>

#include "partitions/fat_directory.h"

namespace salvora {

inline void PrintTo(const MediumRun& run, std::ostream* out) {
    *out << "{offset " << run.offset << ", length " << run.length << "}";
}

}  // namespace salvora
