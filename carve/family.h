// The records the carving engine shares with the file-format recognisers:
// the per-format descriptor, its per-scan tally, and the candidate record of
// one file being recovered, with the operation types a family supplies.
//
// What a family may rely on, and what it must keep to
// ---------------------------------------------------
// A family is a FileFamily row with a registerSignatures operation, which
// calls registerSignature() once per signature. Everything else it does
// through the four operations below, all run on the scanning thread, one
// scan at a time. None of them may throw, print, or touch the medium.
//
// recognise(window, windowLength, strictOnly, current, fresh) -> nonzero = a file starts here
//   - `window` is the block under test followed by its look-ahead: exactly
//     `windowLength` bytes (at least 65536) may be read, no more. Read fields
//     with the Bytes helpers of media/bytes.h.
//   - `strictOnly` is 1 in the discovery pass, which only wants starts the
//     recogniser is sure of, and 0 in the carving pass.
//   - `current` is the file in progress (its tally is null when there is
//     none); read it only. isFamily() tells its family.
//   - On acceptance: first resetCandidate(fresh), then set `extension` and
//     what the family needs of minSize, expectedSize, wholeUntil, carried,
//     blockCheck, endCheck and afterSave. Never set tally, output, startRange
//     or startOffset: the engine sets them after acceptance. On refusal leave
//     `fresh` alone.
//   - Work from the window alone, in time bounded by the family's own limits.
//
// blockCheck(window, windowLength, candidate) -> BlockVerdict
//   - Called once per block of the file, after the block was appended to the
//     output and before `size` grows by it. `window` holds the previous block
//     and the current one (windowLength = 2 x block size); the current block
//     starts at file offset `size`, so the byte at file offset p lies at
//     window index p - size + windowLength / 2. formats/window_walk.h does
//     this arithmetic; use it rather than deriving the bounds again.
//   - Touches the window only (never the output). May move expectedSize and
//     wholeUntil and the `carried` values, set size (the engine still adds
//     the block), replace blockCheck or endCheck, or clear blockCheck (then it
//     is not called again for this file).
//   - kFileEnds ends the file with the current block; kContinue goes on.
//
// endCheck(candidate)
//   - Called after the last block was appended, before the file is kept or
//     dropped; once, unless the destination takes only part of the file
//     (EFBIG): it is then called again on what reached the disk, with `size`
//     set to that length. `size` is what was appended (whole blocks, the last
//     one possibly padded with zeros past the end of the medium, or past the
//     byte runs a file is carved along: a file system's record, a validated
//     join; the padding is never kept). The written data is read with
//     candidate.output.readAt(offset, buffer, length), which returns fewer
//     bytes at the end of the data; it is served from memory or read back in
//     large pieces, so small reads cost little.
//   - Sets `size` to the final length (0 drops the file); the engine never
//     keeps more than was written, and cuts a file to the end of the medium
//     (or of its runs).
//     May replace `extension`; the file is then saved under it.
//   - Never keeps, removes or appends to the output: the engine does that.
//
// afterSave(path) runs after the file was kept, with the path of the saved file.
//
// Records: FileFamily rows are constant; a CarveCandidate is moved, never
// copied (it owns its output), so keep no pointers into it. A tally lives for
// one scan only.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <list>
#include <string>
#include <vector>

#include "carve/output_file.h"

