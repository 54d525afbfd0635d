#include "formats/tiff.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "carve/signature_registry.h"
#include "formats/register.h"
#include "formats/search.h"
#include "media/bytes.h"

namespace salvora {

namespace {

const uint8_t kBigEndianHeader[] = {0x4D, 0x4D, 0x00, 0x2A};
const uint8_t kLittleEndianHeader[] = {0x49, 0x49, 0x2A, 0x00};

constexpr uint16_t kTagMake = 271;
constexpr uint16_t kTagDngVersion = 50706;
constexpr uint16_t kTagStripOffsets = 273;
constexpr uint16_t kTagStripByteCounts = 279;
constexpr uint16_t kTagTileOffsets = 324;
constexpr uint16_t kTagTileByteCounts = 325;
constexpr uint16_t kTagThumbnailOffset = 513;
constexpr uint16_t kTagThumbnailLength = 514;
constexpr uint16_t kTagSubDirectories = 330;
constexpr uint16_t kTagKodakDirectory = 33424;
constexpr uint16_t kTagExifDirectory = 34665;

constexpr uint32_t kDirectoryBytes = 8192;
constexpr uint64_t kLargestTiff = 209715200;  // the family's size limit
// Places of the values the block check carries.
constexpr size_t kNeeded = 0;  // bytes that must be written before the directories are walked again
constexpr uint32_t kEntrySize = 12;
constexpr uint32_t kMaxDepth = 4;
constexpr uint32_t kMaxChain = 16;
constexpr uint32_t kMaxSubDirectoryOffsets = 24;
// A sound file has a few dozen directories and at most some hundred thousand
// strips; these bound the work a damaged file can cause (directories that
// point at each other multiply with every level).
constexpr uint32_t kMaxDirectoryReads = 1024;
constexpr uint64_t kMaxArrayValues = uint64_t{1} << 22;
constexpr uint32_t kArrayChunk = 1024;

struct MakerExtension {
    const char* make;
    const char* extension;
};

const MakerExtension kMakers[] = {
    {"PENTAX Corporation ", "pef"},
    {"PENTAX             ", "pef"},
    {"NIKON CORPORATION", "nef"},
    {"Kodak", "dcr"},
    {"SONY", "arw"},
    {"SONY ", "arw"},
};

// Bytes per value of a field type; IFD (13) is a 4-byte offset like LONG.
uint64_t typeSize(uint16_t type) {
    switch (type) {
        case 3:
        case 8:
            return 2;
        case 4:
        case 9:
        case 11:
        case 13:
            return 4;
        case 5:
        case 10:
        case 12:
            return 8;
        default:
            return 1;
    }
}

// One 12-byte directory entry.
struct Field {
    uint16_t tag = 0;
    uint16_t type = 0;
    uint32_t count = 0;
    uint32_t value = 0;
    uint8_t raw[4] = {};  // the value field as stored, for values kept in place
    bool present = false;
};

Field readField(const Bytes& directory, size_t at, bool bigEndian) {
    Field field;
    field.tag = directory.u16(at, bigEndian);
    field.type = directory.u16(at + 2, bigEndian);
    field.count = directory.u32(at + 4, bigEndian);
    field.value = directory.u32(at + 8, bigEndian);
    if (directory.has(at + 8, 4))
        std::memcpy(field.raw, directory.data() + at + 8, 4);
    field.present = true;
    return field;
}

const char* makerExtension(const Bytes& window, uint64_t at) {
    if (at >= window.size())
        return nullptr;
    const void* end = std::memchr(window.data() + at, 0, window.size() - at);
    if (!end)
        return nullptr;
    const char* make = reinterpret_cast<const char*>(window.data() + at);
    for (const MakerExtension& maker : kMakers) {
        if (std::strcmp(make, maker.make) == 0)
            return maker.extension;
    }
    return nullptr;
}

const char* chooseExtension(const uint8_t* window, uint32_t windowLength) {
    const Bytes bytes(window, windowLength);
    if (bytes.u8(8) == 'C' && bytes.u8(9) == 'R' && bytes.u8(10) == 2)
        return "cr2";
    if (findTiffTag(window, windowLength, kTagDngVersion))
        return "dng";
    const std::optional<uint64_t> make = findTiffTag(window, windowLength, kTagMake);
    if (make) {
        if (const char* extension = makerExtension(bytes, *make))
            return extension;
    }
    return "tif";
}

// One walk over the directories of a file, with the budget that bounds it.
class TiffWalk {
  public:
    // `whole`: a directory cut short by the end of the data is walked as far
    // as it goes (the file's end is what there is); otherwise it ends the
    // walk (the file is still being written).
    TiffWalk(OutputFile& file, bool bigEndian, bool whole = true)
        : file_(file), bigEndian_(bigEndian), whole_(whole) {}

