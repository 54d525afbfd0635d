#include "partitions/fat_volume.h"

#include <vector>

#include "media/media_reader.h"
#include "partitions/volume_label.h"

namespace salvora {

namespace {

// Boot sector fields (little-endian).
constexpr size_t kBytesPerSector = 11;
constexpr size_t kSectorsPerCluster = 13;
constexpr size_t kReservedSectors = 14;
constexpr size_t kFatCount = 16;
constexpr size_t kRootEntries = 17;
constexpr size_t kTotalSectors16 = 19;
constexpr size_t kMediaDescriptor = 21;
constexpr size_t kSectorsPerFat16 = 22;
constexpr size_t kTotalSectors32 = 32;
constexpr size_t kSectorsPerFat32 = 36;
constexpr size_t kExtendedSignature16 = 38;
constexpr size_t kExtendedFlags32 = 40;
constexpr size_t kRootCluster = 44;
constexpr size_t kLabel16 = 43;
constexpr size_t kLabel32 = 71;
constexpr size_t kSignature = 510;

constexpr uint64_t kMaxFat12Clusters = 4085;   // fewer clusters: FAT12
constexpr uint64_t kMinFat32Clusters = 65525;  // this many or more: FAT32

// Directory entries.
constexpr size_t kEntrySize = 32;
constexpr size_t kEntryAttributes = 11;
constexpr uint8_t kAttributeVolumeLabel = 0x08;
constexpr uint8_t kLongNameAttributes = 0x0F;
constexpr uint8_t kDeletedEntry = 0xE5;

bool validSectorsPerCluster(uint8_t value) {
    return value != 0 && (value & (value - 1)) == 0;
}

bool validJump(Bytes sector) {
    if (sector.u8(0) == 0xEB)
        return sector.u8(2) == 0x90;
    return sector.u8(0) == 0xE9;
}

bool validRootEntries(uint16_t entries) {
    return entries != 0 && entries % 16 == 0;
}

// The kind the cluster count gives, or kFsNone when the sector breaks that kind's rules.
uint32_t classify(Bytes sector, uint64_t clusters) {
    const uint16_t rootEntries = sector.le16(kRootEntries);
    const uint16_t fatSize16 = sector.le16(kSectorsPerFat16);
    if (clusters < kMaxFat12Clusters) {
        return validRootEntries(rootEntries) && fatSize16 >= 1 && fatSize16 <= 256 ? kFsFat12 : kFsNone;
    }
    if (clusters >= kMinFat32Clusters) {
        const uint64_t rootCluster = sector.le32(kRootCluster);
        const bool valid = sector.le16(kTotalSectors16) == 0 && rootEntries == 0 && rootCluster >= 2 &&
                           rootCluster < clusters + 2;
        return valid ? kFsFat32 : kFsNone;
    }
    return fatSize16 != 0 && validRootEntries(rootEntries) ? kFsFat16 : kFsNone;
}

// Label of the volume-label entry of a FAT32 root directory cluster; empty
// when the directory has none before its end mark.
std::string directoryLabel(Bytes directory) {
    for (size_t at = 0; directory.has(at, kEntrySize); at += kEntrySize) {
        const uint8_t first = directory.u8(at);
        const uint8_t attributes = directory.u8(at + kEntryAttributes);
        const bool labelEntry = (attributes & kAttributeVolumeLabel) != 0 &&
                                (attributes & kLongNameAttributes) != kLongNameAttributes &&
                                first != kDeletedEntry;
        if (labelEntry)
            return fatLabelAt(directory, at);
        if (first == 0)
            break;
    }
    return std::string();
}

std::string fat32Label(MediaReader& reader, Bytes sector, const PartitionRecord& partition) {
    const uint8_t sectorsPerCluster = sector.u8(kSectorsPerCluster);
    if (sectorsPerCluster >= 1 && sectorsPerCluster <= 128 && sector.le32(kRootCluster) >= 2) {
        const uint64_t rootSector = sector.le16(kReservedSectors) +
                                    uint64_t{sector.u8(kFatCount)} * sector.le32(kSectorsPerFat32) +
                                    (uint64_t{sector.le32(kRootCluster)} - 2) * sectorsPerCluster;
        const uint32_t length = sectorsPerCluster * reader.sectorSize;
        std::vector<uint8_t> directory(length);
        if (reader.readAt(directory.data(), length, partition.offset + rootSector * reader.sectorSize) ==
            static_cast<int32_t>(length)) {
            std::string label = directoryLabel(Bytes(directory.data(), directory.size()));
            if (!label.empty())
                return label;
        }
    }
    return fatLabelAt(sector, kLabel32);
}

}  // namespace

FatLayout fatLayout(Bytes sector) {
    FatLayout layout;
    layout.bytesPerSector = sector.le16(kBytesPerSector);
    layout.sectorsPerCluster = sector.u8(kSectorsPerCluster);
    layout.fatCount = sector.u8(kFatCount);
    layout.fatStart = sector.le16(kReservedSectors);
    const uint16_t fatSize16 = sector.le16(kSectorsPerFat16);
    layout.fatSize = fatSize16 ? fatSize16 : sector.le32(kSectorsPerFat32);
    if (fatSize16 == 0) {
        // FAT32 extended flags: bit 7 set means only the FAT numbered in bits 0-3 is kept up to date.
        const uint16_t flags = sector.le16(kExtendedFlags32);
        layout.activeFat = (flags & 0x80) ? flags & 0x0F : 0;
        layout.rootCluster = sector.le32(kRootCluster);
    }
    layout.totalSectors =
        sector.le16(kTotalSectors16) ? sector.le16(kTotalSectors16) : sector.le32(kTotalSectors32);
    layout.rootStart = layout.fatStart + uint64_t{layout.fatCount} * layout.fatSize;
    if (layout.bytesPerSector != 0) {
        layout.rootSectors =
            (sector.le16(kRootEntries) * uint64_t{32} + layout.bytesPerSector - 1) / layout.bytesPerSector;
    }
    layout.dataStart = layout.rootStart + layout.rootSectors;
    if (layout.sectorsPerCluster != 0 && layout.totalSectors >= layout.dataStart)
        layout.clusters = (layout.totalSectors - layout.dataStart) / layout.sectorsPerCluster;
    return layout;
}

int checkFatBootSector(const MediaReader& reader, Bytes sector, PartitionRecord& partition,
                       FatCheckOptions options) {
    if (sector.le16(kSignature) != 0xAA55 || !validJump(sector))
        return 1;
    const uint8_t fats = sector.u8(kFatCount);
    if (fats != 1 && fats != 2)
        return 1;
    if (sector.le16(kBytesPerSector) != reader.sectorSize)
        return 1;
    const uint8_t sectorsPerCluster = sector.u8(kSectorsPerCluster);
    if (!validSectorsPerCluster(sectorsPerCluster))
        return 1;
    const uint8_t media = sector.u8(kMediaDescriptor);
    if (media != 0xF0 && media < 0xF8)
        return 1;
    const FatLayout layout = fatLayout(sector);
    // A data area that starts past the volume's end would give a wrapped,
    // enormous cluster count.
    if (layout.totalSectors < layout.dataStart)
        return 1;
    const uint32_t kind = classify(sector, layout.clusters);
    if (kind == kFsNone)
        return 1;
    if (!options.skipSizeCheck && partition.size != 0 &&
        layout.totalSectors > partition.size / reader.sectorSize) {
        return 1;
    }
    partition.fsKind = kind;
    return 0;
}

void readFatVolumeInfo(MediaReader& reader, Bytes sector, PartitionRecord& partition) {
    partition.label.clear();
    switch (partition.fsKind) {
        case kFsFat12:
        case kFsFat16:
            partition.fsName = partition.fsKind == kFsFat12 ? "FAT12" : "FAT16";
            if (sector.u8(kExtendedSignature16) == 0x29)
                partition.label = fatLabelAt(sector, kLabel16);
            break;
        case kFsFat32:
            partition.fsName = "FAT32";
            partition.label = fat32Label(reader, sector, partition);
            break;
        default:
            break;
    }
}

int probeFatPartition(MediaReader& reader, PartitionRecord& partition, bool) {
    const uint32_t length = 3 * reader.sectorSize;
    std::vector<uint8_t> sectors(length);
    if (reader.readAt(sectors.data(), length, partition.offset) < static_cast<int32_t>(length))
        return 1;
    const Bytes bytes(sectors.data(), sectors.size());
    if (checkFatBootSector(reader, bytes, partition) != 0)
        return 1;
    readFatVolumeInfo(reader, bytes, partition);
    return 0;
}

}  // namespace salvora
