// The registry of header signatures and the index consulted at every block.
//
// Families register (offset, pattern, recognise) triples at the start of a
// scan. The index keys each pattern-carrying bucket on one byte of the block,
// so a lookup costs one byte fetch per bucket plus full comparisons only for
// entries whose key byte matches. The first accepting recogniser wins.
#pragma once

#include <array>
#include <cstdint>
#include <list>
#include <memory>
#include <vector>

#include "carve/family.h"

namespace salvora {

struct SignatureEntry {
    const uint8_t* pattern = nullptr;  // the family's own bytes, not copied
    uint32_t patternLength = 0;        // 0 = asked at every block
    uint32_t patternOffset = 0;        // where the pattern must stand in the block
    RecogniseFn recognise = nullptr;
    FamilyTally* tally = nullptr;
};

struct OffsetBucket {
    uint32_t offset = 0;
    uint32_t keyed = 0;  // 1: entries have patterns and are keyed on the byte at offset
    std::array<std::vector<SignatureEntry*>, 256> lists;
};

// Orders entries: no pattern first, then by offset, then by pattern bytes over
// the shorter length. Returns <0, 0 or >0.
int compareEntries(const SignatureEntry& a, const SignatureEntry& b);

class SignatureRegistry {
  public:
    SignatureRegistry() = default;
    SignatureRegistry(const SignatureRegistry&) = delete;
    SignatureRegistry& operator=(const SignatureRegistry&) = delete;

    // Creates one tally per enabled family (in list order), lets each family
    // register its signatures, and builds the index.
    void build(const EnabledFamilies& families);

    // Adds an entry to the registration list at its comparator position
    // (after the entries that compare equal). Used while building.
    void add(uint32_t patternOffset, const uint8_t* pattern, uint32_t patternLength, RecogniseFn recognise,
             FamilyTally* tally);

    // Finds the first entry, in index order, whose pattern matches the window
    // and whose recogniser accepts it. Returns its tally with `fresh` filled
    // (fresh.tally set), or null with fresh.tally cleared.
    FamilyTally* findHeader(const uint8_t* window, uint32_t windowLength, uint32_t strictOnly,
                            const CarveCandidate& current, CarveCandidate& fresh) const;

    // Frees every entry, bucket and tally.
    void release();

    const std::vector<OffsetBucket>& index() const { return index_; }
    const std::vector<FamilyTally>& tallies() const { return tallies_; }

  private:
    void buildIndex();
    void place(SignatureEntry* entry);

    std::vector<std::unique_ptr<SignatureEntry>> entries_;
    std::list<SignatureEntry*> registration_;
    std::vector<OffsetBucket> index_;
    std::vector<FamilyTally> tallies_;
};

// Registers one signature of the family behind `tally` (called from a
// family's registerSignatures).
void registerSignature(uint32_t patternOffset, const uint8_t* pattern, uint32_t patternLength,
                       RecogniseFn recognise, FamilyTally& tally);

}  // namespace salvora
