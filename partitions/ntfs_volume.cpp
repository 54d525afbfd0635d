#include "partitions/ntfs_volume.h"

#include <vector>

#include "media/media_reader.h"

namespace salvora {

namespace {

// Boot sector fields (little-endian).
constexpr size_t kOemName = 3;
constexpr size_t kBytesPerSector = 11;
constexpr size_t kSectorsPerCluster = 13;
constexpr size_t kReservedSectors = 14;
constexpr size_t kTotalSectors = 40;
constexpr size_t kMftCluster = 48;
constexpr size_t kClustersPerRecord = 64;
constexpr size_t kSignature = 510;
constexpr size_t kBootSectorSize = 512;

// File records and attributes.
constexpr size_t kMinRecordRemainder = 48;
constexpr size_t kFirstAttribute = 20;
constexpr size_t kAllocatedSize = 28;
constexpr size_t kMinFirstAttribute = 42;
constexpr size_t kAttributeHeader = 24;
constexpr uint32_t kEndOfAttributes = 0xFFFFFFFF;
constexpr uint32_t kVolumeName = 0x60;
constexpr size_t kRecordsRead = 4;
constexpr int kMaxRecordShift = 16;  // 2^16 = kMaxNtfsRecordSize
static_assert(uint64_t{1} << kMaxRecordShift == kMaxNtfsRecordSize);

bool fieldsThatMustBeZeroAreZero(Bytes sector) {
    return sector.le16(14) == 0 && sector.u8(16) == 0 && sector.u8(17) == 0 && sector.u8(18) == 0 &&
           sector.u8(19) == 0 && sector.u8(20) == 0 && sector.le16(22) == 0 && sector.le32(32) == 0;
}

bool validSectorsPerCluster(uint8_t value) {
    return value != 0 && (value & (value - 1)) == 0;
}

// Bytes of one file record, or 0 when the boot sector asks for none or for
// more than kMaxNtfsRecordSize (a clusters-per-record byte of -128 would ask
// for 2^128 bytes).
uint64_t recordSize(Bytes sector) {
    const int8_t value = static_cast<int8_t>(sector.u8(kClustersPerRecord));
    if (value > 0) {
        const uint64_t size = uint64_t(value) * sector.u8(kSectorsPerCluster) * sector.le16(kBytesPerSector);
        return size <= kMaxNtfsRecordSize ? size : 0;
    }
    const int shift = -value;
    return shift <= kMaxRecordShift ? uint64_t{1} << shift : 0;
}

// Byte offset of the master file table on the medium; false when it does not fit 64 bits.
bool mftOffset(Bytes sector, uint64_t partitionOffset, uint64_t& offset) {
    const uint64_t clusterBytes = uint64_t{sector.u8(kSectorsPerCluster)} * sector.le16(kBytesPerSector);
    const uint64_t cluster = sector.le64(kMftCluster);
    if (clusterBytes != 0 && cluster > (UINT64_MAX - partitionOffset) / clusterBytes)
        return false;
    const uint64_t reserved = uint64_t{sector.le16(kReservedSectors)} * sector.le16(kBytesPerSector);
    const uint64_t start = cluster * clusterBytes;
    if (start > UINT64_MAX - partitionOffset - reserved)
        return false;
    offset = partitionOffset + reserved + start;
    return true;
}

enum class Walk { kNoName, kFound, kBroken };

// The volume name held in the value at `at`, as 8-bit text: characters up to
// the first 0 or the first above 255, at most kMaxRecordText of them.
std::string volumeName(Bytes data, size_t at, size_t valueLength) {
    std::string name;
    for (size_t i = 0; i < valueLength / 2 && name.size() < kMaxRecordText; ++i) {
        const uint16_t c = data.le16(at + 2 * i);
        if (c == 0 || c > 255)
            break;
        name.push_back(static_cast<char>(c));
    }
    return name;
}

Walk walkAttributes(Bytes data, size_t at, std::string& label) {
    while (data.has(at, kAttributeHeader)) {
        const uint32_t type = data.le32(at);
        if (type == kEndOfAttributes)
            return Walk::kNoName;
        const size_t length = data.le32(at + 4) & 0xFFFF;
        if (length % 8 != 0 || length < kAttributeHeader)
            return Walk::kBroken;
        if (data.u8(at + 8) == 0) {
            const size_t valueLength = data.le16(at + 16);
            const size_t valueOffset = data.le16(at + 20);
            const bool valid = valueOffset % 8 == 0 && at + valueOffset + 26 < data.size() &&
                               valueOffset + valueLength <= length && at + length < data.size();
            if (!valid)
                return Walk::kBroken;
            if (type == kVolumeName && valueOffset != 0) {
                label = volumeName(data, at + valueOffset, valueLength);
                return Walk::kFound;
            }
        }
        at += length;
    }
    return Walk::kNoName;
}

void findVolumeName(Bytes data, PartitionRecord& partition) {
    size_t at = 0;
    while (data.has(at, kMinRecordRemainder)) {
        const size_t firstAttribute = data.le16(at + kFirstAttribute);
        if (!data.equalsText(at, "FILE") || firstAttribute % 8 != 0 || firstAttribute < kMinFirstAttribute)
            return;
        std::string label;
        const Walk walk = walkAttributes(data, at + firstAttribute, label);
        if (walk == Walk::kFound)
            partition.label = label;
        if (walk != Walk::kNoName)
            return;
        const uint32_t allocated = data.le32(at + kAllocatedSize);
        if (allocated < kMinRecordRemainder)
            return;
        at += allocated;
    }
}

}  // namespace

int checkNtfsBootSector(Bytes sector, PartitionRecord& partition) {
    if (sector.le16(kSignature) != 0xAA55 || !fieldsThatMustBeZeroAreZero(sector))
        return 1;
    if (!sector.equalsText(kOemName, "NTFS"))
        return 1;
    const uint64_t total = sector.le64(kTotalSectors);
    if (total == 0 || !validSectorsPerCluster(sector.u8(kSectorsPerCluster)))
        return 1;
    const uint64_t bytesPerSector = sector.le16(kBytesPerSector);
    // (total + 1) x bytes per sector must not exceed the partition; compared
    // by division so that a huge total cannot wrap around.
    if (partition.size != 0 && bytesPerSector != 0 && total >= partition.size / bytesPerSector)
        return 1;
    partition.fsKind = kFsNtfs;
    return 0;
}

void readNtfsLabel(MediaReader& reader, Bytes sector, PartitionRecord& partition) {
    const uint64_t record = recordSize(sector);
    uint64_t offset = 0;
    if (record == 0 || !mftOffset(sector, partition.offset, offset))
        return;
    const uint32_t length = static_cast<uint32_t>(kRecordsRead * record);
    std::vector<uint8_t> data(length);
    if (reader.readAt(data.data(), length, offset) != static_cast<int32_t>(length))
        return;
    findVolumeName(Bytes(data.data(), data.size()), partition);
}

int probeNtfsPartition(MediaReader& reader, PartitionRecord& partition) {
    uint8_t sector[kBootSectorSize];
    if (reader.readAt(sector, kBootSectorSize, partition.offset) < static_cast<int32_t>(kBootSectorSize))
        return 1;
    const Bytes bytes(sector, sizeof sector);
    if (checkNtfsBootSector(bytes, partition) != 0)
        return 1;
    partition.label.clear();
    partition.fsName = "NTFS";
    readNtfsLabel(reader, bytes, partition);
    return 0;
}

}  // namespace salvora
