#include "formats/riff.h"

#include "carve/shared_checks.h"
#include "carve/signature_registry.h"
#include "formats/register.h"
#include "formats/window_walk.h"
#include "media/bytes.h"

namespace salvora {

namespace {

const uint8_t kRiff[] = {'R', 'I', 'F', 'F'};

struct FormType {
    const char* tag;     // the form type at byte 8
    uint32_t tagLength;  // how many of its bytes must match
    const char* extension;
    bool bigEndianSize;  // the size at byte 4 is big-endian and 12 is added
};

// First match wins; anything else is taken for an AVI.
const FormType kFormTypes[] = {
    {"AVI ", 4, "avi", false},  {"CDDA", 4, "cda", false}, {"CDR", 3, "cdr", false},
    {"NUND", 4, "cpr", true},   {"RMP3", 4, "wav", false}, {"WAVE", 4, "wav", false},
    {"WEBP", 4, "webp", false},
};
const FormType kOtherForm{"", 0, "avi", false};

const FormType& formTypeOf(const Bytes& bytes) {
    for (const FormType& form : kFormTypes) {
        if (bytes.equals(8, form.tag, form.tagLength))
            return form;
    }
    return kOtherForm;
}

// Places of the values the block check carries.
constexpr size_t kChunkAt = 0;  // file offset of the next chunk header to check; 0: the walk is over
constexpr uint64_t kFirstChunk = 12;
constexpr uint64_t kChunkHeader = 8;
constexpr uint64_t kListHeader = 12;

bool isChunkId(const Bytes& bytes, uint64_t at) {
    for (uint64_t i = 0; i < 4; ++i) {
        const uint8_t c = bytes.u8(at + i);
        if (c < 0x20 || c > 0x7E)
            return false;
    }
    return true;
}

// A list of chunks ("LIST", or "RIFF" for the further parts of a large AVI).
bool isList(const Bytes& bytes, uint64_t at) {
    return bytes.equals(at, "LIST", 4) || bytes.equals(at, kRiff, sizeof kRiff);
}

// The samples of a recording ("data"): one chunk that runs to the file's
// end, with nothing after it to show where the file was cut.
bool holdsSamples(const Bytes& bytes, uint64_t at) {
    return bytes.equals(at, "data", 4);
}

// The chunk walk met something that is no chunk: the file's structure ends
// here, before the size its header gave.
BlockVerdict walkBroken(CarveCandidate& candidate, uint64_t at) {
    candidate.carried[kChunkAt] = 0;
    candidate.wholeUntil = at;
    return BlockVerdict::kFileEnds;
}

}  // namespace

// Walks the chunks, into lists, while their headers lie in the window. A
// header found at a block start inside a chunk belongs to the chunk (a
// motion-JPEG frame, cover art): when the file was cut there, the walk
// breaks at the next chunk and the blocks are searched again. Inside a
// recording's samples, which run to the file's end, it is a file of its
// own: the announced size alone would run over the files written there.
BlockVerdict blockCheckRiff(const uint8_t* window, uint32_t windowLength, CarveCandidate& candidate) {
    const WindowWalk walk(window, windowLength, candidate);
    const Bytes& bytes = walk.bytes();
    auto& state = candidate.carried;
    while (state[kChunkAt] != 0 && state[kChunkAt] + kChunkHeader <= candidate.expectedSize &&
           walk.holdsWhole(state[kChunkAt], kChunkHeader)) {
        const uint64_t at = state[kChunkAt];
        const uint64_t i = walk.index(at);
        if (!isChunkId(bytes, i))
            return walkBroken(candidate, at);
        const uint64_t length = bytes.le32(i + 4);
        if (at + kChunkHeader + length > candidate.expectedSize)
            return walkBroken(candidate, at);
        if (isList(bytes, i) && length >= 4) {
            state[kChunkAt] = at + kListHeader;
            candidate.wholeUntil = at + kListHeader;
        } else {
            state[kChunkAt] = at + kChunkHeader + length + (length & 1);
            candidate.wholeUntil = holdsSamples(bytes, i) ? at + kChunkHeader : state[kChunkAt];
        }
    }
    return blockCheckUntilExpected(window, windowLength, candidate);
}

void registerRiff(FamilyTally& tally) {
    registerSignature(0, kRiff, sizeof kRiff, recogniseRiff, tally);
}

uint32_t recogniseRiff(const uint8_t* window, uint32_t windowLength, uint32_t, const CarveCandidate& current,
                       CarveCandidate& fresh) {
    const Bytes bytes(window, windowLength);
    if (!bytes.equals(0, kRiff, sizeof kRiff))
        return 0;
    // The further parts of a large AVI are lists of the AVI being followed.
    if (isFamily(current, "riff") && bytes.equals(8, "AVIX", 4))
        return 0;
    const FormType& form = formTypeOf(bytes);
    resetCandidate(fresh);
    fresh.extension = form.extension;
    // In 64 bits: a size field near 2^32 must not wrap to a tiny file.
    fresh.expectedSize = form.bigEndianSize ? uint64_t{bytes.be32(4)} + 12 : uint64_t{bytes.le32(4)} + 8;
    fresh.endCheck = endCheckTruncateToExpected;
    if (form.bigEndianSize) {
        // Chunks of other sizes than the little-endian ones: not walked.
        fresh.wholeUntil = fresh.expectedSize;
        fresh.blockCheck = blockCheckUntilExpected;
    } else {
        fresh.wholeUntil = kFirstChunk;
        fresh.carried[kChunkAt] = kFirstChunk;
        fresh.blockCheck = blockCheckRiff;
    }
    return 1;
}

}  // namespace salvora
