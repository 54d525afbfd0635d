// An in-memory medium that fails on purpose: unreadable sectors, a failing
// position, short reads, and a medium that shrinks (a card pulled out).
#pragma once

#include <cstdint>
#include <set>
#include <vector>

#include "media/memory_reader.h"

namespace salvora::test {

class FaultyReader : public MemoryReader {
  public:
    using MemoryReader::MemoryReader;

    std::set<uint64_t> badSectors;            // sector numbers whose reads fail
    uint64_t positionFailsFrom = UINT64_MAX;  // reads at or after this offset cannot be positioned
    uint64_t shortReadsFrom = UINT64_MAX;     // reads at or after this offset deliver half of what was asked
    uint64_t shrinkAfterReads = UINT64_MAX;   // after this many reads the medium ends at shrunkSize
    uint64_t shrunkSize = 0;
    uint64_t readCount = 0;

  protected:
    int32_t deviceRead(void* buffer, uint32_t count, uint64_t offset) override;
};

}  // namespace salvora::test
