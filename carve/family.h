// The records the carving engine shares with the file-format recognisers:
// the per-format descriptor, its per-scan tally, and the candidate record of
// one file being recovered, with the operation types a family supplies.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <list>
#include <string>
#include <vector>

namespace salvora {

struct FamilyTally;
struct CarveCandidate;
struct SearchRange;
class SignatureRegistry;

// Judges whether a file starts at the first byte of `window`. `windowLength`
// bytes (at least 65536) may be read. `current` is the file in progress (its
// tally is null when there is none); `fresh` is filled on acceptance.
// Returns nonzero when a file starts here.
using RecogniseFn = uint32_t (*)(const uint8_t* window, uint32_t windowLength, uint32_t strictOnly,
                                 const CarveCandidate& current, CarveCandidate& fresh);
// Follows a file block by block. The window holds the previous block and the
// current one (windowLength = 2 x block size); the current block starts at
// file offset candidate.size. Returns 2 when the file ends with this block.
using BlockCheckFn = uint32_t (*)(const uint8_t* window, uint32_t windowLength, CarveCandidate& candidate);
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
    uint32_t saveOutput;                      // 1 = the recovered file is written
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

using RangeRef = std::list<SearchRange>::iterator;

// The record of one file being recovered.
struct CarveCandidate {
    FamilyTally* tally = nullptr;     // null = no file in progress
    std::FILE* output = nullptr;      // open output stream ("w+b") or null
    std::string path;                 // output path; empty until the output is started
    uint64_t size = 0;                // bytes so far; at the end the final length (0 = discard)
    RangeRef startRange{};            // search range in which the file began (set by the engine)
    uint64_t startOffset = 0;         // medium offset of the file's first byte (set by the engine)
    const char* extension = nullptr;  // output extension; null or empty = none
    uint64_t minSize = 0;
    uint64_t expectedSize = 0;
    BlockCheckFn blockCheck = nullptr;
    EndCheckFn endCheck = nullptr;
    AfterSaveFn afterSave = nullptr;
    // Values a family's block check carries from one block to the next (its
    // walk position, a running checksum, a count); their meaning belongs to
    // the family that accepted the file.
    std::array<uint64_t, 8> carried{};
};

// Clears everything but startRange and startOffset (the engine sets those).
void resetCandidate(CarveCandidate& candidate);

// True when `candidate` is a file in progress of the family with `extension`.
inline bool isFamily(const CarveCandidate& candidate, const char* extension) {
    return candidate.tally && candidate.tally->family &&
           std::strcmp(candidate.tally->family->extension, extension) == 0;
}

}  // namespace salvora
