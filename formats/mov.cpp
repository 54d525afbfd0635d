#include "formats/mov.h"

#include <algorithm>
#include <cstring>

#include "carve/shared_checks.h"
#include "carve/signature_registry.h"
#include "formats/register.h"
#include "formats/search.h"
#include "formats/window_walk.h"
#include "media/bytes.h"

namespace salvora {

namespace {

constexpr size_t kTypeLength = 4;
constexpr uint32_t kAtomHeader = 8;
// An atom of this size or more is not believed at recognition.
constexpr uint64_t kRecogniseSizeLimit = 1073741825;  // 2^30 + 1
// An atom of this size or more ends the file while it is carved.
constexpr uint64_t kCarveSizeLimit = 1073741824;  // 2^30
constexpr uint64_t kSmallAtomLimit = 256;         // "pnot" and "wide"
constexpr uint64_t kMovieAtomLimit = 16777216;    // "moov", 16 MiB

// Atom types that can start a file, in registration order.
const char kSignatureTypes[][kTypeLength + 1] = {"cmov", "cmvd", "dcom", "free", "ftyp", "jp2h",
                                                 "mdat", "mdia", "moov", "PICT", "pnot", "skip",
                                                 "stbl", "trak", "wide", "jP  "};

// Top-level atom types that the carving walk follows.
const char kCarriedTypes[][kTypeLength + 1] = {"cmov", "cmvd", "dcom", "free", "ftyp", "jp2h",
                                               "mdat", "mdia", "moov", "PICT", "pnot", "skip",
                                               "stbl", "trak", "uuid", "wide"};

struct BrandRow {
    const char* brands[7];
    const char* extension;
};

const BrandRow kBrandRows[] = {
    {{"isom", "mp41", "mp42", "mmp4", "M4A", "M4B", "M4P"}, "mp4"},
    {{"3gp"}, "3gp"},
    {{"3g2"}, "3g2"},
    {{"jp2"}, "jp2"},
    {{"qt"}, "mov"},
};

bool isType(const Bytes& bytes, size_t at, const char* type) {
    return bytes.equals(at, type, kTypeLength);
}

bool isCarriedType(const Bytes& bytes, size_t at) {
    for (const char* type : kCarriedTypes) {
        if (isType(bytes, at, type))
            return true;
    }
    return false;
}

// The extension that the brands of an "ftyp" body [from, to) ask for, or null.
// The major brand (the first four bytes) names the file's own kind and
// decides when it is in the table; otherwise the first row with a brand
// anywhere in the body does.
const char* brandExtension(const Bytes& bytes, size_t from, size_t to) {
    const Bytes body(bytes.data() + from, to - from);
    for (const BrandRow& row : kBrandRows) {
        for (const char* brand : row.brands) {
            if (brand && body.equals(0, brand, std::strlen(brand)))
                return row.extension;
        }
    }
    for (const BrandRow& row : kBrandRows) {
        for (const char* brand : row.brands) {
            if (brand && findBytes(body.data(), body.size(), brand, std::strlen(brand)))
                return row.extension;
        }
    }
    return nullptr;
}

// The extension that the atom at `at` of size `size` decides, null when it
// decides nothing; `refused` is set when it rules the window out.
const char* decide(const Bytes& bytes, size_t at, uint64_t size, bool& refused) {
    const size_t type = at + 4;
    if (isType(bytes, type, "pnot") || isType(bytes, type, "wide")) {
        refused = size > kSmallAtomLimit;
        return refused ? nullptr : "mov";
    }
    if (isType(bytes, type, "moov")) {
        refused = size > kMovieAtomLimit;
        return refused ? nullptr : "mov";
    }
    if (isType(bytes, type, "mdat"))
        return "mov";
    if (isType(bytes, type, "ftyp")) {
        const uint64_t end = at + std::min<uint64_t>(size, bytes.size() - at);
        return brandExtension(bytes, at + kAtomHeader, end);
    }
    return nullptr;
}

}  // namespace

void registerMov(FamilyTally& tally) {
    for (const char* type : kSignatureTypes) {
        registerSignature(4, reinterpret_cast<const uint8_t*>(type), kTypeLength, recogniseMov, tally);
    }
}

uint32_t recogniseMov(const uint8_t* window, uint32_t windowLength, uint32_t, const CarveCandidate& current,
                      CarveCandidate& fresh) {
    // The movie in progress goes on exactly here: this is its next atom.
    if (isFamily(current, "mov") && current.expectedSize == current.size)
        return 0;
    const Bytes bytes(window, windowLength);
    for (uint64_t i = 0;;) {
        if (i + kAtomHeader >= windowLength)
            return 0;
        const uint64_t size = bytes.be32(i);
        if (size < kAtomHeader || size >= kRecogniseSizeLimit)
            return 0;
        bool refused = false;
        const char* extension = decide(bytes, i, size, refused);
        if (refused)
            return 0;
        if (extension) {
            resetCandidate(fresh);
            fresh.extension = extension;
            fresh.expectedSize = i + size;
            fresh.blockCheck = blockCheckMov;
            fresh.endCheck = endCheckTruncateToExpected;
            return 1;
        }
        i += size;
    }
}

BlockVerdict blockCheckMov(const uint8_t* window, uint32_t windowLength, CarveCandidate& candidate) {
    const WindowWalk walk(window, windowLength, candidate);
    const Bytes& bytes = walk.bytes();
    while (walk.holds(candidate, kAtomHeader)) {
        const uint64_t j = walk.index(candidate);
        const uint64_t size = bytes.be32(j);
        if (size < kAtomHeader || size >= kCarveSizeLimit)
            return BlockVerdict::kFileEnds;
        if (!isCarriedType(bytes, j + 4))
            return BlockVerdict::kFileEnds;
        candidate.expectedSize += size;
    }
    return BlockVerdict::kContinue;
}

}  // namespace salvora
