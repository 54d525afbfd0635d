// What a file system still tells about the files of the medium: for each
// file, its name, its size and where its bytes lie, in file order. The scan
// consults it where it finds a file start; code outside the engine builds it
// (for example from a FAT volume's folders).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "carve/recovered_output.h"

namespace salvora {

struct MappedFile {
    std::string name;           // as the file system names it (UTF-8), without folders
    uint64_t size = 0;          // as the file system records it
    std::vector<ByteRun> runs;  // in file order; together at most `size` bytes
    bool deleted = false;       // true: a placement guessed from a deleted entry, not a recorded chain
    bool complete = true;       // false: the runs end before `size` is covered
};

class FileMap {
  public:
    // Adds a file; one without runs is ignored. Several files may start at
    // the same offset (placements of deleted entries): the first added is
    // asked first.
    void add(MappedFile file);
    // Marks the bytes [offset, offset + length) as held by a listed file.
    void addLiveRun(uint64_t offset, uint64_t length);
    // The files whose first byte lies at `offset`, in the order they were added.
    std::vector<const MappedFile*> startingAt(uint64_t offset) const;
    // True when the byte at `offset` belongs to a listed (not deleted) file.
    bool heldByLiveFile(uint64_t offset) const;
    // The allocation unit of the file system (its cluster size); 0 when unknown.
    uint64_t grain() const { return grain_; }
    void setGrain(uint64_t grain) { grain_ = grain; }
    const std::vector<MappedFile>& files() const { return files_; }
    bool empty() const { return files_.empty(); }

  private:
    std::vector<MappedFile> files_;
    std::multimap<uint64_t, size_t> byStart_;  // first offset -> index into files_
    std::map<uint64_t, uint64_t> liveRuns_;    // first byte -> one past the last byte
    uint64_t grain_ = 0;
};

}  // namespace salvora
