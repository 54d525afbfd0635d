// The file map the scan consults, from a FAT volume's folders.
#pragma once

#include <cstdint>
#include <optional>

#include "carve/file_map.h"
#include "partitions/fat_directory.h"

namespace salvora {

class MediaReader;

// The files of `map` as the scan sees them: listed files along their chains,
// each placement of a deleted entry as a file of its own (deleted), listed
// files' bytes as held; files whose chain is not trusted are left out.
FileMap fileMapOf(const FatMap& map);

// The file map of the FAT12/16/32 volume that starts at `offset` and is
// `length` bytes long (to the medium's end when 0). Nothing when no FAT
// volume starts there or its FAT cannot be read.
std::optional<FileMap> fatFileMapAt(MediaReader& reader, uint64_t offset, uint64_t length);

}  // namespace salvora
