// Keeping the program's own output off the medium being recovered: the
// report file and the destination folder must not be the image or the device
// itself, nor any block device, and must not lie on the disk being recovered
// (for an image: on a mount of a loop device backed by it). Paths are compared
// by identity (device and inode numbers), never by name, and every check runs
// before anything is opened for writing. Linux (the command line).
#pragma once

#include <cstdint>
#include <set>
#include <string>

namespace salvora {

class MediaReader;

enum class OutputRefusal {
    kNone,         // the path may be written
    kIsSource,     // it is the image or device being recovered (or a link to it)
    kBlockDevice,  // it is a block device: a disk or a partition
    kSameDisk,     // it lies on a file system of the disk being recovered
};

struct OutputCheck {
    OutputRefusal refusal = OutputRefusal::kNone;
    std::string text;  // the refusal in words; empty when the path may be written
};

// What the system tells about a path, followed through symbolic links.
struct PathFacts {
    bool isSource = false;        // same file (device and inode) or same device number as the source, or
                                  // the file behind the loop device being recovered
    bool blockDevice = false;     // a block device
    bool onSourceDisk = false;    // on a file system of the source's disk or of a loop device over it
    bool sourceIsDevice = false;  // the source is a device (named so in refusals), not an image file
};

// The facts of `path` (a report file or a destination folder, existing or
// not) with regard to `source`, the open medium whose devicePath names the
// image file or device. A path that does not exist yet is judged by the
// nearest folder above it that exists. Platform code.
PathFacts pathFacts(const std::string& path, const MediaReader& source);

// The "MAJ:MIN" of the loop devices under `sysRoot` ("/sys") whose backing
// file is the file `path` names (compared by device and inode number; a
// backing file deleted since is not found). Platform code.
std::set<std::string> loopDevicesBackedBy(const std::string& sysRoot, const std::string& path);

// The backing file of the loop device "MAJ:MIN" (or of the loop device that
// holds that partition) under `sysRoot`; empty for any other device.
// Platform code.
std::string loopBackingFile(const std::string& sysRoot, const std::string& majorMinor);

// The refusal of a report at `reportPath`, from its facts; `source` is named
// in the text.
OutputCheck judgeReport(const std::string& reportPath, const MediaReader& source, const PathFacts& facts);

// The refusal of a destination `folder`, from its facts. A folder on the
// source's disk gets the same-disk message that the window shows, ended with
// `lastSentence`.
OutputCheck judgeDestination(const std::string& folder, const MediaReader& source, const PathFacts& facts,
                             const std::string& lastSentence);

// judgeReport and judgeDestination with the facts of the running system.
OutputCheck checkReport(const std::string& reportPath, const MediaReader& source);
OutputCheck checkDestination(const std::string& folder, const MediaReader& source,
                             const std::string& lastSentence);

}  // namespace salvora
