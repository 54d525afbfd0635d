#include <windows.h>
#include <winioctl.h>

#include <vector>

#include "media/device_identity.h"
#include "media/device_probe.h"
#include "media/device_reader.h"
#include "media/disk_list.h"
#include "media/handle_reader_win.h"
#include "media/storage_descriptor.h"
#include "media/text_win.h"

namespace salvora {

namespace {

// Access and sharing of an opened drive: reading only, while the system and
// other programs keep using it.
constexpr DWORD kDriveAccess = FILE_READ_DATA;
constexpr DWORD kDriveSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;

// Answers the device queries with the disk control codes of an open handle.
class HandleQueries : public DeviceQueries {
  public:
    explicit HandleQueries(HANDLE handle) : handle_(handle) {}

    bool driveGeometry(DriveGeometry& geometry) override {
        DISK_GEOMETRY answer{};
        if (!control(IOCTL_DISK_GET_DRIVE_GEOMETRY, &answer, sizeof answer))
            return false;
        geometry = converted(answer);
        return true;
    }

    bool driveGeometryEx(DriveGeometry& geometry, uint64_t& diskSize) override {
        DISK_GEOMETRY_EX answer{};
        if (!control(IOCTL_DISK_GET_DRIVE_GEOMETRY_EX, &answer, sizeof answer))
            return false;
        geometry = converted(answer.Geometry);
        diskSize = static_cast<uint64_t>(answer.DiskSize.QuadPart);
        return true;
    }

    uint64_t lengthInfo() override {
        GET_LENGTH_INFORMATION answer{};
        if (!control(IOCTL_DISK_GET_LENGTH_INFO, &answer, sizeof answer))
            return 0;
        return positive(answer.Length.QuadPart);
    }

    uint64_t fileSize() override {
        LARGE_INTEGER size{};
        return GetFileSizeEx(handle_, &size) ? positive(size.QuadPart) : 0;
    }

    uint64_t endPosition() override {
        LARGE_INTEGER zero{}, end{};
        return SetFilePointerEx(handle_, zero, &end, FILE_END) ? positive(end.QuadPart) : 0;
    }

    bool readAhead(uint32_t count) override {
        std::vector<uint8_t> buffer(count);
        DWORD got = 0;
        return ReadFile(handle_, buffer.data(), count, &got, nullptr) && got == count;
    }

  private:
    bool control(DWORD code, void* answer, DWORD size) {
        DWORD returned = 0;
        return DeviceIoControl(handle_, code, nullptr, 0, answer, size, &returned, nullptr) != 0;
    }

    static DriveGeometry converted(const DISK_GEOMETRY& answer) {
        DriveGeometry geometry;
        geometry.cylinders = positive(answer.Cylinders.QuadPart);
        geometry.tracksPerCylinder = answer.TracksPerCylinder;
        geometry.sectorsPerTrack = answer.SectorsPerTrack;
        geometry.bytesPerSector = answer.BytesPerSector;
        return geometry;
    }

    static uint64_t positive(LONGLONG value) { return value > 0 ? static_cast<uint64_t>(value) : 0; }

    HANDLE handle_;
};

OpenFailure failureKind(DWORD error) {
    switch (error) {
        case ERROR_ACCESS_DENIED:
            return OpenFailure::kNoRights;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return OpenFailure::kNotFound;
        default:
            return OpenFailure::kOther;
    }
}

std::string openFailure(const std::string& devicePath, DWORD error) {
    if (error == ERROR_ACCESS_DENIED) {
        return "Reading " + devicePath + " needs administrator rights (start the program as administrator).";
    }
    return "Cannot open " + devicePath + ": " + systemErrorText(error) + ".";
}

}  // namespace

std::unique_ptr<MediaReader> openDevice(const std::string& devicePath, const PartitionScheme* partitionScheme,
                                        uint32_t flags, std::string* whyNot, OpenFailure* failure) {
    if (failure)
        *failure = OpenFailure::kNone;
    const HANDLE handle = CreateFileW(widen(devicePath).c_str(), kDriveAccess, kDriveSharing, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (whyNot)
            *whyNot = openFailure(devicePath, error);
        if (failure)
            *failure = failureKind(error);
        return nullptr;
    }
    auto reader = std::make_unique<HandleReader>(handle);
    reader->devicePath = devicePath;
    reader->partitionScheme = partitionScheme;
    reader->openFlags = flags;
    HandleQueries queries(handle);
    const uint64_t reported = probeDevice(queries, *reader);
    identifyDevice(*reader);
    reconcileGeometry(*reader, reported);
    if (reader->size == 0) {
        if (whyNot)
            *whyNot = devicePath + " reports a size of 0 (no medium inserted?).";
        if (failure)
            *failure = OpenFailure::kNoMedium;
        return nullptr;
    }
    return reader;
}

void identifyDevice(MediaReader& reader) {
    const auto* device = dynamic_cast<const HandleReader*>(&reader);
    if (!device || device->handle() == INVALID_HANDLE_VALUE)
        return;

    STORAGE_PROPERTY_QUERY query{};
    query.PropertyId = StorageDeviceProperty;
    query.QueryType = PropertyStandardQuery;
    std::vector<uint8_t> answer(kStorageDescriptorBuffer, 0);
    DWORD returned = 0;
    if (!DeviceIoControl(device->handle(), IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query, answer.data(),
                         static_cast<DWORD>(answer.size()), &returned, nullptr)) {
        return;
    }
    applyIdentity(reader, parseStorageDescriptor(answer.data(), returned));
    noteIdentifiedRevision(reader.revision);  // before a drive of size 0 is dropped
}

}  // namespace salvora
