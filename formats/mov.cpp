#include "formats/mov.h"

#include <algorithm>
#include <cstring>

#include "carve/shared_checks.h"
#include "carve/signature_registry.h"
#include "formats/iso_brands.h"
#include "formats/movie_samples.h"
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

// Top-level atom types that the carving walk follows ("meta" holds the
// pictures of HEIF and AVIF files).
const char kCarriedTypes[][kTypeLength + 1] = {"cmov", "cmvd", "dcom", "free", "ftyp", "jp2h",
                                               "mdat", "mdia", "meta", "moov", "PICT", "pnot",
                                               "skip", "stbl", "trak", "uuid", "wide"};

// A box of JPEG 2000 (the codestream box and the 64-bit size form).
constexpr uint32_t kLongBoxHeader = 16;
// Markers of a JPEG 2000 codestream.
constexpr uint8_t kStartOfCodestream = 0x4F;
constexpr uint8_t kStartOfTile = 0x90;
constexpr uint8_t kEndOfCodestream = 0xD9;
constexpr uint64_t kTileHeaderBytes = 12;  // SOT marker segment: marker, Lsot, Isot, Psot, TPsot, TNsot

bool isType(const Bytes& bytes, size_t at, const char* type) {
    return bytes.equals(at, type, kTypeLength);
}

// Boxes that may follow the codestream box of a JPEG 2000 file.
const char kTrailingBoxTypes[][kTypeLength + 1] = {"xml ", "uuid", "uinf", "jp2i", "asoc", "res ", "rreq"};

bool isTrailingBoxType(const Bytes& bytes, size_t at) {
    for (const char* type : kTrailingBoxTypes) {
        if (isType(bytes, at, type))
            return true;
    }
    return false;
}

// Four printable characters: the type of a JPEG 2000 box.
bool isBoxType(const Bytes& bytes, size_t at) {
    for (size_t i = 0; i < kTypeLength; ++i) {
        const uint8_t c = bytes.u8(at + i);
        if (c < 0x20 || c > 0x7E)
            return false;
    }
    return true;
}

// The file ends at expectedSize, the end of the last atom or box it holds.
BlockVerdict endAtExpected(CarveCandidate& candidate) {
    candidate.blockCheck = nullptr;
    candidate.endCheck = endCheckTruncateToExpected;
    return BlockVerdict::kFileEnds;
}

// Follows the file on to expectedSize, whatever headers lie before it.
void followTo(CarveCandidate& candidate, uint64_t end) {
    candidate.expectedSize = end;
    candidate.wholeUntil = end;
}

bool isCarriedType(const Bytes& bytes, size_t at) {
    for (const char* type : kCarriedTypes) {
        if (isType(bytes, at, type))
            return true;
    }
    return false;
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
        return brandExtension(Bytes(bytes.data() + at + kAtomHeader, end - at - kAtomHeader));
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
    // The file in progress (a movie, or a picture or audio file made of the
    // same boxes) goes on exactly here: this is its next atom.
    const bool boxWalk = isFamily(current, "mov") || (current.tally && current.blockCheck == blockCheckMov);
    if (boxWalk && current.expectedSize == current.size)
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
            followTo(fresh, i + size);
            const bool jpeg2000 = std::strcmp(extension, "jp2") == 0;
            fresh.blockCheck = jpeg2000 ? blockCheckJp2 : blockCheckMov;
            fresh.endCheck = jpeg2000 ? endCheckTruncateToExpected : endCheckMovie;
            return 1;
        }
        i += size;
    }
}

void endCheckMovie(CarveCandidate& candidate) {
    endCheckTruncateToExpected(candidate);
    if (candidate.size == 0 || !candidate.output.isOpen())
        return;
    candidate.searchAgainFrom = firstDoubtfulVideoOffset(candidate.output, candidate.size);
}

