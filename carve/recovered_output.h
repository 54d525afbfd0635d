// Recovered files: their names, their creation, and closing a file when it
// ends (end check, minimum size, extension correction, cutting, keeping or
// deleting, and taking its blocks out of the search space).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "carve/family.h"
#include "carve/search_space.h"

namespace salvora {

class MediaReader;

// Longest output path, in bytes (the path buffer holds 2048 with its terminator).
constexpr size_t kMaxOutputPath = 2047;

// The output name: folder + "KV" + number with at least five digits + "." +
// extension (no dot when the extension is empty). The folder must end with a
// path separator. Returns false, leaving `path` empty, when the name would be
// longer than kMaxOutputPath.
bool outputPath(const std::string& folder, uint32_t number, const char* extension, std::string& path);

// What the output stage tells about a file it kept.
struct SavedFile {
    std::string path;
    const FileFamily* family = nullptr;
    std::string extension;     // final extension, as in the name
    uint64_t startOffset = 0;  // medium offset of the file's first byte
    uint64_t size = 0;
};

// Ends the file in progress. Runs its end check, clamps the size to the medium
// and to what was written, drops files below minSize, closes the output,
// renames it when the family changed its extension, cuts it to its size, and
// keeps it (afterSave, savedCounter + 1, `saved` filled) or deletes it.
// Returns the range at which the scan may go on (possibly space.head()) when
// the file was kept, nothing otherwise. The caller resets the record.
// When the data still buffered for the file cannot be written, `writeError`
// receives the error number: on EFBIG the file is judged on what reached the
// disk; on any other error it is deleted and nothing is returned.
std::optional<RangeRef> closeCandidate(CarveCandidate& file, uint32_t& savedCounter, uint32_t blockSize,
                                       SearchSpace& space, const MediaReader& medium,
                                       SavedFile* saved = nullptr, int* writeError = nullptr);

// Closes and deletes the output of a file that was never finished (the scan
// stopped inside it). Nothing happens when it has no output.
void abandonCandidate(CarveCandidate& file);

}  // namespace salvora
