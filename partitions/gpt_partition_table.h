// GUID partition tables (UEFI): a protective PC table entry of type EE, a
// header at LBA 1 guarded by a CRC-32, an array of entries guarded by a
// second CRC-32, and a backup of both at the end of the disk.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "media/bytes.h"
#include "partitions/partition_record.h"

namespace salvora {

class MediaReader;
struct PartitionScheme;

// The GPT reader (one static instance).
const PartitionScheme& gptPartitionScheme();

// True when one of the four entries of the PC table sector `mbr` (with its
// 55 AA signature) has type EE, the protective entry of a GPT disk.
bool hasProtectiveEntry(Bytes mbr);

// The fields of a GPT header that the reader uses (little-endian).
struct GptHeader {
    uint64_t myLba = 0;         // where this header lies
    uint64_t alternateLba = 0;  // where the other copy lies
    uint64_t firstUsableLba = 0;
    uint64_t lastUsableLba = 0;
    uint64_t entriesLba = 0;  // first LBA of the entry array
    uint32_t entryCount = 0;
    uint32_t entrySize = 0;  // 128 times a power of two
    uint32_t entriesCrc = 0;
};

// Largest entry array read (8192 entries of 128 bytes); a header asking for
// more is taken as damaged.
constexpr uint64_t kMaxGptEntryBytes = 1 << 20;

// Checks the header in `sector` (one LBA read at `lba`): signature
// "EFI PART", header size from 92 to the sector's size, header CRC-32, its
// own LBA equal to `lba`, an entry size that is 128 times a power of two
// and an array of at most kMaxGptEntryBytes. Returns true and fills `header`
// when all hold.
bool parseGptHeader(Bytes sector, uint64_t lba, GptHeader& header);

// Reads the header at `lba` and the entry array it names and checks both
// CRC-32s. Returns true with `header` and `entries` filled when the copy is
// whole; false when a read comes back short or a check fails.
bool readGptCopy(MediaReader& reader, uint64_t lba, GptHeader& header, std::vector<uint8_t>& entries);

// The type GUID at `at` in the mixed byte order of GPT (the first three
// fields little-endian), as upper-case text "EBD0A0A2-B9E5-4433-87C0-68B6B72699C7".
std::string guidText(Bytes bytes, size_t at);

// The partitions of a GPT disk, from the primary header and array, or from the
// backup at the disk's last LBA when the primary fails its checks. Each used
// entry gives a record: offset and size from its first and last LBA, status
// primary, order = its entry number (from 1), its name (UTF-16LE to UTF-8)
// and type GUID; the content is tested for FAT, then NTFS. Empty when sector
// 0 has no protective entry, cannot be read, or neither copy is whole.
PartitionList readGptPartitionTable(MediaReader& reader);

// Tests a GPT partition's content: FAT, then NTFS. 0 when one was found.
int probeGptPartitionContent(MediaReader& reader, PartitionRecord& partition);

}  // namespace salvora