namespace salvora {

struct FamilyTally;
struct CarveCandidate;
struct SearchRange;
class SignatureRegistry;

// What a block check says about the file after the current block.
enum class BlockVerdict : uint32_t {
    kContinue = 1,  // the file goes on
    kFileEnds = 2,  // the file ends with the current block
};

// Whether the files of a family are written.
enum class OutputMode : uint32_t {
    kFollowOnly = 0,  // followed and their blocks consumed, but nothing is written
    kWrite = 1,       // the recovered file is written
};

// Judges whether a file starts at the first byte of `window`. `windowLength`
// bytes (at least 65536) may be read. `current` is the file in progress (its
// tally is null when there is none); `fresh` is filled on acceptance.
// Returns nonzero when a file starts here.
using RecogniseFn = uint32_t (*)(const uint8_t* window, uint32_t windowLength, uint32_t strictOnly,
                                 const CarveCandidate& current, CarveCandidate& fresh);
// Follows a file block by block. The window holds the previous block and the
// current one (windowLength = 2 x block size); the current block starts at
// file offset candidate.size.
using BlockCheckFn = BlockVerdict (*)(const uint8_t* window, uint32_t windowLength,
                                      CarveCandidate& candidate);
// Settles the final size of a file from its written output (0 drops it).
using EndCheckFn = void (*)(CarveCandidate& candidate);
// Runs after a file was closed and kept.
using AfterSaveFn = void (*)(const char* path);
// Registers the family's signatures with registerSignature().
using RegisterSignaturesFn = void (*)(FamilyTally& tally);

// One static, read-only descriptor per supported family.
struct FileFamily {
    const char* extension;                    // default extension of recovered files
    const char* description;                  // shown by the settings
    uint64_t headerHoldoff;                   // no header search while the file is not larger than this
    uint64_t sizeLimit;                       // the file ends once its size reaches this (0 = none)
    OutputMode saveOutput;                    // whether the recovered file is written
    uint32_t onByDefault;                     // initial enabled state
    RegisterSignaturesFn registerSignatures;  // may be null
};

// One entry of the enable list; the list ends with an entry whose family is null.
struct EnabledFamily {
    uint32_t enabled;
    const FileFamily* family;
};
using EnabledFamilies = std::vector<EnabledFamily>;

// Links the signatures of one enabled family to its descriptor for one scan.
struct FamilyTally {
    const FileFamily* family = nullptr;
    SignatureRegistry* registry = nullptr;  // the registry being built
};

// A range of the search space; the space keeps the ranges themselves.
using RangeRef = std::list<SearchRange>::const_iterator;

// The record of one file being recovered. Move-only: it owns its output.
struct CarveCandidate {
    FamilyTally* tally = nullptr;     // null = no file in progress
    OutputFile output;                // what was written of the file (set by the engine)
    uint64_t size = 0;                // bytes so far; at the end the final length (0 = discard)
    RangeRef startRange{};            // search range in which the file began (set by the engine)
    uint64_t startOffset = 0;         // medium offset of the file's first byte (set by the engine)
    const char* extension = nullptr;  // output extension; null or empty = none
    uint64_t minSize = 0;
    uint64_t expectedSize = 0;
    // File offset up to which the file's own structure (a size its header
    // announces, the atoms or boxes walked so far) says it goes on: a header
    // found at a block start before it is part of this file, not a new one.
    uint64_t wholeUntil = 0;
    // File offset past which the followed blocks are no longer written (0:
    // all are): the file's own structure showed that it ends before, and
    // what follows is only followed to where the next file starts.
    uint64_t writeUntil = 0;
    // Set by an end check: file offset from which the kept file's own
    // structure shows other data in its blocks (a movie whose samples break
    // there, overwritten by other files). The file is kept whole, marked
    // partial, and its blocks from there are searched again (0: none).
    uint64_t searchAgainFrom = 0;
    // Set by an end check: what is kept is all there is of the file, but its
    // own structure shows that the file went on (a stream that stops before
    // the length its header gives). It is kept marked partial.
    bool incomplete = false;
    BlockCheckFn blockCheck = nullptr;
    EndCheckFn endCheck = nullptr;
    AfterSaveFn afterSave = nullptr;
    // Values a family's block check carries from one block to the next (its
    // walk position, a running checksum, a count); their meaning belongs to
    // the family that accepted the file.
    std::array<uint64_t, 8> carried{};

    CarveCandidate() = default;
    CarveCandidate(CarveCandidate&&) noexcept = default;
    CarveCandidate& operator=(CarveCandidate&&) noexcept = default;
    CarveCandidate(const CarveCandidate&) = delete;
    CarveCandidate& operator=(const CarveCandidate&) = delete;
};

// Clears everything but startRange and startOffset (the engine sets those).
// An output still held is dropped (deleted when it reached the disk).
void resetCandidate(CarveCandidate& candidate);

// True when `candidate` is a file in progress of the family with `extension`.
inline bool isFamily(const CarveCandidate& candidate, const char* extension) {
    return candidate.tally && candidate.tally->family &&
           std::strcmp(candidate.tally->family->extension, extension) == 0;
}

}  // namespace salvora
