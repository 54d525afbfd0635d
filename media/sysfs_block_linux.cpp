#include <sys/sysmacros.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "media/bus_type.h"
#include "media/sysfs_block.h"

namespace salvora::sysfs {

namespace fs = std::filesystem;

namespace {

// Depth of mapped devices followed down to their disks (LVM on encryption on
// RAID is three).
constexpr int kMaxMappingDepth = 8;

bool exists(const std::string& path) {
    std::error_code error;
    return fs::exists(path, error);
}

std::string resolved(const std::string& path) {
    std::error_code error;
    const fs::path canonical = fs::canonical(path, error);
    return error ? std::string() : canonical.string();
}

std::string rawFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::string();
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The serial of the unit serial number page (page 80h) kept by the SCSI layer.
std::string serialFromVpdPage(const std::string& page) {
    if (page.size() < 4)
        return std::string();
    const size_t length = static_cast<unsigned char>(page[3]);
    return page.substr(4, std::min(length, page.size() - 4));
}

void addDisksUnder(const std::string& sysRoot, const std::string& majorMinor, int depth,
                   std::set<std::string>& disks) {
    const std::string dir = blockDirectory(sysRoot, majorMinor);
    if (dir.empty() || depth > kMaxMappingDepth)
        return;
    std::error_code error;
    bool mapped = false;
    for (const auto& slave : fs::directory_iterator(dir + "/slaves", error)) {
        const std::string number = readText(slave.path().string() + "/dev");
        if (number.empty())
            continue;
        mapped = true;
        addDisksUnder(sysRoot, number, depth + 1, disks);
    }
    if (mapped)
        return;
    const std::string number = readText(wholeDiskDirectory(dir) + "/dev");
    if (!number.empty())
        disks.insert(number);
}

bool isOpticalOrEmmcArea(const std::string& name, const std::string& diskDir) {
    static const std::regex emmcArea("mmcblk[0-9]+(boot[0-9]+|rpmb)");
    return name.rfind("sr", 0) == 0 || readText(diskDir + "/device/type") == "5" ||
           std::regex_match(name, emmcArea);
}

bool isListedDisk(const std::string& name, const std::string& diskDir) {
    const std::string target = resolved(diskDir);
    if (target.empty() || target.find("/devices/virtual/") != std::string::npos)
        return false;
    if (isOpticalOrEmmcArea(name, diskDir))
        return false;
    const std::string sectors = readText(diskDir + "/size");
    return !sectors.empty() && std::strtoull(sectors.c_str(), nullptr, 10) != 0;
}

uint32_t busTypeOf(const std::string& diskDir) {
    const std::string path = resolved(diskDir);
    if (path.find("/usb") != std::string::npos)
        return kBusUsb;
    if (path.find("/nvme") != std::string::npos)
        return kBusNvme;
    if (path.find("/mmc_host/") != std::string::npos)
        return kBusSd;
    if (path.find("/virtio") != std::string::npos)
        return kBusVirtual;
    if (path.find("/ata") != std::string::npos)
        return kBusSata;
    if (path.find("/host") != std::string::npos)
        return kBusScsi;
    return kBusUnknown;
}

// Sets `text` and `has` from the first of `files` that holds a text.
void firstText(const std::vector<std::string>& files, std::string& text, bool& has) {
    for (const std::string& file : files) {
        std::string value = readText(file);
        if (value.empty())
            continue;
        text = value;
        has = true;
        return;
    }
}

// Names whose disks are counted in letters: sda ... sdz, sdaa ...
constexpr const char* kLetterCountedPrefixes[] = {"xvd", "sd", "vd", "hd"};

// A letter-counted name split into its prefix and its letters ("sdaa" gives
// "sd" and "aa"); any other name is all prefix.
std::pair<std::string, std::string> splitDiskLetters(const std::string& name) {
    for (const std::string prefix : kLetterCountedPrefixes) {
        if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0)
            continue;
        const std::string rest = name.substr(prefix.size());
        if (std::all_of(rest.begin(), rest.end(), [](char c) { return c >= 'a' && c <= 'z'; }))
            return {prefix, rest};
    }
    return {name, ""};
}

// The run of digits, or of other characters, that starts at `at`.
std::string runAt(const std::string& text, size_t at) {
    const bool digits = std::isdigit(static_cast<unsigned char>(text[at])) != 0;
    size_t end = at;
    while (end < text.size() && (std::isdigit(static_cast<unsigned char>(text[end])) != 0) == digits)
        ++end;
    return text.substr(at, end - at);
}

// Compares run by run; digit runs compare as numbers, digits before letters.
bool digitsAsNumbersLess(const std::string& a, const std::string& b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const bool digits = std::isdigit(static_cast<unsigned char>(a[i])) != 0;
        if (digits != (std::isdigit(static_cast<unsigned char>(b[j])) != 0))
            return digits;
        std::string runA = runAt(a, i), runB = runAt(b, j);
        i += runA.size();
        j += runB.size();
        if (digits) {
            runA.erase(0, std::min(runA.find_first_not_of('0'), runA.size()));
            runB.erase(0, std::min(runB.find_first_not_of('0'), runB.size()));
            if (runA.size() != runB.size())
                return runA.size() < runB.size();
        }
        if (runA != runB)
            return runA < runB;
    }
    return a.size() - i < b.size() - j;
}

}  // namespace

