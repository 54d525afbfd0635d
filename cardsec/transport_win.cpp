// The Windows transport: physical drives "\\.\PhysicalDriveN", their identity
// from IOCTL_STORAGE_QUERY_PROPERTY, drive letters from
// IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS, and commands in the SCSI_PASS_THROUGH
// request of this build's architecture, sent with IOCTL_SCSI_PASS_THROUGH.
// While the reader is held, its drives are open without sharing, so no other
// program can send them anything; the slot handles of this process then use
// that exclusive opening.
#include <windows.h>
#include <winioctl.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <mutex>
#include <vector>

#include "cardsec/pass_through_win.h"
#include "cardsec/system_transport.h"
#include "media/bytes.h"

namespace salvora::cardsec {

namespace {

constexpr DWORD kRetryMs = 50;

std::string drivePathOf(int drive) {
    return "\\\\.\\PhysicalDrive" + std::to_string(drive);
}

HANDLE openShared(const std::string& path, DWORD access) {
    return CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                       nullptr);
}

HANDLE duplicated(HANDLE handle) {
    HANDLE copy = INVALID_HANDLE_VALUE;
    const HANDLE process = GetCurrentProcess();
    if (!DuplicateHandle(process, handle, process, &copy, 0, FALSE, DUPLICATE_SAME_ACCESS))
        return INVALID_HANDLE_VALUE;
    return copy;
}

DeviceIdentity identityOf(HANDLE handle) {
    STORAGE_PROPERTY_QUERY query{};
    query.PropertyId = StorageDeviceProperty;
    query.QueryType = PropertyStandardQuery;
    std::vector<uint8_t> answer(kStorageDescriptorBuffer, 0);
    DWORD returned = 0;
    if (!DeviceIoControl(handle, IOCTL_STORAGE_QUERY_PROPERTY, &query, 12, answer.data(),
                         static_cast<DWORD>(answer.size()), &returned, nullptr)) {
        return DeviceIdentity{};
    }
    return parseStorageDescriptor(answer.data(), returned);
}

// True when physical drive `drive` is a slot of the maker's reader. The
// drive is opened without data access, which no exclusive opening forbids.
bool isReaderDrive(int drive) {
    const HANDLE handle = openShared(drivePathOf(drive), 0);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    const DeviceIdentity identity = identityOf(handle);
    CloseHandle(handle);
    return identity.answered && identity.removable != 0 && identity.hasRevision &&
           isMakerReaderRevision(identity.revision);
}

class WindowsTransport : public ReaderTransport {
  public:
    ~WindowsTransport() override {
        for (auto& [id, slot] : open_)
            closeIfValid(slot.handle);
        for (auto& [drive, handle] : exclusive_)
            closeIfValid(handle);
    }

    SlotHandle openDrive(int drive) override {
        std::lock_guard<std::recursive_mutex> guard(mutex_);
        const HANDLE handle = openFor(drive);
        if (handle == INVALID_HANDLE_VALUE)
            return kInvalidSlot;
        const SlotHandle id = nextId_++;
        open_[id] = {drive, handle};
        return id;
    }

    void closeDrive(SlotHandle id) override {
        std::lock_guard<std::recursive_mutex> guard(mutex_);
        const auto found = open_.find(id);
        if (found == open_.end())
            return;
        closeIfValid(found->second.handle);
        open_.erase(found);
    }

    DeviceIdentity driveIdentity(SlotHandle id) override { return identityOf(handleOf(id)); }

    int diskNumberOfLetter(char letter) override {
        char path[16];
        std::snprintf(path, sizeof path, "\\\\.\\%c:", letter);
        const HANDLE volume = openShared(path, FILE_GENERIC_READ | FILE_GENERIC_WRITE);
        if (volume == INVALID_HANDLE_VALUE)
            return -1;
        uint8_t extents[32] = {};  // VOLUME_DISK_EXTENTS with room for one extent
        DWORD returned = 0;
        const BOOL ok = DeviceIoControl(volume, IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS, nullptr, 0, extents,
                                        sizeof extents, &returned, nullptr);
        CloseHandle(volume);
        if (!ok)
            return -1;
        return static_cast<int>(Bytes(extents, sizeof extents).le32(8));  // DiskNumber of the first extent
    }

    std::string drivePath(int drive) override { return drivePathOf(drive); }

