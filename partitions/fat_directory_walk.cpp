#include "partitions/fat_directory_walk.h"

#include <deque>

#include "media/media_reader.h"
#include "partitions/fat_names.h"
#include "partitions/partition_record.h"

namespace salvora {

namespace {

constexpr size_t kMaxDirectoryBytes = 65536 * kDirEntrySize;  // the FAT limit of 65,536 entries
constexpr int kMaxDepth = 64;

constexpr size_t kEntrySize32 = 28;
constexpr size_t kClusterHigh = 20;
constexpr size_t kClusterLow = 26;
constexpr uint8_t kAttributeVolumeLabel = 0x08;
constexpr uint8_t kAttributeDirectory = 0x10;
constexpr uint8_t kAttributesUnused = 0xC0;
constexpr uint8_t kEndOfDirectory = 0x00;
const char kDotName[] = ".          ";
const char kDotDotName[] = "..         ";

struct Folder {
    uint32_t path = 0;  // index into the listing's folders
    uint16_t clusterHigh = 0;
    uint16_t clusterLow = 0;
    bool deleted = false;
    int depth = 0;
    bool fixedRoot = false;
};

bool isDotEntry(Bytes directory, size_t at) {
    return directory.equalsText(at, kDotName) || directory.equalsText(at, kDotDotName);
}

// True when the entries of a cluster up to its end mark look like directory entries.
bool looksLikeDirectory(Bytes cluster) {
    for (size_t at = 0; cluster.has(at, kDirEntrySize); at += kDirEntrySize) {
        if (cluster.u8(at) == kEndOfDirectory)
            return true;
        if (cluster.u8(at + kDirEntryAttributes) & kAttributesUnused)
            return false;
    }
    return true;
}

bool holdsEndMark(Bytes cluster) {
    for (size_t at = 0; cluster.has(at, kDirEntrySize); at += kDirEntrySize) {
        if (cluster.u8(at) == kEndOfDirectory)
            return true;
    }
    return false;
}

class DirectoryWalk {
  public:
    DirectoryWalk(const FatVolume& volume, ClusterClaims& claims)
        : volume_(volume), fat_(*volume.fat), claims_(claims), tried_(volume.fat->clusterEnd()) {}

    FatListing run() {
        listing_.folders.push_back(std::string());
        Folder root;
        root.fixedRoot = volume_.fsKind != kFsFat32;
        root.clusterHigh = static_cast<uint16_t>(volume_.layout.rootCluster >> 16);
        root.clusterLow = static_cast<uint16_t>(volume_.layout.rootCluster);
        folders_.push_back(root);
        while (!folders_.empty()) {
            const Folder folder = folders_.front();
            folders_.pop_front();
            const std::vector<uint8_t> bytes = read(folder);
            parse(Bytes(bytes.data(), bytes.size()), folder);
        }
        return std::move(listing_);
    }

  private:
    std::vector<uint8_t> read(const Folder& folder) {
        if (folder.fixedRoot)
            return readFixedRoot();
        const uint32_t first = uint32_t{folder.clusterHigh} << 16 | folder.clusterLow;
        if (!folder.deleted)
            return readChain(first);
        // A deleted folder's high word may have been cleared: try the low word alone too.
        std::vector<uint8_t> bytes = readDeleted(first);
        if (bytes.empty() && folder.clusterHigh != 0)
            bytes = readDeleted(folder.clusterLow);
        return bytes;
    }

    std::vector<uint8_t> readFixedRoot() {
        const uint64_t sector = volume_.layout.bytesPerSector;
        const uint64_t length = std::min<uint64_t>(volume_.layout.rootSectors * sector, kMaxDirectoryBytes);
        std::vector<uint8_t> bytes(length);
        const uint64_t at = volume_.offset + volume_.layout.rootStart * sector;
        const int32_t got = volume_.reader->readAt(bytes.data(), static_cast<uint32_t>(length), at);
        bytes.resize(got > 0 ? static_cast<size_t>(got) : 0);
        return bytes;
    }

    bool readCluster(uint32_t cluster, std::vector<uint8_t>& bytes) {
        const uint64_t length = fat_.clusterBytes();
        const size_t at = bytes.size();
        bytes.resize(at + length);
        const int32_t got = volume_.reader->readAt(bytes.data() + at, static_cast<uint32_t>(length),
                                                   fat_.clusterOffset(cluster));
        if (got == static_cast<int32_t>(length))
            return true;
        bytes.resize(at);
        return false;
    }

