// The Windows transport: physical drives "\\.\PhysicalDriveN", their identity
// from IOCTL_STORAGE_QUERY_PROPERTY, drive letters from
// IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS, and commands in the 592-byte
// SCSI_PASS_THROUGH request sent with IOCTL_SCSI_PASS_THROUGH.
#include <windows.h>
#include <winioctl.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "cardsec/pass_through.h"
#include "cardsec/system_transport.h"
#include "media/bytes.h"

namespace salvora::cardsec {

namespace {

HANDLE toHandle(SlotHandle handle) {
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(handle));
}

HANDLE openShared(const char* path, DWORD access) {
    return CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
}

class WindowsTransport : public ReaderTransport {
  public:
    SlotHandle openDrive(int drive) override {
        char path[64];
        std::snprintf(path, sizeof path, "\\\\.\\PhysicalDrive%d", drive);
        const HANDLE handle = openShared(path, GENERIC_READ | GENERIC_WRITE);
        if (handle == INVALID_HANDLE_VALUE)
            return kInvalidSlot;
        return static_cast<SlotHandle>(reinterpret_cast<intptr_t>(handle));
    }

    void closeDrive(SlotHandle handle) override {
        if (handle != kInvalidSlot)
            CloseHandle(toHandle(handle));
    }

    DeviceIdentity driveIdentity(SlotHandle handle) override {
        STORAGE_PROPERTY_QUERY query{};
        query.PropertyId = StorageDeviceProperty;
        query.QueryType = PropertyStandardQuery;
        std::vector<uint8_t> answer(kStorageDescriptorBuffer, 0);
        DWORD returned = 0;
        if (!DeviceIoControl(toHandle(handle), IOCTL_STORAGE_QUERY_PROPERTY, &query, 12, answer.data(),
                             static_cast<DWORD>(answer.size()), &returned, nullptr)) {
            return DeviceIdentity{};
        }
        return parseStorageDescriptor(answer.data(), returned);
    }

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

    std::string drivePath(int drive) override { return "\\\\.\\PhysicalDrive" + std::to_string(drive); }

    TransportResult execute(SlotHandle handle, const Cdb& cdb, Direction direction, uint8_t* data) override {
        PassThroughRequest request = buildPassThroughRequest(cdb, direction, data);
        DWORD returned = 0;
        const BOOL ok = DeviceIoControl(toHandle(handle), kIoctlScsiPassThrough, request.bytes.data(),
                                        request.inputLength, request.bytes.data(), request.outputLength,
                                        &returned, nullptr);
        if (direction == Direction::kDataIn && data) {
            std::copy_n(request.bytes.begin() + kDataOffset, kDataBlockSize, data);
        }
        return {ok != 0, requestScsiStatus(request)};
    }
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
