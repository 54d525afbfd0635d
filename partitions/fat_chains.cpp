#include "partitions/fat_chains.h"

#include <algorithm>

namespace salvora {

namespace {

void append(std::vector<ClusterRun>& runs, uint32_t cluster) {
    if (!runs.empty() && runs.back().first + runs.back().count == cluster)
        ++runs.back().count;
    else
        runs.push_back({cluster, 1});
}

bool inRuns(const std::vector<ClusterRun>& runs, uint32_t cluster) {
    return std::any_of(runs.begin(), runs.end(), [cluster](const ClusterRun& run) {
        return cluster >= run.first && cluster - run.first < run.count;
    });
}

// The fault of a chain whose entry after `taken` of `needed` clusters is `next`.
FatChainFault linkFault(const FatTable& fat, uint32_t next, uint32_t taken, uint32_t needed) {
    if (next == FatTable::kFree)
        return FatChainFault::kFreeCluster;
    if (next == FatTable::kBad)
        return FatChainFault::kBadCluster;
    if (taken == needed)
        return FatChainFault::kNone;  // the last cluster: an end mark, or a longer chain cut by the size
    if (FatTable::isEndOfChain(next))
        return FatChainFault::kShortChain;
    return fat.isLink(next) ? FatChainFault::kNone : FatChainFault::kOutsideVolume;
}

}  // namespace

bool ClusterClaims::claim(uint32_t cluster) {
    if (cluster >= taken_.size())
        return false;
    if (taken_[cluster]) {
        shared_[cluster] = true;
        return false;
    }
    taken_[cluster] = true;
    return true;
}

uint32_t clustersFor(uint64_t size, uint64_t clusterBytes) {
    const uint64_t clusters = size / clusterBytes + (size % clusterBytes != 0);
    return static_cast<uint32_t>(std::min<uint64_t>(clusters, UINT32_MAX));
}

ChainWalk followChain(const FatTable& fat, uint32_t first, uint64_t size, ClusterClaims& claims) {
    ChainWalk walk;
    const uint32_t needed = clustersFor(size, fat.clusterBytes());
    if (needed == 0)
        return walk;
    if (needed > fat.clusterEnd()) {
        walk.fault = FatChainFault::kShortChain;
        return walk;
    }
    uint32_t cluster = first;
    for (uint32_t taken = 1;; ++taken) {
        if (!fat.inVolume(cluster)) {
            walk.fault = FatChainFault::kOutsideVolume;
            return walk;
        }
        if (!claims.claim(cluster)) {
            walk.fault = inRuns(walk.runs, cluster) ? FatChainFault::kLoop : FatChainFault::kCrossLinked;
            return walk;
        }
        append(walk.runs, cluster);
        const uint32_t next = fat.entry(cluster);
        walk.fault = linkFault(fat, next, taken, needed);
        if (walk.fault != FatChainFault::kNone || taken == needed)
            return walk;
        cluster = next;
    }
}

bool sharesClusters(const std::vector<ClusterRun>& runs, const ClusterClaims& claims) {
    for (const ClusterRun& run : runs) {
        for (uint32_t i = 0; i < run.count; ++i) {
            if (claims.shared(run.first + i))
                return true;
        }
    }
    return false;
}

FreeSpace::FreeSpace(const FatTable& fat) : clusterBytes_(fat.clusterBytes()) {
    for (uint32_t cluster = FatTable::kFirstCluster; cluster < fat.clusterEnd(); ++cluster) {
        if (fat.isFree(cluster))
            append(extents_, cluster);
    }
}

std::vector<ClusterRun> FreeSpace::place(uint32_t first, uint64_t size, size_t maxRuns,
                                         bool& complete) const {
    std::vector<ClusterRun> runs;
    complete = false;
    // The extent holding `first`: the last one starting at or before it.
    auto extent =
        std::upper_bound(extents_.begin(), extents_.end(), first,
                         [](uint32_t cluster, const ClusterRun& run) { return cluster < run.first; });
    if (extent == extents_.begin())
        return runs;
    --extent;
    if (first - extent->first >= extent->count)
        return runs;
    uint64_t missing = clustersFor(size, clusterBytes_);
    uint32_t from = first;
    for (; extent != extents_.end() && missing > 0 && runs.size() < maxRuns; ++extent) {
        const uint32_t available = extent->count - (from - extent->first);
        const uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(available, missing));
        runs.push_back({from, count});
        missing -= count;
        if (std::next(extent) != extents_.end())
            from = std::next(extent)->first;
    }
    complete = missing == 0;
    return runs;
}

std::vector<MediumRun> mediumRuns(const FatTable& fat, const std::vector<ClusterRun>& runs, uint64_t size) {
    std::vector<MediumRun> pieces;
    uint64_t left = size;
    for (const ClusterRun& run : runs) {
        if (left == 0)
            break;
        const uint64_t length = std::min<uint64_t>(uint64_t{run.count} * fat.clusterBytes(), left);
        pieces.push_back({fat.clusterOffset(run.first), length});
        left -= length;
    }
    return pieces;
}

}  // namespace salvora
