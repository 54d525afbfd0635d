#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

#include <cstring>

#include "media/device_identity.h"
#include "media/device_reader.h"
#include "media/disk_list.h"
#include "media/posix_reader.h"
#include "media/sysfs_block.h"

namespace salvora {

namespace {

constexpr unsigned kInquiryLength = 36;
constexpr unsigned kInquiryTimeoutMs = 5000;

// Standard INQUIRY through SG_IO: vendor (8 bytes at 8), product (16 at 16)
// and revision (4 at 32). Fills only what the identity still lacks; devices
// that do not take SCSI commands leave it unchanged.
void inquire(int fd, DeviceIdentity& identity) {
    uint8_t command[6] = {0x12, 0, 0, 0, kInquiryLength, 0};
    uint8_t answer[kInquiryLength] = {};
    uint8_t sense[32] = {};
    sg_io_hdr_t request{};
    request.interface_id = 'S';
    request.dxfer_direction = SG_DXFER_FROM_DEV;
    request.cmd_len = sizeof command;
    request.cmdp = command;
    request.dxfer_len = sizeof answer;
    request.dxferp = answer;
    request.mx_sb_len = sizeof sense;
    request.sbp = sense;
    request.timeout = kInquiryTimeoutMs;
    if (::ioctl(fd, SG_IO, &request) != 0 || (request.info & SG_INFO_OK_MASK) != SG_INFO_OK)
        return;
    if (request.dxfer_len - static_cast<unsigned>(request.resid) < kInquiryLength)
        return;
    if (!identity.answered) {
        identity.answered = true;
        identity.removable = (answer[1] & 0x80) != 0 ? 1 : 0;  // RMB bit
    }
    const auto text = [&](size_t at, size_t length) {
        return std::string(reinterpret_cast<char*>(answer) + at, length);
    };
    if (!identity.hasVendor) {
        identity.vendor = text(8, 8);
        identity.hasVendor = true;
    }
    if (!identity.hasProduct) {
        identity.product = text(16, 16);
        identity.hasProduct = true;
    }
    identity.revision = text(32, 4);
    identity.hasRevision = true;
}

std::string diskDirectoryOf(const std::string& devicePath) {
    struct stat info {};
    if (::stat(devicePath.c_str(), &info) != 0 || !S_ISBLK(info.st_mode))
        return std::string();
    const std::string dir = sysfs::blockDirectory("/sys", sysfs::deviceNumberText(info.st_rdev));
    return dir.empty() ? dir : sysfs::wholeDiskDirectory(dir);
}

}  // namespace

void identifyDevice(MediaReader& reader) {
    const std::string diskDir = diskDirectoryOf(reader.devicePath);
    DeviceIdentity identity = diskDir.empty() ? DeviceIdentity{} : sysfs::identityOf(diskDir);
    if (!identity.hasRevision) {
        if (auto* posix = dynamic_cast<PosixReader*>(&reader); posix && posix->fd() >= 0)
            inquire(posix->fd(), identity);
    }
    applyIdentity(reader, identity);
    noteIdentifiedRevision(reader.revision);  // before a drive without medium is dropped
}

}  // namespace salvora
