// Builds compound documents (512-byte sectors) with a chosen number of FAT
// and DIFAT sectors and a chosen directory, for the cases small real files
// do not show (DIFAT chains, damaged entries, loops).
#pragma once

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

namespace salvora::test {

struct DirectoryEntry {
    std::string name;
    uint8_t type = 2;  // 1 storage, 2 stream, 5 root
};

class CompoundBuilder {
  public:
    static constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
    static constexpr uint32_t kFree = 0xFFFFFFFF;

    // Sectors 0 .. fatSectors-1 hold the FAT, the DIFAT sectors follow, then
    // the directory, then data up to `usedSectors` sectors in all.
    CompoundBuilder(uint32_t fatSectors, uint32_t usedSectors, const std::vector<DirectoryEntry>& entries)
        : fatSectors_(fatSectors) {
        const uint32_t difatSectors = fatSectors > 109 ? (fatSectors - 109 + 126) / 127 : 0;
        firstDirectory_ = fatSectors + difatSectors;
        const uint32_t directorySectors = (static_cast<uint32_t>(entries.size()) + 3) / 4;
        bytes_.assign(512 + size_t{usedSectors} * 512, 0);
        writeHeader(difatSectors);
        for (uint32_t s = 0; s < fatSectors * 128; ++s)
            fat(s, s < usedSectors ? kEndOfChain : kFree);
        for (uint32_t s = 0; s < fatSectors; ++s)
            fat(s, 0xFFFFFFFD);
        for (uint32_t d = 0; d < difatSectors; ++d)
            writeDifatSector(d, difatSectors);
        for (uint32_t d = 0; d < directorySectors; ++d) {
            fat(firstDirectory_ + d, d + 1 < directorySectors ? firstDirectory_ + d + 1 : kEndOfChain);
        }
        for (size_t i = 0; i < entries.size(); ++i)
            entry(static_cast<uint32_t>(i), entries[i]);
    }

    static size_t sectorOffset(uint32_t sector) { return 512 + size_t{sector} * 512; }
    uint32_t firstDirectory() const { return firstDirectory_; }
    uint32_t firstDifat() const { return fatSectors_; }

    // The FAT entry of `sector`.
    CompoundBuilder& fat(uint32_t sector, uint32_t next) {
        return le32(sectorOffset(sector / 128) + 4 * (sector % 128), next);
    }
    // Directory entry `index` (four per sector, along the directory chain as built).
    CompoundBuilder& entry(uint32_t index, const DirectoryEntry& entry) {
        const size_t at = entryOffset(index);
        for (size_t i = 0; i < entry.name.size() && i < 31; ++i) {
            le16(at + 2 * i, static_cast<uint8_t>(entry.name[i]));
        }
        le16(at + 64, static_cast<uint16_t>(2 * entry.name.size() + 2));
        bytes_[at + 66] = entry.type;
        bytes_[at + 67] = 1;
        return *this;
    }
    size_t entryOffset(uint32_t index) const {
        return sectorOffset(firstDirectory_ + index / 4) + 128 * (index % 4);
    }

    CompoundBuilder& le16(size_t at, uint16_t value) {
        bytes_[at] = static_cast<uint8_t>(value);
        bytes_[at + 1] = static_cast<uint8_t>(value >> 8);
        return *this;
    }
    CompoundBuilder& le32(size_t at, uint32_t value) {
        for (int i = 0; i < 4; ++i)
            bytes_[at + i] = static_cast<uint8_t>(value >> (8 * i));
        return *this;
    }

    std::vector<uint8_t>& bytes() { return bytes_; }

  private:
    void writeHeader(uint32_t difatSectors) {
        const uint8_t signature[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
        std::copy(std::begin(signature), std::end(signature), bytes_.begin());
        le16(24, 0x3E).le16(26, 3).le16(28, 0xFFFE).le16(30, 9).le16(32, 6);
        le32(44, fatSectors_).le32(48, firstDirectory_).le32(56, 4096).le32(60, kEndOfChain);
        le32(64, 0).le32(68, difatSectors ? fatSectors_ : kEndOfChain).le32(72, difatSectors);
        for (uint32_t i = 0; i < 109; ++i)
            le32(76 + 4 * i, i < fatSectors_ ? i : kFree);
    }

    void writeDifatSector(uint32_t d, uint32_t difatSectors) {
        const uint32_t sector = fatSectors_ + d;
        fat(sector, 0xFFFFFFFC);
        for (uint32_t k = 0; k < 127; ++k) {
            const uint32_t number = 109 + d * 127 + k;
            le32(sectorOffset(sector) + 4 * k, number < fatSectors_ ? number : kFree);
        }
        le32(sectorOffset(sector) + 508, d + 1 < difatSectors ? sector + 1 : kEndOfChain);
    }

    uint32_t fatSectors_;
    uint32_t firstDirectory_ = 0;
    std::vector<uint8_t> bytes_;
};

}  // namespace salvora::test