    // The end of the data of the directory at `offset` and of the chain after it; 0 = failure.
    uint64_t chainEnd(uint64_t offset, uint32_t depth, uint32_t chain);
    bool exhausted() const { return exhausted_; }
    // End of the furthest bytes the walk needed: a walk over a file written
    // up to at least this far saw all it looks at.
    uint64_t reach() const { return reach_; }

  private:
    struct Directory {
        uint64_t end = 0;
        uint64_t next = 0;
    };
    // Where pieces of image data lie: their offsets and their byte counts.
    struct DataFields {
        Field offsets;
        Field counts;
    };

    bool readDirectory(uint64_t offset, uint32_t depth, uint32_t chain, Directory& directory);
    bool entriesEnd(const Bytes& bytes, uint32_t entries, uint32_t depth, uint64_t& end);
    bool subDirectoriesEnd(const Field& field, uint32_t depth, uint64_t& end);
    uint64_t dataEnd(const DataFields& data);
    bool readValues(const Field& field, uint32_t first, uint32_t count, std::vector<uint64_t>& values);
    uint64_t firstValue(const Field& field) const;

    OutputFile& file_;
    bool bigEndian_;
    bool whole_;
    uint32_t directoryReads_ = 0;
    uint64_t arrayValues_ = 0;
    bool exhausted_ = false;
    uint64_t reach_ = 0;
};

uint64_t TiffWalk::chainEnd(uint64_t offset, uint32_t depth, uint32_t chain) {
    uint64_t end = 0;
    for (uint32_t link = chain;; ++link) {
        Directory directory;
        if (!readDirectory(offset, depth, link, directory))
            return link == chain ? 0 : end;
        end = std::max(end, directory.end);
        offset = directory.next;
    }
}

bool TiffWalk::readDirectory(uint64_t offset, uint32_t depth, uint32_t chain, Directory& directory) {
    if (exhausted_ || depth > kMaxDepth || chain > kMaxChain || offset == 0 || offset % 2 != 0)
        return false;
    if (++directoryReads_ > kMaxDirectoryReads) {
        exhausted_ = true;
        return false;
    }
    std::vector<uint8_t> buffer(kDirectoryBytes);
    const size_t got = file_.readAt(offset, buffer.data(), buffer.size());
    reach_ = std::max(reach_, offset + 2);
    if (got < 2)
        return false;
    const Bytes bytes(buffer.data(), got);
    const uint64_t length =
        std::min<uint64_t>(2 + uint64_t{bytes.u16(0, bigEndian_)} * kEntrySize + 4, kDirectoryBytes);
    reach_ = std::max(reach_, offset + length);
    if (!whole_ && got < length)
        return false;
    const uint32_t entries =
        std::min<uint32_t>(bytes.u16(0, bigEndian_), static_cast<uint32_t>((got - 2) / kEntrySize));
    if (entries == 0 || !entriesEnd(bytes, entries, depth, directory.end))
        return false;
    const size_t nextAt = 2 + size_t{entries} * kEntrySize;
    directory.next = bytes.has(nextAt, 4) ? bytes.u32(nextAt, bigEndian_) : 0;
    return !exhausted_;
}

bool TiffWalk::entriesEnd(const Bytes& bytes, uint32_t entries, uint32_t depth, uint64_t& end) {
    end = 0;
    DataFields strips;
    DataFields tiles;
    DataFields thumbnail;
    for (uint32_t i = 0; i < entries; ++i) {
        const Field field = readField(bytes, 2 + size_t{i} * kEntrySize, bigEndian_);
        const uint64_t dataSize = field.count * typeSize(field.type);
        if (dataSize > 4)
            end = std::max(end, field.value + dataSize);
        switch (field.tag) {
            case kTagStripOffsets:
                strips.offsets = field;
                break;
            case kTagStripByteCounts:
                strips.counts = field;
                break;
            case kTagTileOffsets:
                tiles.offsets = field;
                break;
            case kTagTileByteCounts:
                tiles.counts = field;
                break;
            case kTagThumbnailOffset:
                thumbnail.offsets = field;
                break;
            case kTagThumbnailLength:
                thumbnail.counts = field;
                break;
            case kTagSubDirectories:
            case kTagKodakDirectory:
            case kTagExifDirectory: {
                uint64_t subEnd = 0;
                if (!subDirectoriesEnd(field, depth, subEnd))
                    return false;
                end = std::max(end, subEnd);
                break;
            }
            default:
                break;
        }
    }
    const uint64_t thumbnailLength = firstValue(thumbnail.counts);
    if (thumbnailLength > 0)
        end = std::max(end, firstValue(thumbnail.offsets) + thumbnailLength);
    end = std::max({end, dataEnd(strips), dataEnd(tiles)});
    return true;
}

bool TiffWalk::subDirectoriesEnd(const Field& field, uint32_t depth, uint64_t& end) {
    const uint64_t dataSize = field.count * typeSize(field.type);
    if (dataSize == 4) {
        end = chainEnd(field.value, depth + 1, 0);
        return end != 0;
    }
    if (dataSize < 4 || field.count > kMaxSubDirectoryOffsets)
        return true;  // not a directory list
    uint8_t raw[4 * kMaxSubDirectoryOffsets];
    const size_t length = size_t{field.count} * 4;
    reach_ = std::max(reach_, field.value + length);
    if (file_.readAt(field.value, raw, length) != length)
        return false;
    const Bytes offsets(raw, length);
    for (uint32_t i = 0; i < field.count; ++i) {
        const uint64_t subEnd = chainEnd(offsets.u32(size_t{i} * 4, bigEndian_), depth + 1, 0);
        if (subEnd == 0)
            return false;
        end = std::max(end, subEnd);
    }
    return true;
}

// The end of the last strip or tile: the largest offset + byte count.
uint64_t TiffWalk::dataEnd(const DataFields& data) {
    if (!data.offsets.present || !data.counts.present)
        return 0;
    const uint32_t count = std::min(data.offsets.count, data.counts.count);
    uint64_t end = 0;
    std::vector<uint64_t> offsets;
    std::vector<uint64_t> counts;
    for (uint32_t first = 0; first < count; first += std::min(kArrayChunk, count - first)) {
        const uint32_t chunk = std::min(kArrayChunk, count - first);
        arrayValues_ += chunk;
        if (arrayValues_ > kMaxArrayValues) {
            exhausted_ = true;
            return 0;
        }
        // Arrays that lie beyond the file: their own extent already marks it short.
        if (!readValues(data.offsets, first, chunk, offsets) ||
            !readValues(data.counts, first, chunk, counts)) {
            return end;
        }
        for (uint32_t i = 0; i < chunk; ++i) {
            if (counts[i] > 0)
                end = std::max(end, offsets[i] + counts[i]);
        }
    }
    return end;
}

// Values of an offset or byte-count field: SHORT or LONG, kept in the entry
// when they fit in its four bytes, else in an array at the entry's offset.
bool TiffWalk::readValues(const Field& field, uint32_t first, uint32_t count, std::vector<uint64_t>& values) {
    const size_t width = typeSize(field.type) == 2 ? 2 : 4;
    values.assign(count, 0);
    if (uint64_t{field.count} * width <= 4) {
        const Bytes raw(field.raw, 4);
        for (uint32_t i = 0; i < count; ++i) {
            values[i] = width == 2 ? raw.u16((first + i) * width, bigEndian_) : raw.u32(0, bigEndian_);
        }
        return true;
    }
    std::vector<uint8_t> bytes(size_t{count} * width);
    reach_ = std::max(reach_, field.value + uint64_t{first} * width + bytes.size());
    if (file_.readAt(field.value + uint64_t{first} * width, bytes.data(), bytes.size()) != bytes.size()) {
        return false;
    }
    const Bytes array(bytes.data(), bytes.size());
    for (uint32_t i = 0; i < count; ++i) {
        values[i] = width == 2 ? array.u16(i * width, bigEndian_) : array.u32(i * width, bigEndian_);
    }
    return true;
}

uint64_t TiffWalk::firstValue(const Field& field) const {
    if (!field.present)
        return 0;
    if (typeSize(field.type) == 2)
        return Bytes(field.raw, 4).u16(0, bigEndian_);
    return field.value;
}

}  // namespace

void registerTiff(FamilyTally& tally) {
    registerSignature(0, kBigEndianHeader, 4, recogniseTiff, tally);
    registerSignature(0, kLittleEndianHeader, 4, recogniseTiff, tally);
}

uint32_t recogniseTiff(const uint8_t* window, uint32_t windowLength, uint32_t, const CarveCandidate&,
                       CarveCandidate& fresh) {
    const Bytes bytes(window, windowLength);
    if (!bytes.equals(0, kBigEndianHeader, 4) && !bytes.equals(0, kLittleEndianHeader, 4))
        return 0;
    resetCandidate(fresh);
    fresh.extension = chooseExtension(window, windowLength);
    fresh.endCheck = endCheckTiff;
    // Raw files whose data the directories do not all describe keep all that
    // is followed, so all of it is written.
    if (std::strcmp(fresh.extension, "arw") != 0 && std::strcmp(fresh.extension, "dng") != 0) {
        fresh.blockCheck = blockCheckTiff;
        fresh.carried[kNeeded] = 8;
    }
    return 1;
}

BlockVerdict blockCheckTiff(const uint8_t*, uint32_t, CarveCandidate& candidate) {
    auto& state = candidate.carried;
    const uint64_t written = candidate.output.size();
    if (!candidate.output.isOpen() || written < state[kNeeded])
        return BlockVerdict::kContinue;
    uint8_t head[8];
    if (candidate.output.readAt(0, head, sizeof head) != sizeof head)
        return BlockVerdict::kContinue;
    const Bytes header(head, sizeof head);
    const bool bigEndian = header.equalsText(0, "MM");
    TiffWalk walk(candidate.output, bigEndian, false);
    const uint64_t end = walk.chainEnd(bigEndian ? header.be32(4) : header.le32(4), 0, 0);
    if (!walk.exhausted() && walk.reach() > written && walk.reach() <= kLargestTiff) {
        state[kNeeded] = walk.reach();
        return BlockVerdict::kContinue;
    }
    candidate.blockCheck = nullptr;
    // Every directory is written: nothing after the data they refer to, nor
    // after the directories themselves, is written.
    if (!walk.exhausted() && walk.reach() <= written && end != 0)
        candidate.writeUntil = std::max(end, walk.reach());
    return BlockVerdict::kContinue;
}

void endCheckTiff(CarveCandidate& candidate) {
    uint8_t head[8];
    if (candidate.output.readAt(0, head, sizeof head) != sizeof head)
        return;
    const Bytes header(head, sizeof head);
    uint64_t end = 0;
    if (header.equalsText(0, "II")) {
        end = tiffDataEnd(candidate.output, header.le32(4), false, 0, 0);
    } else if (header.equalsText(0, "MM")) {
        end = tiffDataEnd(candidate.output, header.be32(4), true, 0, 0);
    }
    if (candidate.size < end) {
        candidate.size = 0;
        return;
    }
    const char* extension = candidate.extension ? candidate.extension : "";
    if (std::strcmp(extension, "arw") == 0 || std::strcmp(extension, "dng") == 0)
        return;
    candidate.size = end;
}

uint64_t tiffDataEnd(OutputFile& file, uint64_t offset, bool bigEndian, uint32_t depth, uint32_t chain) {
    TiffWalk walk(file, bigEndian);
    const uint64_t end = walk.chainEnd(offset, depth, chain);
    return walk.exhausted() ? 0 : end;
}

}  // namespace salvora
