#include "media/disk_list.h"

#include <algorithm>
#include <atomic>

#include "media/storage_descriptor.h"

namespace salvora {

namespace {
std::atomic<bool> gMakerReaderPresent{false};
}  // namespace

bool addDisk(DiskList& list, std::unique_ptr<MediaReader> reader) {
    if (!reader)
        return false;
    const bool listed = std::any_of(list.readers.begin(), list.readers.end(), [&](const auto& other) {
        return other->devicePath == reader->devicePath;
    });
    if (listed) {
        closeMedia(*reader);
        return false;
    }
    list.readers.push_back(std::move(reader));
    return true;
}

DiskList listDisks(const PartitionScheme* partitionScheme, uint32_t flags, DiskSource& source) {
    gMakerReaderPresent.store(false);
    DiskList list;
    const std::vector<std::string> paths = source.candidatePaths();
    for (size_t index = 0; index < paths.size(); ++index) {
        std::string whyNot;
        OpenFailure failure = OpenFailure::kNone;
        std::unique_ptr<MediaReader> reader =
            source.open(paths[index], partitionScheme, flags, whyNot, failure);
        if (failure == OpenFailure::kNoRights && list.deniedCount++ == 0)
            list.deniedReason = whyNot;
        if (!reader)
            continue;
        reader->driveIndex = static_cast<uint32_t>(index);
        if (isMakerReaderRevision(reader->revision))
            gMakerReaderPresent.store(true);
        const std::string path = reader->devicePath;
        if (addDisk(list, std::move(reader)) && failure != OpenFailure::kNone)
            list.unreadable[path] = {failure, whyNot};
    }
    return list;
}

const UnreadableDisk* unreadableReason(const DiskList& list, const MediaReader& disk) {
    const auto found = list.unreadable.find(disk.devicePath);
    return found == list.unreadable.end() ? nullptr : &found->second;
}

bool makerReaderPresent() {
    return gMakerReaderPresent.load();
}

void noteIdentifiedRevision(const std::string& revision) {
    if (isMakerReaderRevision(revision))
        gMakerReaderPresent.store(true);
}

}  // namespace salvora