    TransportResult execute(SlotHandle id, const Cdb& cdb, Direction direction, uint8_t* data) override {
        const HANDLE handle = handleOf(id);
        if (handle == INVALID_HANDLE_VALUE)
            return {};
        const PassThroughLayout& layout = systemPassThroughLayout();
        PassThroughRequest request = buildPassThroughRequest(layout, cdb, direction, data);
        DWORD returned = 0;
        const BOOL ok =
            DeviceIoControl(handle, kIoctlScsiPassThrough, request.bytes.data(), request.inputLength,
                            request.bytes.data(), request.outputLength, &returned, nullptr);
        if (direction == Direction::kDataIn && data)
            std::copy_n(request.bytes.begin() + layout.dataBuffer, kDataBlockSize, data);
        if (!ok)
            return {};
        return requestAnswer(layout, request);
    }

    HoldResult holdReader(uint32_t waitMs) override {
        std::lock_guard<std::recursive_mutex> guard(mutex_);
        if (depth_ > 0) {
            ++depth_;
            return HoldResult::kHeld;
        }
        const ULONGLONG deadline = GetTickCount64() + waitMs;
        for (;;) {
            if (takeReaderDrives()) {
                depth_ = 1;
                return HoldResult::kHeld;
            }
            letGoOfReaderDrives();
            if (GetTickCount64() >= deadline)
                return HoldResult::kBusy;
            Sleep(kRetryMs);
        }
    }

    void releaseReader() override {
        std::lock_guard<std::recursive_mutex> guard(mutex_);
        if (depth_ == 0 || --depth_ > 0)
            return;
        letGoOfReaderDrives();
    }

  private:
    struct OpenSlot {
        int drive = -1;
        HANDLE handle = INVALID_HANDLE_VALUE;
    };

    static void closeIfValid(HANDLE& handle) {
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
        handle = INVALID_HANDLE_VALUE;
    }

    HANDLE handleOf(SlotHandle id) {
        std::lock_guard<std::recursive_mutex> guard(mutex_);
        const auto found = open_.find(id);
        return found == open_.end() ? INVALID_HANDLE_VALUE : found->second.handle;
    }

    // A new handle of `drive`: a copy of the exclusive opening while the
    // reader is held, else a shared opening.
    HANDLE openFor(int drive) {
        const auto held = exclusive_.find(drive);
        if (held != exclusive_.end())
            return duplicated(held->second);
        return openShared(drivePathOf(drive), GENERIC_READ | GENERIC_WRITE);
    }

    // Opens every reader drive without sharing; this process's own shared
    // handles of those drives are closed first and then follow the exclusive
    // opening. False when another program has one of them open.
    bool takeReaderDrives() {
        for (int drive = 0; drive < kMaxDrives; ++drive) {
            if (!isReaderDrive(drive))
                continue;
            reopenOwnSlots(drive, true);
            const HANDLE exclusive = CreateFileA(drivePathOf(drive).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                                 nullptr, OPEN_EXISTING, 0, nullptr);
            if (exclusive == INVALID_HANDLE_VALUE) {
                reopenOwnSlots(drive, false);
                if (GetLastError() == ERROR_SHARING_VIOLATION)
                    return false;
                continue;  // gone meanwhile
            }
            exclusive_[drive] = exclusive;
            reopenOwnSlots(drive, false);
        }
        return true;
    }

    void letGoOfReaderDrives() {
        std::vector<int> drives;
        for (auto& [drive, handle] : exclusive_)
            drives.push_back(drive);
        for (int drive : drives) {
            reopenOwnSlots(drive, true);
            closeIfValid(exclusive_[drive]);
            exclusive_.erase(drive);
            reopenOwnSlots(drive, false);
        }
    }

    // Closes (`closeOnly`) or opens again this process's handles of `drive`.
    void reopenOwnSlots(int drive, bool closeOnly) {
        for (auto& [id, slot] : open_) {
            if (slot.drive != drive)
                continue;
            closeIfValid(slot.handle);
            if (!closeOnly)
                slot.handle = openFor(drive);
        }
    }

    std::recursive_mutex mutex_;
    std::map<SlotHandle, OpenSlot> open_;
    std::map<int, HANDLE> exclusive_;
    SlotHandle nextId_ = 1;
    int depth_ = 0;
};

// Membership of the Administrators group, by an access check of the
// impersonation token against a descriptor that grants that group access.
bool isAdministrator() {
    SID_IDENTIFIER_AUTHORITY authority = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (!AllocateAndInitializeSid(&authority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0,
                                  0, 0, 0, 0, &administrators)) {
        return false;
    }
    BOOL member = FALSE;
    const bool checked = CheckTokenMembership(nullptr, administrators, &member) != 0;
    FreeSid(administrators);
    return checked && member;
}

}  // namespace

std::unique_ptr<ReaderTransport> makeSystemTransport() {
    return std::make_unique<WindowsTransport>();
}

bool hasDeviceRights() {
    return isAdministrator();
}

}  // namespace salvora::cardsec
