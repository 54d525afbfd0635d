// What a recovery gives the scan beyond the medium's bytes: the file map of
// the FAT volume being recovered, when there is one, and the JPEG joiner.
#pragma once

#include <cstdint>
#include <optional>

#include "carve/scan.h"
#include "formats/jpeg_join.h"

namespace salvora {

class MediaReader;

class RecoveryAids {
  public:
    RecoveryAids() = default;
    RecoveryAids(const RecoveryAids&) = delete;
    RecoveryAids& operator=(const RecoveryAids&) = delete;

    // Maps the FAT volume that starts at `offset` (the whole medium from its
    // first byte when `length` is 0), when there is one, and names files
    // after the map's names when `namesFromMap`.
    void prepare(MediaReader& medium, uint64_t offset, uint64_t length, bool namesFromMap);
    // Valid while this object lives.
    const ScanAids& aids() const { return aids_; }
    // True when a file map was built.
    bool mapped() const { return map_.has_value(); }

  private:
    std::optional<FileMap> map_;
    JpegJoiner joiner_;
    ScanAids aids_;
};

}  // namespace salvora
