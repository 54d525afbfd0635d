#include "partitions/fat_table.h"

#include <algorithm>

#include "media/media_reader.h"
#include "partitions/partition_record.h"

namespace salvora {

namespace {

// The FAT is read in pieces of this many bytes (a multiple of 12, so that
// every piece starts at an entry of each FAT kind).
constexpr uint32_t kReadPiece = 12 << 16;

// Bytes of FAT that hold the entries of clusters [0, count).
uint64_t fatBytesFor(uint32_t fsKind, uint64_t count) {
    switch (fsKind) {
        case kFsFat12:
            return (count * 3 + 1) / 2;
        case kFsFat16:
            return count * 2;
        default:
            return count * 4;
    }
}

// Entries whose bytes lie wholly within the first `bytes` bytes of a FAT.
uint64_t entriesIn(uint32_t fsKind, uint64_t bytes) {
    switch (fsKind) {
        case kFsFat12:
            return bytes * 2 / 3;
        case kFsFat16:
            return bytes / 2;
        default:
            return bytes / 4;
    }
}

// Entry `cluster` of a FAT held in `fat`, widened to the FAT32 values.
uint32_t decodeEntry(Bytes fat, uint32_t fsKind, uint32_t cluster) {
    switch (fsKind) {
        case kFsFat12: {
            const uint16_t pair = fat.le16(cluster + cluster / 2);
            const uint32_t value = (cluster & 1) ? pair >> 4 : pair & 0x0FFF;
            return value >= 0x0FF7 ? value | 0x0FFFF000 : value;
        }
        case kFsFat16: {
            const uint32_t value = fat.le16(size_t{cluster} * 2);
            return value >= 0xFFF7 ? value | 0x0FFF0000 : value;
        }
        default:
            return fat.le32(size_t{cluster} * 4) & 0x0FFFFFFF;
    }
}

}  // namespace

bool FatTable::read(MediaReader& reader, uint64_t volumeOffset, const FatLayout& layout, uint32_t fsKind) {
    entries_.clear();
    const uint64_t sector = layout.bytesPerSector;
    clusterBytes_ = sector * layout.sectorsPerCluster;
    dataOffset_ = volumeOffset + layout.dataStart * sector;
    if (clusterBytes_ == 0 || layout.clusters == 0 || dataOffset_ >= reader.size)
        return false;
    // Clusters the FAT has entries for, that the volume counts, and that the medium holds.
    const uint64_t fatBytes = layout.fatSize * sector;
    uint64_t count = entriesIn(fsKind, fatBytes);
    count = std::min<uint64_t>(count, layout.clusters + kFirstCluster);
    count = std::min<uint64_t>(count, kFirstCluster + (reader.size - dataOffset_) / clusterBytes_);
    count = std::min<uint64_t>(count, kBad);
    if (count <= kFirstCluster)
        return false;
    const uint32_t first = layout.activeFat < layout.fatCount ? layout.activeFat : 0;
    for (uint32_t copy = 0; copy < layout.fatCount; ++copy) {
        const uint32_t which = (first + copy) % layout.fatCount;
        const uint64_t fatOffset = volumeOffset + (layout.fatStart + which * layout.fatSize) * sector;
        if (readCopy(reader, fatOffset, fsKind, static_cast<uint32_t>(count)))
            return true;
    }
    entries_.clear();
    return false;
}

bool FatTable::readCopy(MediaReader& reader, uint64_t fatOffset, uint32_t fsKind, uint32_t entryCount) {
    const uint64_t length = fatBytesFor(fsKind, entryCount);
    std::vector<uint8_t> piece(std::min<uint64_t>(kReadPiece, length));
    entries_.resize(entryCount);
    uint32_t cluster = 0;
    for (uint64_t done = 0; done < length; done += piece.size()) {
        const uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(piece.size(), length - done));
        if (reader.readAt(piece.data(), count, fatOffset + done) != static_cast<int32_t>(count))
            return false;
        // A piece starts on a 12-byte boundary, where an entry of every kind starts.
        const Bytes bytes(piece.data(), count);
        const uint32_t pieceFirst = cluster;
        const uint64_t pieceEnd = std::min<uint64_t>(entryCount, entriesIn(fsKind, done + count));
        for (; cluster < pieceEnd; ++cluster)
            entries_[cluster] = decodeEntry(bytes, fsKind, cluster - pieceFirst);
    }
    return cluster == entryCount;
}

}  // namespace salvora
