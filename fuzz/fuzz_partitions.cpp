// Fuzz target: the partition table readers (PC and GPT) with their FAT and
// NTFS tests, and the map of the files of every FAT volume found, on an
// in-memory medium built from the input. The input's bytes are laid at the
// start of the medium and, repeated, at the places where extended boot
// records and volume boot sectors usually stand, so chains and volumes are
// reached without a huge input. The last input byte steers the GPT
// checksums, which a fuzzer cannot hit by chance: bit 0 puts the CRC-32s of
// the header at LBA 1 and of its entry array right, bit 1 then also writes
// that header as the backup at the last LBA and breaks the primary.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "media/bytes.h"
#include "media/memory_reader.h"
#include "partitions/crc32.h"
#include "partitions/current_medium.h"
#include "partitions/fat_directory.h"
#include "partitions/gpt_partition_table.h"

using namespace salvora;

namespace {

constexpr size_t kSector = 512;
constexpr size_t kMediumSize = 1 << 20;

void put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

void put64(std::vector<uint8_t>& bytes, size_t at, uint64_t value) {
    for (int i = 0; i < 8; ++i)
        bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// Recomputes the entry array CRC and the header CRC of the header at `lba`,
// as far as the array lies inside the medium.
void fixChecksums(std::vector<uint8_t>& bytes, uint64_t lba) {
    const size_t at = lba * kSector;
    const Bytes header(bytes.data() + at, kSector);
    const uint64_t entries = header.le64(72) * kSector;
    const uint64_t length = uint64_t{header.le32(80)} * header.le32(84);
    if (entries < bytes.size() && length <= bytes.size() - entries)
        put32(bytes, at + 88, crc32Of(bytes.data() + entries, length));
    const uint32_t headerSize = std::min<uint32_t>(header.le32(12), kSector);
    put32(bytes, at + 16, 0);
    put32(bytes, at + 16, crc32Of(bytes.data() + at, headerSize));
}

void steerGpt(std::vector<uint8_t>& bytes, uint8_t steering) {
    if (!(steering & 1))
        return;
    fixChecksums(bytes, 1);
    if (!(steering & 2))
        return;
    const uint64_t last = bytes.size() / kSector - 1;
    std::copy(bytes.begin() + kSector, bytes.begin() + 2 * kSector, bytes.begin() + last * kSector);
    put64(bytes, last * kSector + 24, last);
    fixChecksums(bytes, last);
    bytes[kSector] ^= 0xFF;
}

bool inside(const MediaReader& medium, const MediumRun& run) {
    return run.length != 0 && run.offset <= medium.size && run.length <= medium.size - run.offset;
}

// Every run of the map lies inside the medium, and no file's runs hold more than its size.
void checkFatMap(MemoryReader& medium, const PartitionRecord& record) {
    const std::optional<FatMap> map = mapFatVolume(medium, record);
    if (!map)
        return;
    for (const FatFile& file : map->files) {
        if (file.folder >= map->folders.size())
            __builtin_trap();
        uint64_t total = 0;
        for (const MediumRun& run : file.runs) {
            if (!inside(medium, run))
                __builtin_trap();
            total += run.length;
        }
        if (total > file.size)
            __builtin_trap();
        for (const FatPlacement& placement : file.candidates) {
            uint64_t placed = 0;
            for (const MediumRun& run : placement.runs) {
                if (!inside(medium, run))
                    __builtin_trap();
                placed += run.length;
            }
            if (placed > file.size || (placement.complete && placed != file.size))
                __builtin_trap();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 512)
        return 0;
    std::vector<uint8_t> bytes(kMediumSize, 0);
    std::memcpy(bytes.data(), data, std::min(size, kMediumSize));
    // Copies of the input's second half at a few sector-aligned places.
    const size_t half = size / 2;
    for (size_t at : {size_t(63 * 512), size_t(512 * 512), size_t(1024 * 512), size_t(1536 * 512)}) {
        if (at + (size - half) <= kMediumSize)
            std::memcpy(bytes.data() + at, data + half, size - half);
    }
    steerGpt(bytes, data[size - 1]);
    MemoryReader medium(std::move(bytes), 512);
    PartitionList list = selectCurrentMedium(medium);
    for (const PartitionRecord& record : list) {
        if (record.label.size() > 80 || record.fsName.size() > 80 || record.name.size() > 36 * 4)
            __builtin_trap();
        checkFatMap(medium, record);
    }
    return 0;
}