BlockVerdict blockCheckMov(const uint8_t* window, uint32_t windowLength, CarveCandidate& candidate) {
    const WindowWalk walk(window, windowLength, candidate);
    const Bytes& bytes = walk.bytes();
    while (walk.holds(candidate, kAtomHeader)) {
        const uint64_t j = walk.index(candidate);
        const uint64_t size = bytes.be32(j);
        if (size < kAtomHeader || size >= kCarveSizeLimit)
            return BlockVerdict::kFileEnds;
        // A file type atom opens the next movie.
        if (!isCarriedType(bytes, j + 4) || isType(bytes, j + 4, "ftyp"))
            return BlockVerdict::kFileEnds;
        followTo(candidate, candidate.expectedSize + size);
    }
    return BlockVerdict::kContinue;
}

BlockVerdict blockCheckJp2(const uint8_t* window, uint32_t windowLength, CarveCandidate& candidate) {
    const WindowWalk walk(window, windowLength, candidate);
    const Bytes& bytes = walk.bytes();
    const bool afterCodestream = candidate.blockCheck == blockCheckJp2AfterCodestream;
    while (walk.holds(candidate, kLongBoxHeader - 1)) {
        const uint64_t j = walk.index(candidate);
        uint64_t size = bytes.be32(j);
        uint64_t header = kAtomHeader;
        if (size == 1) {
            size = bytes.be64(j + kAtomHeader);
            header = kLongBoxHeader;
        }
        if (!isBoxType(bytes, j + 4) || isType(bytes, j + 4, "jP  ") || isType(bytes, j + 4, "ftyp"))
            return endAtExpected(candidate);
        if (afterCodestream && !isTrailingBoxType(bytes, j + 4))
            return endAtExpected(candidate);
        if (!afterCodestream && isType(bytes, j + 4, "jp2c")) {
            if (size == 0) {
                // The codestream runs to the end of the data: its own markers end it.
                followTo(candidate, candidate.expectedSize + header);
                candidate.blockCheck = blockCheckJ2kCodestream;
                return blockCheckJ2kCodestream(window, windowLength, candidate);
            }
            if (size < header || size >= kCarveSizeLimit)
                return endAtExpected(candidate);
            followTo(candidate, candidate.expectedSize + size);
            candidate.blockCheck = blockCheckJp2AfterCodestream;
            return blockCheckJp2AfterCodestream(window, windowLength, candidate);
        }
        if (size < header || size >= kCarveSizeLimit)
            return endAtExpected(candidate);
        followTo(candidate, candidate.expectedSize + size);
    }
    return BlockVerdict::kContinue;
}

BlockVerdict blockCheckJp2AfterCodestream(const uint8_t* window, uint32_t windowLength,
                                          CarveCandidate& candidate) {
    return blockCheckJp2(window, windowLength, candidate);
}

BlockVerdict blockCheckJ2kCodestream(const uint8_t* window, uint32_t windowLength,
                                     CarveCandidate& candidate) {
    const WindowWalk walk(window, windowLength, candidate);
    const Bytes& bytes = walk.bytes();
    while (walk.holds(candidate, kTileHeaderBytes - 1)) {
        const uint64_t j = walk.index(candidate);
        if (bytes.u8(j) != 0xFF)
            return endAtExpected(candidate);
        const uint8_t code = bytes.u8(j + 1);
        if (code == kStartOfCodestream) {
            followTo(candidate, candidate.expectedSize + 2);
        } else if (code == kEndOfCodestream) {
            followTo(candidate, candidate.expectedSize + 2);
            return endAtExpected(candidate);
        } else if (code == kStartOfTile) {
            // A tile-part whose length is 0 runs to the end of the codestream: not followed.
            const uint64_t tilePart = bytes.be32(j + 6);
            if (tilePart < kTileHeaderBytes)
                return endAtExpected(candidate);
            followTo(candidate, candidate.expectedSize + tilePart);
        } else {
            const uint64_t length = bytes.be16(j + 2);
            if (length < 2)
                return endAtExpected(candidate);
            followTo(candidate, candidate.expectedSize + 2 + length);
        }
    }
    return BlockVerdict::kContinue;
}

}  // namespace salvora
