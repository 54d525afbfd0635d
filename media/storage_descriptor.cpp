#include "media/storage_descriptor.h"

#include <algorithm>
#include <cstdio>

#include "media/bytes.h"

namespace salvora {

namespace {

// STORAGE_DEVICE_DESCRIPTOR layout (little-endian): Version u32 at 0, Size u32
// at 4, DeviceType u8 at 8, DeviceTypeModifier u8 at 9, RemovableMedia u8 at
// 10, CommandQueueing u8 at 11, VendorIdOffset u32 at 12, ProductIdOffset u32
// at 16, ProductRevisionOffset u32 at 20, SerialNumberOffset u32 at 24,
// BusType u32 at 28.
constexpr size_t kHeaderSize = 32;

bool textAt(const Bytes& bytes, uint32_t offset, std::string& text) {
    if (offset == 0 || offset >= bytes.size())
        return false;
    size_t end = offset;
    while (end < bytes.size() && bytes.u8(end) != 0)
        ++end;
    text.assign(reinterpret_cast<const char*>(bytes.data()) + offset, end - offset);
    return true;
}

}  // namespace

DeviceIdentity parseStorageDescriptor(const uint8_t* descriptor, size_t returned) {
    DeviceIdentity identity;
    const Bytes bytes(descriptor, std::min(returned, kStorageDescriptorBuffer));
    if (!bytes.has(0, kHeaderSize))
        return identity;
    identity.answered = true;
    identity.removable = bytes.u8(10);
    identity.busType = bytes.le32(28);
    identity.hasVendor = textAt(bytes, bytes.le32(12), identity.vendor);
    identity.hasProduct = textAt(bytes, bytes.le32(16), identity.product);
    identity.hasRevision = textAt(bytes, bytes.le32(20), identity.revision);
    identity.hasSerial = textAt(bytes, bytes.le32(24), identity.serial);
    return identity;
}

bool isMakerReaderRevision(const std::string& revision) {
    if (revision.size() != 4 || revision.compare(0, 2, "KV") != 0)
        return false;
    int number = 0;
    if (std::sscanf(revision.c_str() + 2, "%d", &number) != 1)
        return false;
    return number >= 1 && number <= 20;
}

std::string withoutTrailingSpaces(const std::string& text) {
    const size_t last = text.find_last_not_of(' ');
    return last == std::string::npos ? std::string() : text.substr(0, last + 1);
}

std::string withOneTrailingSpace(const std::string& text) {
    const size_t last = text.find_last_not_of(' ');
    if (last == std::string::npos)
        return std::string();
    return last + 1 < text.size() ? text.substr(0, last + 2) : text;
}

std::string modelText(const DeviceIdentity& identity) {
    if (!identity.hasVendor && !identity.hasProduct)
        return std::string();
    std::string model = identity.hasVendor ? withOneTrailingSpace(identity.vendor) : std::string();
    if (identity.hasProduct)
        model += identity.product;
    return withoutTrailingSpaces(model);
}

}  // namespace salvora
