// Runs a whole recovery over an in-memory image and collects what it saved.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "carve/family.h"
#include "carve/scan.h"
#include "support/test_files.h"

namespace salvora {
class MediaReader;
}

namespace salvora::test {

struct Recovery {
    int32_t result = -1;
    uint32_t savedCounter = 0;
    std::vector<SavedFile> saved;                       // in the order the engine saved them
    std::map<std::string, std::vector<uint8_t>> files;  // file name -> content, of the folder after the scan
    std::vector<int> percents;                          // every progress notification
};

// Recovers `image` (sector size 512 unless given) with the enabled `families`
// into a fresh temporary folder and returns what the folder holds afterwards.
Recovery recoverImage(const std::vector<uint8_t>& image, const EnabledFamilies& families,
                      uint32_t sectorSize = 512);

// Recovers the bytes [offset, offset + length) of `medium` (the whole medium
// when length is 0) the same way.
Recovery recoverRange(MediaReader& medium, uint64_t offset, uint64_t length, const EnabledFamilies& families);

// The same, with what the scan may know beyond the bytes.
Recovery recoverRange(MediaReader& medium, uint64_t offset, uint64_t length, const EnabledFamilies& families,
                      const ScanAids& aids);

// An enable list with only the families of the given extensions on.
EnabledFamilies onlyFamilies(const std::vector<std::string>& extensions);

}  // namespace salvora::test
