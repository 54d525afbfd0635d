#include "formats/ole.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "carve/signature_registry.h"
#include "formats/register.h"
#include "formats/search.h"
#include "media/bytes.h"

namespace salvora {

namespace {

const uint8_t kSignature[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

constexpr uint32_t kSectorShift = 9;
constexpr uint32_t kSectorSize = 512;
constexpr uint32_t kHeaderSize = 512;
constexpr uint32_t kMiniSectorShift = 6;
constexpr uint32_t kEntriesPerSector = kSectorSize / 4;
constexpr uint32_t kFatNumbersInDifatSector = kEntriesPerSector - 1;
constexpr uint32_t kHeaderFatNumbers = 109;
constexpr uint32_t kHeaderFatNumbersAt = 76;
constexpr uint32_t kMaxDifatSectors = 50;
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kFree = 0xFFFFFFFF;

constexpr uint32_t kDirectoryEntrySize = 128;
constexpr uint32_t kEntriesPerDirectorySector = kSectorSize / kDirectoryEntrySize;
constexpr uint32_t kNameUnits = 32;
constexpr uint32_t kNameSizeAt = 64;
constexpr uint32_t kTypeAt = 66;
constexpr uint32_t kColourAt = 67;

struct Keywords {
    std::array<const char*, 4> words;  // unused places are null
    const char* extension;
};

const Keywords kKeywords[] = {
    {{"WordDocument"}, "doc"},
    {{"StarDraw"}, "sda"},
    {{"StarCalc"}, "sdc"},
    {{"StarImpress"}, "sdd"},
    {{"Worksheet", "Book", "Workbook", "Calc"}, "xls"},
    {{"Power"}, "ppt"},
    {{"AccessObjSiteData"}, "mdb"},
    {{"Visio"}, "vsd"},
    {{"SfxDocument"}, "sdw"},
    {{"CPicPage"}, "fla"},
    {{"Microsoft Publisher"}, "pub"},
    {{"Microsoft Works Database", "MSWorksDBDoc"}, "wdb"},
    {{"MetaStock"}, "mws"},
};

struct StreamName {
    const char* prefix;  // compared over its own length, without terminator
    const char* extension;
};

const StreamName kStreamNames[] = {
    {"Scene", "max"},        {"Workbook", "xls"},      {"StarDraw", "sda"},
    {"StarCalc", "sdc"},     {"WksSSWorkBook", "xlr"}, {"ImagesStore", "albm"},
    {"PowerPoint", "ppt"},   {"CONTENTS", "wps"},      {"__nameid_version1.0", "msg"},
    {"Licom", "amb"},        {"SfxDocument", "sdw"},   {"VisioDocument", "vsd"},
    {"WordDocument", "doc"},
};

// The header fields the family reads (little-endian).
struct Header {
    uint16_t sectorShift = 0;
    uint16_t miniSectorShift = 0;
    uint16_t reserved16 = 0;
    uint32_t reserved32 = 0;
    uint32_t directorySectors = 0;
    uint32_t fatSectors = 0;
    uint32_t firstDirectory = 0;
    uint32_t firstDifat = 0;
    uint32_t difatSectors = 0;
    uint32_t headerFat[kHeaderFatNumbers] = {};
};

Header readHeader(const Bytes& bytes) {
    Header header;
    header.sectorShift = bytes.le16(30);
    header.miniSectorShift = bytes.le16(32);
    header.reserved16 = bytes.le16(34);
    header.reserved32 = bytes.le32(36);
    header.directorySectors = bytes.le32(40);
    header.fatSectors = bytes.le32(44);
    header.firstDirectory = bytes.le32(48);
    header.firstDifat = bytes.le32(68);
    header.difatSectors = bytes.le32(72);
    for (uint32_t i = 0; i < kHeaderFatNumbers; ++i) {
        header.headerFat[i] = bytes.le32(kHeaderFatNumbersAt + 4 * i);
    }
    return header;
}

// The FAT sector count fits the header and at most 50 DIFAT sectors.
bool plausibleFatCount(const Header& header) {
    const uint64_t limit = uint64_t{(1u << kSectorShift) - 1} * header.difatSectors + kHeaderFatNumbers;
    return header.fatSectors != 0 && header.difatSectors <= kMaxDifatSectors && header.fatSectors <= limit;
}

bool plausibleHeader(const Header& header) {
    return header.reserved16 == 0 && header.reserved32 == 0 && header.directorySectors == 0 &&
           header.miniSectorShift == kMiniSectorShift && header.sectorShift == kSectorShift &&
           plausibleFatCount(header);
}

uint64_t sectorOffset(uint32_t sector) {
    return (uint64_t{sector} << kSectorShift) + kHeaderSize;
}

bool readSector(OutputFile& file, uint32_t sector, uint8_t (&buffer)[kSectorSize]) {
    return file.readAt(sectorOffset(sector), buffer, kSectorSize) == kSectorSize;
}

bool readHeaderOf(OutputFile& file, uint8_t (&buffer)[kHeaderSize]) {
    return file.readAt(0, buffer, kHeaderSize) == kHeaderSize;
}

const char* keywordExtension(const uint8_t* window, uint32_t windowLength) {
    for (const Keywords& row : kKeywords) {
        for (const char* word : row.words) {
            if (word && findBytes(window, windowLength, word, std::strlen(word)))
                return row.extension;
        }
    }
    return "doc";
}

// The FAT sector numbers of the header, then of the DIFAT chain (at most
// the header's DIFAT count of sectors, up to a free or end-of-chain mark).
bool fatSectorList(OutputFile& file, const Header& header, std::vector<uint32_t>& list) {
    list.assign(header.headerFat, header.headerFat + kHeaderFatNumbers);
    uint32_t difat = header.firstDifat;
    uint8_t sector[kSectorSize];
    for (uint32_t i = 0; i < header.difatSectors && difat != kFree && difat != kEndOfChain; ++i) {
        if (!readSector(file, difat, sector))
            return false;
        const Bytes numbers(sector, sizeof sector);
        for (uint32_t k = 0; k < kFatNumbersInDifatSector; ++k)
            list.push_back(numbers.le32(4 * k));
        difat = numbers.le32(4 * kFatNumbersInDifatSector);
    }
    return true;
}

// Appends the 128 entries of each of the first `count` sectors of `list`,
// each of which must end within `limit` bytes.
bool appendFatSectors(OutputFile& file, const std::vector<uint32_t>& list, uint32_t count, uint64_t limit,
                      std::vector<uint32_t>& table) {
    uint8_t sector[kSectorSize];
    for (uint32_t k = 0; k < count; ++k) {
        if (sectorOffset(list[k]) + kSectorSize > limit || !readSector(file, list[k], sector))
            return false;
        const Bytes entries(sector, sizeof sector);
        for (uint32_t i = 0; i < kEntriesPerSector; ++i)
            table.push_back(entries.le32(4 * i));
    }
    return true;
}

// The FAT of a document `fileSize` bytes long for the directory lookup: the
// sectors named in the header, then those named by the DIFAT chain, which is
// followed only as far as FAT sectors are still needed.
bool loadFat(OutputFile& file, const Header& header, uint64_t fileSize, std::vector<uint32_t>& table) {
    std::vector<uint32_t> list(header.headerFat,
                               header.headerFat + std::min(header.fatSectors, kHeaderFatNumbers));
    uint32_t difat = header.firstDifat;
    uint8_t sector[kSectorSize];
    while (list.size() < header.fatSectors) {
        if (sectorOffset(difat) + kSectorSize > fileSize || !readSector(file, difat, sector))
            return false;
        const Bytes numbers(sector, sizeof sector);
        for (uint32_t k = 0; k < kFatNumbersInDifatSector && list.size() < header.fatSectors; ++k) {
            list.push_back(numbers.le32(4 * k));
        }
        difat = numbers.le32(4 * kFatNumbersInDifatSector);
    }
    return appendFatSectors(file, list, header.fatSectors, fileSize, table);
}

struct NameCheck {
    uint32_t units = 0;  // UTF-16 units before the terminator (32 when there is none)
    bool sound = false;
};

NameCheck checkEntry(const Bytes& entry) {
    NameCheck check;
    while (check.units < kNameUnits && entry.le16(2 * check.units) != 0)
        ++check.units;
    const uint8_t type = entry.u8(kTypeAt);
    // A name fills at most 31 characters of its field and the terminator the last.
    check.sound = check.units < kNameUnits && entry.le16(kNameSizeAt) == 2 * check.units + 2 &&
                  (type == 1 || type == 2 || type == 5) && entry.u8(kColourAt) <= 1;
    return check;
}

bool nameStartsWith(const Bytes& entry, const char* prefix) {
    const size_t length = std::strlen(prefix);
    for (size_t i = 0; i < length; ++i) {
        if (entry.le16(2 * i) != static_cast<uint8_t>(prefix[i]))
            return false;
    }
    return true;
}

bool nameIs(const Bytes& entry, const NameCheck& check, char name) {
    return check.units == 1 && entry.le16(0) == static_cast<uint8_t>(name);
}

// Judges one directory sector. Returns true when the lookup ends here, with
// `extension` set (null for a damaged entry).
bool judgeDirectorySector(const uint8_t (&sector)[kSectorSize], const char*& extension) {
    bool sawOne = false;
    bool sawTwo = false;
    for (uint32_t i = 0; i < kEntriesPerDirectorySector; ++i) {
        const Bytes entry(sector + i * kDirectoryEntrySize, kDirectoryEntrySize);
        if (entry.u8(kTypeAt) == 0)
            break;
        const NameCheck check = checkEntry(entry);
        if (!check.sound) {
            extension = nullptr;
            return true;
        }
        if (i == 1 && nameIs(entry, check, '1'))
            sawOne = true;
        if (i == 2 && nameIs(entry, check, '2'))
            sawTwo = true;
        for (const StreamName& row : kStreamNames) {
            if (nameStartsWith(entry, row.prefix)) {
                extension = row.extension;
                return true;
            }
        }
    }
    if (sawOne && sawTwo) {
        extension = "db";
        return true;
    }
    return false;
}

constexpr uint64_t kLargestDocument = 0xFFFFFFFF;  // the family's size limit
// Places of the values the block check carries.
constexpr size_t kNeeded = 0;  // bytes that must be written before the size is worked out again

// End of the furthest of the sectors the header names as FAT or first DIFAT
// sector: the size cannot be known before these are written.
uint64_t headerFatReach(const Header& header) {
    uint64_t reach = kHeaderSize;
    for (uint32_t i = 0; i < std::min(header.fatSectors, kHeaderFatNumbers); ++i)
        reach = std::max(reach, sectorOffset(header.headerFat[i]) + kSectorSize);
    if (header.fatSectors > kHeaderFatNumbers)
        reach = std::max(reach, sectorOffset(header.firstDifat) + kSectorSize);
    return reach;
}

// The size of a document of which `written` bytes are written, when every
// sector of its FAT and DIFAT chain is among them; otherwise 0, with
// `needed` set to the end of the first missing one (0 when the FAT cannot
// give a size at all).
uint64_t sizeWithin(OutputFile& file, uint64_t written, uint64_t& needed) {
    needed = 0;
    uint8_t head[kHeaderSize];
    if (!readHeaderOf(file, head))
        return 0;
    const Header header = readHeader(Bytes(head, sizeof head));
    std::vector<uint32_t> list(header.headerFat,
                               header.headerFat + std::min(header.fatSectors, kHeaderFatNumbers));
    uint32_t difat = header.firstDifat;
    uint8_t sector[kSectorSize];
    for (uint32_t i = 0; list.size() < header.fatSectors && i < header.difatSectors; ++i) {
        if (difat == kFree || difat == kEndOfChain)
            return 0;
        if (sectorOffset(difat) + kSectorSize > written) {
            needed = sectorOffset(difat) + kSectorSize;
            return 0;
        }
        if (!readSector(file, difat, sector))
            return 0;
        const Bytes numbers(sector, sizeof sector);
        for (uint32_t k = 0; k < kFatNumbersInDifatSector; ++k)
            list.push_back(numbers.le32(4 * k));
        difat = numbers.le32(4 * kFatNumbersInDifatSector);
    }
    uint64_t reach = 0;
    for (uint32_t k = 0; k < header.fatSectors && k < list.size(); ++k)
        reach = std::max(reach, sectorOffset(list[k]) + kSectorSize);
    if (reach > written) {
        needed = reach;
        return 0;
    }
    return oleFileSize(file);
}

}  // namespace

void registerOle(FamilyTally& tally) {
    registerSignature(0, kSignature, sizeof kSignature, recogniseOle, tally);
}

uint32_t recogniseOle(const uint8_t* window, uint32_t windowLength, uint32_t, const CarveCandidate&,
                      CarveCandidate& fresh) {
    const Bytes bytes(window, windowLength);
    if (!bytes.equals(0, kSignature, sizeof kSignature) || !bytes.has(0, kHeaderSize))
        return 0;
    if (!plausibleHeader(readHeader(bytes)))
        return 0;
    resetCandidate(fresh);
    fresh.endCheck = endCheckOle;
    fresh.extension = keywordExtension(window, windowLength);
    const uint64_t reach = headerFatReach(readHeader(bytes));
    // A FAT said to lie beyond any document is not waited for.
    if (reach <= kLargestDocument) {
        fresh.blockCheck = blockCheckOle;
        fresh.carried[kNeeded] = reach;
    }
    return 1;
}

BlockVerdict blockCheckOle(const uint8_t*, uint32_t, CarveCandidate& candidate) {
    auto& state = candidate.carried;
    const uint64_t written = candidate.output.size();
    if (!candidate.output.isOpen() || written < state[kNeeded])
        return BlockVerdict::kContinue;
    uint64_t needed = 0;
    const uint64_t size = sizeWithin(candidate.output, written, needed);
    if (needed != 0 && needed <= kLargestDocument) {
        state[kNeeded] = needed;
        return BlockVerdict::kContinue;
    }
    candidate.blockCheck = nullptr;
    // The document's last byte may still be to come; nothing after it is written.
    if (size != 0)
        candidate.writeUntil = size;
    return BlockVerdict::kContinue;
}

void endCheckOle(CarveCandidate& candidate) {
    const uint64_t size = oleFileSize(candidate.output);
    candidate.size = size == 0 || size > candidate.size ? 0 : size;
    if (candidate.size == 0)
        return;
    if (const char* extension = oleDirectoryExtension(candidate.output, candidate.size)) {
        candidate.extension = extension;
    }
}

uint64_t oleFileSize(OutputFile& file) {
    uint8_t head[kHeaderSize];
    if (!readHeaderOf(file, head))
        return 0;
    const Header header = readHeader(Bytes(head, sizeof head));
    // Each FAT entry stands for one 512-byte sector; other sector sizes are not sized here.
    if (header.sectorShift != kSectorShift || !plausibleFatCount(header))
        return 0;
    std::vector<uint32_t> list;
    if (!fatSectorList(file, header, list) || list.size() < header.fatSectors)
        return 0;
    std::vector<uint32_t> table;
    if (!appendFatSectors(file, list, header.fatSectors, UINT64_MAX, table))
        return 0;
    uint64_t freeAtEnd = 0;
    for (size_t i = table.size() - 1; i > table.size() - kEntriesPerSector && table[i] == kFree; --i) {
        ++freeAtEnd;
    }
    return (uint64_t{header.fatSectors} * kEntriesPerSector - freeAtEnd) * kSectorSize + kHeaderSize;
}

const char* oleDirectoryExtension(OutputFile& file, uint64_t fileSize) {
    uint8_t head[kHeaderSize];
    if (!readHeaderOf(file, head) || !Bytes(head, sizeof head).equals(0, kSignature, sizeof kSignature)) {
        return nullptr;
    }
    if (fileSize < kHeaderSize)
        return nullptr;
    const Header header = readHeader(Bytes(head, sizeof head));
    // Every FAT sector is a distinct sector of the file: this also bounds the table.
    const uint64_t fileSectors = (fileSize - kHeaderSize) / kSectorSize;
    if (header.sectorShift != kSectorShift || header.fatSectors == 0 || header.fatSectors > fileSectors) {
        return nullptr;
    }
    std::vector<uint32_t> fat;
    if (!loadFat(file, header, fileSize, fat))
        return nullptr;
    // A chain of distinct sectors cannot be longer than the file: this ends directory loops.
    const uint64_t maxSectors = std::min<uint64_t>(fat.size(), fileSectors);
    uint32_t sector = header.firstDirectory;
    uint8_t buffer[kSectorSize];
    for (uint64_t walked = 0; walked < maxSectors && sector != kEndOfChain && sector < fat.size(); ++walked) {
        if (sectorOffset(sector) > fileSize - kSectorSize || !readSector(file, sector, buffer)) {
            return nullptr;
        }
        const char* extension = nullptr;
        if (judgeDirectorySector(buffer, extension))
            return extension;
        sector = fat[sector];
    }
    return nullptr;
}

}  // namespace salvora
