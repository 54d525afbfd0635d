// A FAT volume in memory whose FAT entries and directory entries a test
// writes one by one, for the cases real tools do not make: loops,
// cross-links, chains leaving the volume, damaged long names, deleted
// folders. Entries are laid out as the FAT format describes them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "crafted_volumes.h"
#include "media/memory_reader.h"
#include "partitions/partition_record.h"

namespace salvora::test {

class CraftedFat {
  public:
    explicit CraftedFat(const FatFields& fields) : f_(fields) {
        const uint64_t total = f_.totalSectors16 ? f_.totalSectors16 : f_.totalSectors32;
        const uint64_t fatSize = f_.fatSize16 ? f_.fatSize16 : f_.fatSize32;
        fatStart_ = f_.reserved * uint64_t{512};
        fatBytes_ = fatSize * 512;
        rootStart_ = fatStart_ + f_.fats * fatBytes_;
        dataStart_ = rootStart_ + (f_.rootEntries * uint64_t{32} + 511) / 512 * 512;
        const uint64_t clusters = (total * 512 - dataStart_) / clusterBytes();
        bits_ = f_.fatSize16 == 0 ? 32 : clusters < 4085 ? 12 : 16;
        bytes_.assign(total * 512, 0);
        const auto boot = fatBootSector(f_);
        std::copy(boot.begin(), boot.end(), bytes_.begin());
        setEntry(0, 0x0FFFFFF8);
        setEntry(1, 0x0FFFFFFF);
        if (bits_ == 32)
            setEntry(f_.rootCluster, 0x0FFFFFFF);
    }

    uint64_t clusterBytes() const { return f_.sectorsPerCluster * uint64_t{512}; }
    uint64_t clusterOffset(uint32_t cluster) const { return dataStart_ + (cluster - 2ull) * clusterBytes(); }
    uint32_t endMark() const { return bits_ == 12 ? 0xFFF : bits_ == 16 ? 0xFFFF : 0x0FFFFFFF; }
    uint32_t badMark() const { return endMark() - 8; }

    // Writes `value` as the entry of `cluster` in every FAT.
    void setEntry(uint32_t cluster, uint32_t value) {
        for (uint32_t fat = 0; fat < f_.fats; ++fat)
            setEntryIn(fat, cluster, value);
    }

    // Writes `value` as the entry of `cluster` in FAT number `fat` only.
    void setEntryIn(uint32_t fat, uint32_t cluster, uint32_t value) {
        {
            const uint64_t base = fatStart_ + fat * fatBytes_;
            if (bits_ == 32) {
                put32(bytes_, base + cluster * 4ull, value);
            } else if (bits_ == 16) {
                put16(bytes_, base + cluster * 2ull, static_cast<uint16_t>(value));
            } else {
                // Two 12-bit entries share three bytes, the even one in the low bits.
                const uint64_t at = base + cluster * 3ull / 2;
                const uint16_t pair = static_cast<uint16_t>(bytes_[at] | bytes_[at + 1] << 8);
                const uint16_t packed = (cluster & 1)
                                            ? static_cast<uint16_t>((pair & 0x000F) | (value << 4))
                                            : static_cast<uint16_t>((pair & 0xF000) | (value & 0x0FFF));
                put16(bytes_, at, packed);
            }
        }
    }

    // Links the clusters in order and ends the chain at the last one.
    void chain(const std::vector<uint32_t>& clusters) {
        for (size_t i = 0; i < clusters.size(); ++i)
            setEntry(clusters[i], i + 1 < clusters.size() ? clusters[i + 1] : endMark());
    }

    // Byte offset of entry `index` of the folder at `cluster` (0: the root,
    // fixed on FAT12/16, its first cluster on FAT32).
    uint64_t entryOffset(uint32_t cluster, int index) const {
        if (cluster == 0)
            return (bits_ == 32 ? clusterOffset(f_.rootCluster) : rootStart_) + index * 32ull;
        return clusterOffset(cluster) + index * 32ull;
    }

    // A short entry; `first` is split into its high and low words.
    void entry(uint32_t folder, int index, const std::string& name11, uint8_t attributes, uint32_t size,
               uint32_t first, uint8_t caseFlags = 0) {
        const uint64_t at = entryOffset(folder, index);
        putText(bytes_, at, name11.substr(0, 11));
        bytes_[at + 11] = attributes;
        bytes_[at + 12] = caseFlags;
        put16(bytes_, at + 20, static_cast<uint16_t>(first >> 16));
        put16(bytes_, at + 26, static_cast<uint16_t>(first));
        put32(bytes_, at + 28, size);
    }

    // The long-name entries of `name` from entry `index` on (last part first,
    // as they stand before their short entry) carrying `checksum`; deleted
    // ones have lost their sequence numbers to 0xE5. Returns their number.
    int longName(uint32_t folder, int index, const std::u16string& name, uint8_t checksum,
                 bool deleted = false) {
        const int parts = static_cast<int>((name.size() + 12) / 13);
        static const size_t kUnits[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
        for (int part = parts; part >= 1; --part) {
            const uint64_t at = entryOffset(folder, index + parts - part);
            bytes_[at] = deleted ? 0xE5 : static_cast<uint8_t>(part | (part == parts ? 0x40 : 0));
            bytes_[at + 11] = 0x0F;
            bytes_[at + 13] = checksum;
            for (size_t i = 0; i < 13; ++i) {
                const size_t unit = (part - 1) * 13 + i;
                const uint16_t value = unit < name.size()    ? name[unit]
                                       : unit == name.size() ? 0x0000
                                                             : 0xFFFF;
                put16(bytes_, at + kUnits[i], value);
            }
        }
        return parts;
    }

    // The long-name checksum of an 11-byte short name: rotate right, add the next byte.
    static uint8_t checksum(const std::string& name11) {
        uint8_t sum = 0;
        for (const char c : name11.substr(0, 11))
            sum = static_cast<uint8_t>(((sum & 1) ? 0x80 : 0) + (sum >> 1) + static_cast<uint8_t>(c));
        return sum;
    }

    void put(uint64_t offset, const std::vector<uint8_t>& data) {
        std::copy(data.begin(), data.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(offset));
    }

    uint32_t fsKind() const { return bits_ == 12 ? kFsFat12 : bits_ == 16 ? kFsFat16 : kFsFat32; }
    PartitionRecord record() const {
        PartitionRecord record;
        record.size = bytes_.size();
        record.fsKind = fsKind();
        return record;
    }
    MemoryReader medium() const { return MemoryReader(bytes_); }
    std::vector<uint8_t>& bytes() { return bytes_; }

  private:
    FatFields f_;
    int bits_ = 16;
    uint64_t fatStart_ = 0;
    uint64_t fatBytes_ = 0;
    uint64_t rootStart_ = 0;
    uint64_t dataStart_ = 0;
    std::vector<uint8_t> bytes_;
};

}  // namespace salvora::test
