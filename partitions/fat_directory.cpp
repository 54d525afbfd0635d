#include "partitions/fat_directory.h"

#include "media/media_reader.h"
#include "partitions/fat_chains.h"
#include "partitions/fat_directory_walk.h"
#include "partitions/fat_table.h"
#include "partitions/fat_volume.h"

namespace salvora {

namespace {

// A deleted file's placement spread over more runs than this is no useful guess.
constexpr size_t kMaxPlacementRuns = 4096;
// Runs over all placements of one map; later placements get none.
constexpr size_t kPlacementRunBudget = 1 << 20;

struct LiveChain {
    size_t file = 0;
    std::vector<ClusterRun> runs;
};

class MapBuilder {
  public:
    MapBuilder(const FatTable& fat, ClusterClaims& claims) : fat_(fat), claims_(claims), free_(fat) {}

    FatMap build(FatListing listing) {
        FatMap map;
        map.clusterBytes = fat_.clusterBytes();
        map.folders = std::move(listing.folders);
        for (FatEntry& entry : listing.entries) {
            FatFile file;
            file.folder = entry.folder;
            file.name = std::move(entry.name);
            file.size = entry.size;
            file.firstCluster = entry.firstCluster();
            if (entry.deleted)
                placeDeleted(entry, file);
            else
                followLive(map.files.size(), file);
            map.files.push_back(std::move(file));
        }
        settleLive(map);
        return map;
    }

  private:
    void followLive(size_t index, FatFile& file) {
        ChainWalk walk = followChain(fat_, file.firstCluster, file.size, claims_);
        if (walk.fault != FatChainFault::kNone) {
            file.state = FatFileState::kUnreliable;
            file.fault = walk.fault;
            return;
        }
        chains_.push_back({index, std::move(walk.runs)});
    }

    // Chains that share a cluster with a later chain or a folder are known
    // only once every chain was followed.
    void settleLive(FatMap& map) {
        for (const LiveChain& chain : chains_) {
            FatFile& file = map.files[chain.file];
            if (sharesClusters(chain.runs, claims_)) {
                file.state = FatFileState::kUnreliable;
                file.fault = FatChainFault::kCrossLinked;
            } else {
                file.runs = mediumRuns(fat_, chain.runs, file.size);
            }
        }
    }

    void placeDeleted(const FatEntry& entry, FatFile& file) {
        file.state = FatFileState::kDeleted;
        if (file.size == 0)
            return;
        addPlacement(entry.firstCluster(), file);
        if (entry.clusterHigh != 0)
            addPlacement(entry.clusterLow, file);
    }

    void addPlacement(uint32_t first, FatFile& file) {
        if (runsPlaced_ >= kPlacementRunBudget)
            return;
        FatPlacement placement;
        placement.firstCluster = first;
        const std::vector<ClusterRun> runs =
            free_.place(first, file.size, kMaxPlacementRuns, placement.complete);
        if (runs.empty())
            return;
        runsPlaced_ += runs.size();
        placement.runs = mediumRuns(fat_, runs, file.size);
        file.candidates.push_back(std::move(placement));
    }

    const FatTable& fat_;
    ClusterClaims& claims_;
    FreeSpace free_;
    std::vector<LiveChain> chains_;
    size_t runsPlaced_ = 0;
};

}  // namespace

std::optional<FatMap> mapFatVolume(MediaReader& reader, const PartitionRecord& partition) {
    if (partition.fsKind != kFsFat12 && partition.fsKind != kFsFat16 && partition.fsKind != kFsFat32)
        return std::nullopt;
    std::vector<uint8_t> boot(reader.sectorSize);
    if (reader.readAt(boot.data(), reader.sectorSize, partition.offset) != static_cast<int32_t>(boot.size()))
        return std::nullopt;
    FatVolume volume;
    volume.reader = &reader;
    volume.offset = partition.offset;
    volume.layout = fatLayout(Bytes(boot.data(), boot.size()));
    volume.fsKind = partition.fsKind;
    FatTable fat;
    if (!fat.read(reader, partition.offset, volume.layout, partition.fsKind))
        return std::nullopt;
    volume.fat = &fat;
    ClusterClaims claims(fat.clusterEnd());
    FatListing listing = walkFatDirectories(volume, claims);
    return MapBuilder(fat, claims).build(std::move(listing));
}

}  // namespace salvora
