#include "carve/signature_registry.h"

#include <algorithm>
#include <cstring>

namespace salvora {

void resetCandidate(CarveCandidate& candidate) {
    candidate.tally = nullptr;
    candidate.output = OutputFile();
    candidate.size = 0;
    candidate.extension = nullptr;
    candidate.minSize = 0;
    candidate.expectedSize = 0;
    candidate.wholeUntil = 0;
    candidate.writeUntil = 0;
    candidate.searchAgainFrom = 0;
    candidate.incomplete = false;
    candidate.blockCheck = nullptr;
    candidate.endCheck = nullptr;
    candidate.afterSave = nullptr;
    candidate.carried = {};
}

int compareEntries(const SignatureEntry& a, const SignatureEntry& b) {
    const bool aHas = a.patternLength != 0;
    const bool bHas = b.patternLength != 0;
    if (aHas != bHas)
        return aHas ? 1 : -1;
    if (a.patternOffset != b.patternOffset)
        return a.patternOffset < b.patternOffset ? -1 : 1;
    const uint32_t common = std::min(a.patternLength, b.patternLength);
    for (uint32_t i = 0; i < common; ++i) {
        if (a.pattern[i] != b.pattern[i])
            return a.pattern[i] < b.pattern[i] ? -1 : 1;
    }
    return 0;
}

namespace {
// Inserts before the first entry that compares greater, else at the end.
template <typename List>
void insertOrdered(List& list, SignatureEntry* entry) {
    auto at = std::find_if(list.begin(), list.end(), [entry](const SignatureEntry* other) {
        return compareEntries(*other, *entry) > 0;
    });
    list.insert(at, entry);
}
}  // namespace

void SignatureRegistry::add(uint32_t patternOffset, const uint8_t* pattern, uint32_t patternLength,
                            RecogniseFn recognise, FamilyTally* tally) {
    auto entry = std::make_unique<SignatureEntry>();
    entry->pattern = pattern;
    entry->patternLength = pattern ? patternLength : 0;
    entry->patternOffset = patternOffset;
    entry->recognise = recognise;
    entry->tally = tally;
    insertOrdered(registration_, entry.get());
    entries_.push_back(std::move(entry));
}

void registerSignature(uint32_t patternOffset, const uint8_t* pattern, uint32_t patternLength,
                       RecogniseFn recognise, FamilyTally& tally) {
    if (tally.registry)
        tally.registry->add(patternOffset, pattern, patternLength, recognise, &tally);
}

void SignatureRegistry::build(const EnabledFamilies& families) {
    release();
    size_t enabled = 0;
    for (const EnabledFamily& pair : families) {
        if (!pair.family)
            break;
        if (pair.enabled)
            ++enabled;
    }
    // Tallies are referenced by entries: the vector must not grow after this.
    tallies_.reserve(enabled + 1);
    for (const EnabledFamily& pair : families) {
        if (!pair.family)
            break;
        if (!pair.enabled)
            continue;
        tallies_.push_back(FamilyTally{pair.family, this});
    }
    for (FamilyTally& tally : tallies_) {
        if (tally.family->registerSignatures)
            tally.family->registerSignatures(tally);
    }
    tallies_.push_back(FamilyTally{});  // terminator
    buildIndex();
}

void SignatureRegistry::buildIndex() {
    // Entries are placed from the last to the first, so equal entries end up
    // in a bucket list in the reverse of their registration order.
    while (!registration_.empty()) {
        SignatureEntry* entry = registration_.back();
        registration_.pop_back();
        place(entry);
    }
}

void SignatureRegistry::place(SignatureEntry* entry) {
    const bool hasPattern = entry->patternLength != 0;
    if (hasPattern) {
        for (auto bucket = index_.begin(); bucket != index_.end(); ++bucket) {
            if (!bucket->keyed)
                continue;
            if (bucket->offset >= entry->patternOffset &&
                bucket->offset - entry->patternOffset < entry->patternLength) {
                insertOrdered(bucket->lists[entry->pattern[bucket->offset - entry->patternOffset]], entry);
                return;
            }
            if (bucket->offset > entry->patternOffset) {
                OffsetBucket fresh;
                fresh.offset = entry->patternOffset;
                fresh.keyed = 1;
                fresh.lists[entry->pattern[0]].push_back(entry);
                index_.insert(bucket, std::move(fresh));
                return;
            }
        }
    } else {
        for (OffsetBucket& bucket : index_) {
            if (!bucket.keyed) {
                insertOrdered(bucket.lists[0], entry);
                return;
            }
        }
    }
    OffsetBucket fresh;
    fresh.offset = entry->patternOffset;
    fresh.keyed = hasPattern ? 1 : 0;
    fresh.lists[hasPattern ? entry->pattern[0] : 0].push_back(entry);
    index_.push_back(std::move(fresh));
}

FamilyTally* SignatureRegistry::findHeader(const uint8_t* window, uint32_t windowLength, uint32_t strictOnly,
                                           const CarveCandidate& current, CarveCandidate& fresh) const {
    fresh.tally = nullptr;
    for (const OffsetBucket& bucket : index_) {
        uint8_t key = 0;
        if (bucket.keyed) {
            if (bucket.offset >= windowLength)
                continue;
            key = window[bucket.offset];
        }
        for (SignatureEntry* entry : bucket.lists[key]) {
            if (entry->patternLength != 0) {
                if (static_cast<uint64_t>(entry->patternOffset) + entry->patternLength > windowLength)
                    continue;
                if (std::memcmp(window + entry->patternOffset, entry->pattern, entry->patternLength) != 0)
                    continue;
            }
            if (entry->recognise(window, windowLength, strictOnly, current, fresh)) {
                fresh.tally = entry->tally;
                return entry->tally;
            }
        }
    }
    return nullptr;
}

void SignatureRegistry::release() {
    registration_.clear();
    index_.clear();
    entries_.clear();
    tallies_.clear();
}

}  // namespace salvora
