// A medium held in memory: the engine's tests and fuzz targets run on it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "media/media_reader.h"

namespace salvora {

class MemoryReader : public MediaReader {
  public:
    // The medium is a copy of `bytes`; sector size as given, flat geometry.
    explicit MemoryReader(std::vector<uint8_t> bytes, uint32_t sectorSize = 512);

    void close() override { closed_ = true; }
    std::vector<uint8_t>& bytes() { return bytes_; }

  protected:
    int32_t deviceRead(void* buffer, uint32_t count, uint64_t offset) override;

  private:
    std::vector<uint8_t> bytes_;
    bool closed_ = false;
};

}  // namespace salvora
