#include "formats/jpeg.h"

#include <algorithm>
#include <memory>

#include "carve/shared_checks.h"
#include "carve/signature_registry.h"
#include "formats/register.h"
#include "formats/search.h"
#include "formats/window_walk.h"
#include "media/bytes.h"

namespace salvora {

namespace {

const uint8_t kApp0[] = {0xFF, 0xD8, 0xFF, 0xE0};
const uint8_t kApp1[] = {0xFF, 0xD8, 0xFF, 0xE1};
const uint8_t kComment[] = {0xFF, 0xD8, 0xFF, 0xFE};
// Start of image and an APP0 segment "AVI1": a motion-JPEG frame inside an AVI.
const uint8_t kMotionJpegPrefix[20] = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 0x41, 0x56, 0x49, 0x31};
const uint8_t kEndOfImage[] = {0xFF, 0xD9};

constexpr uint32_t kHeaderScanLimit = 3072;
constexpr uint64_t kMinSizeAtOtherMarker = 288;
constexpr uint64_t kStructureLimit = 327680;

constexpr uint8_t kApp0Code = 0xE0;
constexpr uint8_t kApp1Code = 0xE1;
constexpr uint8_t kCommentCode = 0xFE;
constexpr uint8_t kQuantisationCode = 0xDB;
constexpr uint8_t kStartOfScan = 0xDA;

bool isHeaderSegment(uint8_t code) {
    return code == kApp0Code || code == kApp1Code || code == kCommentCode || code == kQuantisationCode;
}

// The header segments of the Exif thumbnail inside the APP1 segment at `at`.
uint64_t checkThumbnail(const Bytes& file, uint64_t at) {
    const uint64_t length = file.be16(at + 2);
    if (at + 10 >= file.size() || length + 2 <= 10)
        return 0;
    const uint64_t tiffStart = at + 10;
    const uint64_t tiffLength = std::min<uint64_t>(length - 8, file.size() - tiffStart);
    const uint8_t* tiff = file.data() + tiffStart;
    const std::optional<uint64_t> offset = findTiffTag(tiff, tiffLength, 0x0201);
    if (!offset)
        return 0;
    const std::optional<uint64_t> size = findTiffTag(tiff, tiffLength, 0x0202);
    if (!size)
        return 0;
    const uint64_t thumbnail = tiffStart + *offset;
    if (thumbnail + *size >= kStructureLimit)
        return 0;
    bool startOfScan = false;
    for (uint64_t j = thumbnail + 2; j + 4 < kStructureLimit && file.has(j, 4) && !startOfScan;
         j += 2 + file.be16(j + 2)) {
        if (file.u8(j) != 0xFF)
            return j;
        if (file.u8(j + 1) == kStartOfScan)
            startOfScan = true;
    }
    return 0;
}

}  // namespace

void registerJpeg(FamilyTally& tally) {
    registerSignature(0, kApp0, 4, recogniseJpeg, tally);
    registerSignature(0, kApp1, 4, recogniseJpeg, tally);
    registerSignature(0, kComment, 4, recogniseJpeg, tally);
}

uint32_t recogniseJpeg(const uint8_t* window, uint32_t windowLength, uint32_t, const CarveCandidate& current,
                       CarveCandidate& fresh) {
    const Bytes bytes(window, windowLength);
    if (isFamily(current, "indd"))
        return 0;
    if (isFamily(current, "riff") && bytes.equals(0, kMotionJpegPrefix, sizeof kMotionJpegPrefix))
        return 0;
    if (!bytes.equals(0, kApp0, 4) && !bytes.equals(0, kApp1, 4) && !bytes.equals(0, kComment, 4))
        return 0;
    uint64_t i = 2;
    uint64_t minSize = 0;
    while (true) {
        if (i >= kHeaderScanLimit || i + 4 >= windowLength) {
            minSize = i;
            break;
        }
        if (bytes.u8(i) != 0xFF)
            return 0;
        if (!isHeaderSegment(bytes.u8(i + 1))) {
            minSize = kMinSizeAtOtherMarker;
            break;
        }
        i += 2 + bytes.be16(i + 2);
    }
    resetCandidate(fresh);
    fresh.extension = "jpg";
    fresh.minSize = minSize;
    fresh.expectedSize = 2;
    fresh.blockCheck = blockCheckJpeg;
    fresh.endCheck = endCheckJpeg;
    return 1;
}

BlockVerdict blockCheckJpeg(const uint8_t* window, uint32_t windowLength, CarveCandidate& candidate) {
    const WindowWalk walk(window, windowLength, candidate);
    const Bytes& bytes = walk.bytes();
    while (walk.holds(candidate, 4)) {
        const uint64_t j = walk.index(candidate);
        if (bytes.u8(j) != 0xFF)
            return BlockVerdict::kFileEnds;
        candidate.expectedSize += bytes.be16(j + 2) + 2;
        if (bytes.u8(j + 1) == kStartOfScan) {
            // The entropy-coded data follows; the file runs on unchecked.
            candidate.expectedSize = 0;
            candidate.blockCheck = nullptr;
            return BlockVerdict::kContinue;
        }
    }
    return BlockVerdict::kContinue;
}

namespace {

// The first bytes of the written file, as much as the structure check looks
// at. The buffer is not cleared first: only the bytes read are used.
struct FileHead {
    std::unique_ptr<uint8_t[]> data;
    size_t size = 0;
    Bytes bytes() const { return Bytes(data.get(), size); }
};

FileHead readHead(CarveCandidate& candidate) {
    FileHead head;
    if (!candidate.output.isOpen())
        return head;
    head.data = std::make_unique_for_overwrite<uint8_t[]>(kStructureLimit);
    head.size = candidate.output.readAt(0, head.data.get(), kStructureLimit);
    return head;
}

uint64_t structureError(const Bytes& file) {
    for (uint64_t i = 2; file.has(i, 4); i += 2 + file.be16(i + 2)) {
        if (file.u8(i) != 0xFF)
            return i;
        const uint8_t code = file.u8(i + 1);
        if (code == kStartOfScan)
            return 0;
        if (code == kApp1Code)
            return checkThumbnail(file, i);
    }
    return 0;
}

// Offset of the main image's start-of-scan segment, 0 when the header
// segments do not lead to one within the bytes read.
uint64_t mainScanStart(const Bytes& file) {
    for (uint64_t i = 2; file.has(i, 4) && file.u8(i) == 0xFF; i += 2 + file.be16(i + 2)) {
        if (file.u8(i + 1) == kStartOfScan)
            return i;
    }
    return 0;
}

}  // namespace

void endCheckJpeg(CarveCandidate& candidate) {
    candidate.size = 0;
    if (!candidate.output.isOpen())
        return;
    const uint64_t written = candidate.output.size();
    const FileHead head = readHead(candidate);
    const Bytes file = head.bytes();
    if (structureError(file) != 0)
        return;
    if (written == 0)
        return;
    candidate.size = written;
    endCheckFindLastFooter(candidate, kEndOfImage, 2);
    // An end marker before the main image's scan data is the Exif
    // thumbnail's: the photo itself was cut short.
    const uint64_t scanStart = mainScanStart(file);
    if (scanStart != 0 && candidate.size <= scanStart)
        candidate.size = 0;
}

uint64_t checkJpegStructure(CarveCandidate& candidate) {
    return structureError(readHead(candidate).bytes());
}

}  // namespace salvora
