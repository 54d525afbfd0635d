// A sector size in bytes that is never 0.
#pragma once

#include <cstdint>

namespace salvora {

// Bytes per sector. 0 stands for 512, the size assumed when nothing better
// is known, so no user of a sector size has to guard against 0.
class SectorSize {
  public:
    static constexpr uint32_t kAssumed = 512;

    constexpr SectorSize(uint32_t bytes = kAssumed) : bytes_(bytes != 0 ? bytes : kAssumed) {}
    constexpr operator uint32_t() const { return bytes_; }

  private:
    uint32_t bytes_;
};

}  // namespace salvora
