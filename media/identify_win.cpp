#include <windows.h>
#include <winioctl.h>

#include <vector>

#include "media/device_identity.h"
#include "media/device_reader.h"
#include "media/storage_descriptor.h"

namespace salvora {

namespace {

// The device's STORAGE_DEVICE_DESCRIPTOR through IOCTL_STORAGE_QUERY_PROPERTY
// (StorageDeviceProperty, PropertyStandardQuery) into a zeroed buffer of
// kStorageDescriptorBuffer bytes. The query needs no read access, so it
// goes through a handle of its own.
DeviceIdentity queryIdentity(const std::string& devicePath) {
    const HANDLE device = CreateFileA(devicePath.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    if (device == INVALID_HANDLE_VALUE) return DeviceIdentity{};
    STORAGE_PROPERTY_QUERY query{};
    query.PropertyId = StorageDeviceProperty;
    query.QueryType = PropertyStandardQuery;
    std::vector<uint8_t> answer(kStorageDescriptorBuffer, 0);
    DWORD returned = 0;
    const BOOL ok = DeviceIoControl(device, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query, answer.data(),
                                    static_cast<DWORD>(answer.size()), &returned, nullptr);
    CloseHandle(device);
    if (!ok) return DeviceIdentity{};
    return parseStorageDescriptor(answer.data(), returned);
}

}  // namespace

void identifyDevice(MediaReader& reader) {
    applyIdentity(reader, queryIdentity(reader.devicePath));
}

}  // namespace salvora
