#include "recovery_app/core/output_guard.h"

#include "media/media_reader.h"
#include "recovery_app/core/destination_check.h"
#include "recovery_app/core/disk_rows.h"

namespace salvora {

namespace {

// "the image card.img" or "the device /dev/sdb".
std::string sourceName(const MediaReader& source, const PathFacts& facts) {
    return (facts.sourceIsDevice ? "the device " : "the image ") + source.devicePath;
}

}  // namespace

OutputCheck judgeReport(const std::string& reportPath, const MediaReader& source, const PathFacts& facts) {
    if (facts.isSource) {
        return {OutputRefusal::kIsSource, "The report " + reportPath + " is " + sourceName(source, facts) +
                                              " being recovered: writing it would destroy the files to be "
                                              "recovered. Please name a report file on another disk."};
    }
    if (facts.blockDevice) {
        return {OutputRefusal::kBlockDevice,
                "The report " + reportPath +
                    " is a disk or partition (a block device): writing it would destroy what it holds. "
                    "Please name a report file on another disk."};
    }
    if (facts.onSourceDisk) {
        return {OutputRefusal::kSameDisk,
                "The report " + reportPath +
                    " would be written on the disk being recovered. Please write it "
                    "elsewhere."};
    }
    return {};
}

OutputCheck judgeDestination(const std::string& folder, const MediaReader& source, const PathFacts& facts,
                             const std::string& lastSentence) {
    if (facts.isSource) {
        return {OutputRefusal::kIsSource, "The destination " + folder + " is " + sourceName(source, facts) +
                                              " being recovered, not a folder. Please choose a folder on "
                                              "another disk with --out."};
    }
    if (facts.blockDevice) {
        return {OutputRefusal::kBlockDevice,
                "The destination " + folder +
                    " is a disk or partition (a block device), not a folder. Please choose a folder on "
                    "another disk with --out."};
    }
    if (facts.onSourceDisk)
        return {OutputRefusal::kSameDisk, sameDiskMessage(folder, diskName(source), lastSentence)};
    return {};
}

OutputCheck checkReport(const std::string& reportPath, const MediaReader& source) {
    return judgeReport(reportPath, source, pathFacts(reportPath, source));
}

OutputCheck checkDestination(const std::string& folder, const MediaReader& source,
                             const std::string& lastSentence) {
    return judgeDestination(folder, source, pathFacts(folder, source), lastSentence);
}

}  // namespace salvora