    // A live folder: its chain, until the end mark, a claimed cluster or the size limit.
    std::vector<uint8_t> readChain(uint32_t cluster) {
        std::vector<uint8_t> bytes;
        while (fat_.inVolume(cluster) && bytes.size() < kMaxDirectoryBytes && claims_.claim(cluster) &&
               readCluster(cluster, bytes)) {
            const uint32_t next = fat_.entry(cluster);
            if (!fat_.isLink(next))
                break;
            cluster = next;
        }
        return bytes;
    }

    // A deleted folder whose first cluster is free and still starts with its
    // own "." entry: that cluster and the free ones after it while they hold
    // directory entries and no end mark came.
    std::vector<uint8_t> readDeleted(uint32_t cluster) {
        std::vector<uint8_t> bytes;
        if (!fat_.isFree(cluster) || claims_.taken(cluster) || tried_[cluster])
            return {};
        tried_[cluster] = true;  // many deleted entries may name the same cluster: read it once
        if (!readCluster(cluster, bytes))
            return {};
        const Bytes first(bytes.data(), bytes.size());
        const uint16_t high = volume_.fsKind == kFsFat32 ? first.le16(kClusterHigh) : 0;
        const uint32_t self = uint32_t{high} << 16 | first.le16(kClusterLow);
        if (!first.equalsText(0, kDotName) || !(first.u8(kDirEntryAttributes) & kAttributeDirectory) ||
            self != cluster) {
            return {};
        }
        claims_.claim(cluster);
        while (!holdsEndMark(Bytes(bytes.data() + bytes.size() - fat_.clusterBytes(), fat_.clusterBytes())) &&
               bytes.size() < kMaxDirectoryBytes && fat_.isFree(++cluster) && !claims_.taken(cluster) &&
               readCluster(cluster, bytes)) {
            const Bytes last(bytes.data() + bytes.size() - fat_.clusterBytes(), fat_.clusterBytes());
            if (!looksLikeDirectory(last)) {
                bytes.resize(bytes.size() - fat_.clusterBytes());
                break;
            }
            claims_.claim(cluster);
        }
        return bytes;
    }

    void parse(Bytes directory, const Folder& folder) {
        LongNameCollector longName;
        for (size_t at = 0; directory.has(at, kDirEntrySize); at += kDirEntrySize) {
            const uint8_t first = directory.u8(at);
            const uint8_t attributes = directory.u8(at + kDirEntryAttributes);
            if (first == kEndOfDirectory)
                break;
            if ((attributes & 0x3F) == kLongNameAttributes) {
                longName.add(directory, at);
                continue;
            }
            if ((attributes & kAttributesUnused) || (attributes & kAttributeVolumeLabel) ||
                isDotEntry(directory, at)) {
                longName.reset();
                continue;
            }
            const bool deleted = folder.deleted || first == kDeletedMark;
            std::string name = longName.take(directory, at).value_or(std::string());
            if (name.empty())
                name = shortNameText(directory, at,
                                     first == kDeletedMark ? std::optional<uint8_t>('_') : std::nullopt);
            const uint16_t high = volume_.fsKind == kFsFat32 ? directory.le16(at + kClusterHigh) : 0;
            const uint16_t low = directory.le16(at + kClusterLow);
            if (attributes & kAttributeDirectory)
                addFolder(folder, name, high, low, deleted);
            else
                listing_.entries.push_back(
                    {folder.path, name, directory.le32(at + kEntrySize32), high, low, deleted});
        }
    }

    void addFolder(const Folder& parent, const std::string& name, uint16_t high, uint16_t low, bool deleted) {
        if (parent.depth + 1 > kMaxDepth || (high == 0 && low == 0))
            return;
        const std::string& above = listing_.folders[parent.path];
        Folder folder;
        folder.path = static_cast<uint32_t>(listing_.folders.size());
        listing_.folders.push_back(above.empty() ? name : above + "/" + name);
        folder.clusterHigh = high;
        folder.clusterLow = low;
        folder.deleted = deleted;
        folder.depth = parent.depth + 1;
        folders_.push_back(folder);
    }

    const FatVolume& volume_;
    const FatTable& fat_;
    ClusterClaims& claims_;
    std::vector<bool> tried_;  // first clusters of deleted folders already read
    std::deque<Folder> folders_;
    FatListing listing_;
};

}  // namespace

FatListing walkFatDirectories(const FatVolume& volume, ClusterClaims& claims) {
    return DirectoryWalk(volume, claims).run();
}

}  // namespace salvora