std::string readText(const std::string& path) {
    std::string text = rawFile(path);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == '\0'))
        text.pop_back();
    return text;
}

std::string deviceNumberText(unsigned long long device) {
    return std::to_string(major(device)) + ":" + std::to_string(minor(device));
}

std::string blockDirectory(const std::string& sysRoot, const std::string& majorMinor) {
    return resolved(sysRoot + "/dev/block/" + majorMinor);
}

std::string wholeDiskDirectory(const std::string& blockDir) {
    if (exists(blockDir + "/partition"))
        return fs::path(blockDir).parent_path().string();
    return blockDir;
}

std::set<std::string> wholeDisksUnder(const std::string& sysRoot, const std::string& majorMinor) {
    std::set<std::string> disks;
    addDisksUnder(sysRoot, majorMinor, 0, disks);
    return disks;
}

std::vector<std::string> listedDiskNames(const std::string& sysRoot) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(sysRoot + "/block", error)) {
        const std::string name = entry.path().filename().string();
        if (isListedDisk(name, entry.path().string()))
            names.push_back(name);
    }
    std::sort(names.begin(), names.end(), naturalLess);
    return names;
}

std::string devicePathOf(const std::string& diskDir) {
    std::istringstream uevent(readText(diskDir + "/uevent"));
    for (std::string line; std::getline(uevent, line);) {
        if (line.rfind("DEVNAME=", 0) == 0)
            return "/dev/" + line.substr(8);
    }
    return "/dev/" + fs::path(diskDir).filename().string();
}

DeviceIdentity identityOf(const std::string& diskDir) {
    DeviceIdentity identity;
    if (!exists(diskDir))
        return identity;
    identity.answered = true;
    identity.removable = readText(diskDir + "/removable") == "1" ? 1 : 0;
    identity.busType = busTypeOf(diskDir);
    const std::string device = diskDir + "/device/";
    // virtio and NVMe put a PCI vendor number here; only a name is a vendor.
    const std::string vendor = readText(device + "vendor");
    if (!vendor.empty() && vendor.rfind("0x", 0) != 0) {
        identity.vendor = vendor;
        identity.hasVendor = true;
    }
    firstText({device + "model", device + "name"}, identity.product, identity.hasProduct);
    firstText({device + "rev", device + "firmware_rev", device + "fwrev"}, identity.revision,
              identity.hasRevision);
    identity.serial = serialFromVpdPage(rawFile(device + "vpd_pg80"));
    identity.hasSerial = !identity.serial.empty();
    if (!identity.hasSerial)
        firstText({device + "serial", diskDir + "/serial"}, identity.serial, identity.hasSerial);
    return identity;
}

bool naturalLess(const std::string& a, const std::string& b) {
    const auto [prefixA, lettersA] = splitDiskLetters(a);
    const auto [prefixB, lettersB] = splitDiskLetters(b);
    if (prefixA != prefixB)
        return digitsAsNumbersLess(prefixA, prefixB);
    if (lettersA.size() != lettersB.size())
        return lettersA.size() < lettersB.size();
    return lettersA < lettersB;
}

}  // namespace salvora::sysfs
