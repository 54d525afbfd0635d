// Boot sectors, table entries and file records written byte by byte, for
// the cases real tools do not make: damaged, hostile and boundary values.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace salvora::test {

inline void put16(std::vector<uint8_t>& bytes, size_t at, uint16_t value) {
    bytes[at] = static_cast<uint8_t>(value);
    bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}

inline void put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

inline void put64(std::vector<uint8_t>& bytes, size_t at, uint64_t value) {
    for (int i = 0; i < 8; ++i)
        bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

inline void putText(std::vector<uint8_t>& bytes, size_t at, const std::string& text) {
    std::memcpy(bytes.data() + at, text.data(), text.size());
}

// The fields of a FAT boot sector; the defaults make a valid FAT16 volume
// of 8192 sectors with 8095 clusters of one sector.
struct FatFields {
    uint16_t bytesPerSector = 512;
    uint8_t sectorsPerCluster = 1;
    uint16_t reserved = 1;
    uint8_t fats = 2;
    uint16_t rootEntries = 512;
    uint16_t totalSectors16 = 8192;
    uint8_t media = 0xF8;
    uint16_t fatSize16 = 32;
    uint32_t totalSectors32 = 0;
    uint32_t fatSize32 = 0;
    uint32_t rootCluster = 0;
    uint8_t jump[3] = {0xEB, 0x3C, 0x90};
    uint8_t extendedSignature = 0x29;
    std::string label = "CRAFTED    ";    // 11 bytes at 43 (FAT12/16)
    std::string label32 = "NO NAME    ";  // 11 bytes at 71 (FAT32)
};

inline std::vector<uint8_t> fatBootSector(const FatFields& f) {
    std::vector<uint8_t> s(512, 0);
    std::memcpy(s.data(), f.jump, 3);
    putText(s, 3, "mkfs.fat");
    put16(s, 11, f.bytesPerSector);
    s[13] = f.sectorsPerCluster;
    put16(s, 14, f.reserved);
    s[16] = f.fats;
    put16(s, 17, f.rootEntries);
    put16(s, 19, f.totalSectors16);
    s[21] = f.media;
    put16(s, 22, f.fatSize16);
    put32(s, 32, f.totalSectors32);
    put32(s, 36, f.fatSize32);
    put32(s, 44, f.rootCluster);
    if (f.fatSize16 != 0) {
        s[38] = f.extendedSignature;
        putText(s, 43, f.label.substr(0, 11));
    } else {
        s[66] = f.extendedSignature;
        putText(s, 71, f.label32.substr(0, 11));
    }
    s[510] = 0x55;
    s[511] = 0xAA;
    return s;
}

// A FAT32 volume of `clusters` clusters of one sector: 32 reserved sectors,
// two FATs, root directory in cluster 2.
inline FatFields fat32Fields(uint32_t clusters) {
    FatFields f;
    f.reserved = 32;
    f.rootEntries = 0;
    f.totalSectors16 = 0;
    f.fatSize16 = 0;
    f.fatSize32 = (clusters + 2) * 4 / 512 + 1;
    f.totalSectors32 = f.reserved + 2 * f.fatSize32 + clusters;
    f.rootCluster = 2;
    f.jump[1] = 0x58;
    return f;
}

// First sector of the FAT32 root directory of `f`, relative to the volume.
inline uint64_t fat32RootSector(const FatFields& f) {
    return f.reserved + uint64_t{f.fats} * f.fatSize32 + (uint64_t{f.rootCluster} - 2) * f.sectorsPerCluster;
}

// A 32-byte directory entry.
inline std::vector<uint8_t> directoryEntry(const std::string& name11, uint8_t attributes) {
    std::vector<uint8_t> entry(32, 0);
    putText(entry, 0, name11.substr(0, 11));
    entry[11] = attributes;
    return entry;
}

// Writes a partition table entry `slot` (0-3) into the table sector at `sectorOffset`.
inline void putTableEntry(std::vector<uint8_t>& disk, uint64_t sectorOffset, int slot, uint8_t type,
                          uint32_t firstSector, uint32_t sectors, uint8_t bootFlag = 0) {
    const size_t at = sectorOffset + 446 + 16 * slot;
    disk[at] = bootFlag;
    disk[at + 4] = type;
    put32(disk, at + 8, firstSector);
    put32(disk, at + 12, sectors);
    disk[sectorOffset + 510] = 0x55;
    disk[sectorOffset + 511] = 0xAA;
}

// An NTFS boot sector of `totalSectors` sectors of 512 bytes, 8 sectors per
// cluster, the master file table at cluster `mftCluster`, and the
// clusters-per-record byte (-10: records of 1024 bytes).
inline std::vector<uint8_t> ntfsBootSector(uint64_t totalSectors, uint64_t mftCluster = 4,
                                           int8_t clustersPerRecord = -10) {
    std::vector<uint8_t> s(512, 0);
    s[0] = 0xEB;
    s[1] = 0x52;
    s[2] = 0x90;
    putText(s, 3, "NTFS    ");
    put16(s, 11, 512);
    s[13] = 8;
    s[21] = 0xF8;
    put64(s, 40, totalSectors);
    put64(s, 48, mftCluster);
    s[64] = static_cast<uint8_t>(clustersPerRecord);
    s[510] = 0x55;
    s[511] = 0xAA;
    return s;
}

// A file record of `size` bytes holding one resident attribute of `type`
// with `value` (after the standard information attribute), then the end mark.
inline std::vector<uint8_t> fileRecord(uint32_t size, uint32_t type, const std::vector<uint8_t>& value) {
    std::vector<uint8_t> r(size, 0);
    putText(r, 0, "FILE");
    put16(r, 20, 56);    // first attribute
    put32(r, 24, 0);     // used size (not read)
    put32(r, 28, size);  // allocated size
    size_t at = 56;
    // $STANDARD_INFORMATION, resident, 48-byte value.
    put32(r, at, 0x10);
    put32(r, at + 4, 72);
    put32(r, at + 16, 48);
    put16(r, at + 20, 24);
    at += 72;
    const uint32_t length = static_cast<uint32_t>((24 + value.size() + 7) / 8 * 8);
    put32(r, at, type);
    put32(r, at + 4, length);
    put32(r, at + 16, static_cast<uint32_t>(value.size()));
    put16(r, at + 20, 24);
    if (!value.empty())
        std::memcpy(r.data() + at + 24, value.data(), value.size());
    at += length;
    put32(r, at, 0xFFFFFFFF);
    return r;
}

// A volume name as UTF-16LE bytes.
inline std::vector<uint8_t> utf16(const std::u16string& text) {
    std::vector<uint8_t> bytes;
    for (const char16_t c : text) {
        bytes.push_back(static_cast<uint8_t>(c));
        bytes.push_back(static_cast<uint8_t>(c >> 8));
    }
    return bytes;
}

}  // namespace salvora::test
