// The Linux transport. Physical drive n is the SCSI disk /dev/sd(a+n), so
// drives 0..15 are /dev/sda../dev/sdp; their identity comes from sysfs
// (/sys/block/sdX/removable and device/vendor, model, rev). Linux has no drive
// letters: letter C stands for drive 0 (/dev/sda), D for drive 1 and so on,
// as long as that whole-disk device exists. Commands travel with the SG_IO
// ioctl on the whole-disk device, opened read-only and non-blocking so that an
// empty slot still opens; sending vendor commands needs CAP_SYS_RAWIO (root).
// The reader is held with an advisory lock on each of its device nodes,
// opened exclusively (O_EXCL) where the kernel allows it, that is while no
// file system of the card is mounted.
#include <fcntl.h>
#include <linux/capability.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "cardsec/sense_data.h"
#include "cardsec/sg_io_request_linux.h"
#include "cardsec/system_transport.h"

namespace salvora::cardsec {

namespace {

std::string diskName(int drive) {
    return std::string("sd") + static_cast<char>('a' + drive);
}

std::string sysfsText(const std::string& path, bool& found) {
    std::ifstream in(path);
    std::string text;
    found = static_cast<bool>(std::getline(in, text));
    return text;
}

bool diskExists(int drive) {
    return drive >= 0 && drive < kMaxDrives && ::access(("/sys/block/" + diskName(drive)).c_str(), F_OK) == 0;
}

DeviceIdentity sysfsIdentity(int drive) {
    DeviceIdentity identity;
    const std::string base = "/sys/block/" + diskName(drive);
    bool found = false;
    identity.removable = sysfsText(base + "/removable", found) == "1" ? 1 : 0;
    identity.answered = found;
    identity.vendor = sysfsText(base + "/device/vendor", identity.hasVendor);
    identity.product = sysfsText(base + "/device/model", identity.hasProduct);
    identity.revision = sysfsText(base + "/device/rev", identity.hasRevision);
    return identity;
}

bool isReaderDrive(int drive) {
    if (!diskExists(drive))
        return false;
    const DeviceIdentity identity = sysfsIdentity(drive);
    return identity.answered && identity.removable != 0 && identity.hasRevision &&
           isMakerReaderRevision(identity.revision);
}

// Opens a reader drive for its hold: exclusively unless the kernel refuses
// that (a mounted card), then shared. -1 when it cannot be opened at all.
int openForHold(int drive) {
    const std::string path = "/dev/" + diskName(drive);
    const int exclusive = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_EXCL);
    if (exclusive >= 0 || errno != EBUSY)
        return exclusive;
    return ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
}

class LinuxTransport : public ReaderTransport {
  public:
    SlotHandle openDrive(int drive) override {
        if (!diskExists(drive))
            return kInvalidSlot;
        const int fd = ::open(("/dev/" + diskName(drive)).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return kInvalidSlot;
        drives_[fd] = drive;
        return fd;
    }

    void closeDrive(SlotHandle handle) override {
        if (handle == kInvalidSlot)
            return;
        drives_.erase(static_cast<int>(handle));
        ::close(static_cast<int>(handle));
    }

    DeviceIdentity driveIdentity(SlotHandle handle) override {
        const auto known = drives_.find(static_cast<int>(handle));
        if (known == drives_.end())
            return DeviceIdentity{};
        return sysfsIdentity(known->second);
    }

    int diskNumberOfLetter(char letter) override {
        const int drive = letter - 'C';
        return diskExists(drive) ? drive : -1;
    }

    std::string drivePath(int drive) override { return "/dev/" + diskName(drive); }

    TransportResult execute(SlotHandle handle, const Cdb& cdb, Direction direction, uint8_t* data) override {
        sg_io_hdr_t header;
        unsigned char sense[kSgSenseSize] = {};
        fillSgIoHeader(header, cdb, direction, data, sense);
        if (::ioctl(static_cast<int>(handle), SG_IO, &header) != 0 || !sgIoCompleted(header))
            return {};
        TransportResult result{true, header.status};
        if (header.status == kScsiCheckCondition) {
            const SenseData decoded = decodeSense(sense, header.sb_len_wr);
            result.senseKey = decoded.senseKey;
            result.asc = decoded.asc;
        }
        return result;
    }

    HoldResult holdReader(uint32_t waitMs) override {
        std::lock_guard<std::mutex> guard(holdMutex_);
        if (depth_ > 0) {
            ++depth_;
            return HoldResult::kHeld;
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
        for (;;) {
            if (lockReaderDrives()) {
                depth_ = 1;
                return HoldResult::kHeld;
            }
            unlockReaderDrives();
            if (std::chrono::steady_clock::now() >= deadline)
                return HoldResult::kBusy;
            std::this_thread::sleep_for(std::chrono::milliseconds(kRetryMs));
        }
    }

    void releaseReader() override {
        std::lock_guard<std::mutex> guard(holdMutex_);
        if (depth_ == 0 || --depth_ > 0)
            return;
        unlockReaderDrives();
    }

  private:
    static constexpr int kRetryMs = 50;

    // Locks every reader drive; false when another process holds one.
    bool lockReaderDrives() {
        for (int drive = 0; drive < kMaxDrives; ++drive) {
            if (!isReaderDrive(drive))
                continue;
            const int fd = openForHold(drive);
            if (fd < 0)
                continue;  // gone meanwhile
            held_.push_back(fd);
            if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
                return false;
        }
        return true;
    }

    void unlockReaderDrives() {
        for (int fd : held_)
            ::close(fd);  // closing releases the lock
        held_.clear();
    }

    std::map<int, int> drives_;  // open descriptor -> drive number
    std::mutex holdMutex_;
    std::vector<int> held_;  // descriptors that carry the hold
    int depth_ = 0;
};

bool hasRawIoCapability() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("CapEff:", 0) != 0)
            continue;
        const unsigned long long effective = std::stoull(line.substr(7), nullptr, 16);
        return (effective >> CAP_SYS_RAWIO) & 1;
    }
    return false;
}

}  // namespace

std::unique_ptr<ReaderTransport> makeSystemTransport() {
    return std::make_unique<LinuxTransport>();
}

bool hasDeviceRights() {
    return ::geteuid() == 0 || hasRawIoCapability();
}

}  // namespace salvora::cardsec
