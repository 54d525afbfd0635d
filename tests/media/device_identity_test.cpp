// What the drive reader keeps of the identity a drive reports.
#include "media/device_identity.h"

#include <gtest/gtest.h>

#include <cstring>

#include "media/memory_reader.h"

namespace salvora {
namespace {

// The bytes of a storage device descriptor: the 32-byte header, then texts.
std::vector<uint8_t> descriptor(const char* vendor, const char* product, const char* revision,
                                const char* serial, uint8_t removable, uint32_t bus) {
    std::vector<uint8_t> bytes(kStorageDescriptorBuffer, 0);
    bytes[10] = removable;
    bytes[28] = static_cast<uint8_t>(bus);
    size_t at = 40;
    const auto put = [&](size_t field, const char* text) {
        if (!text)
            return;
        bytes[field] = static_cast<uint8_t>(at);
        std::memcpy(bytes.data() + at, text, std::strlen(text));
        at += std::strlen(text) + 1;
    };
    put(12, vendor);
    put(16, product);
    put(20, revision);
    put(24, serial);
    return bytes;
}

void identify(MemoryReader& reader, const std::vector<uint8_t>& bytes, size_t returned) {
    applyIdentity(reader, parseStorageDescriptor(bytes.data(), returned));
}

TEST(DeviceIdentity, CardReaderSlotKeepsTrimmedTextsAndIsRemovable) {
    MemoryReader reader(std::vector<uint8_t>(512));
    const auto bytes = descriptor("Korvell ", "QX7R CF Slot    ", "KV07", "000000264001    ", 1, 7);
    identify(reader, bytes, bytes.size());
    EXPECT_EQ(reader.vendor, "Korvell");
    EXPECT_EQ(reader.product, "QX7R CF Slot");
    EXPECT_EQ(reader.model, "Korvell QX7R CF Slot");
    EXPECT_EQ(reader.serial, "000000264001 ");
    EXPECT_EQ(reader.revision, "KV07");
    EXPECT_EQ(reader.fixedMedia, 0u);
    EXPECT_EQ(reader.busType, 7u);  // USB
}

TEST(DeviceIdentity, FixedDiskWithoutVendorIsNamedByItsProduct) {
    MemoryReader reader(std::vector<uint8_t>(512));
    const auto bytes = descriptor(nullptr, "Samsung SSD 870 EVO 1TB    ", "SVT02B6Q", "    ", 0, 11);
    identify(reader, bytes, bytes.size());
    EXPECT_EQ(reader.vendor, "");
    EXPECT_EQ(reader.model, "Samsung SSD 870 EVO 1TB");
    EXPECT_EQ(reader.serial, "");  // only spaces
    EXPECT_EQ(reader.fixedMedia, 1u);
    EXPECT_EQ(reader.busType, 11u);  // SATA
}

TEST(DeviceIdentity, UnansweredQueryLeavesEverythingAlone) {
    MemoryReader reader(std::vector<uint8_t>(512));
    reader.model = "kept";
    const auto bytes = descriptor("Korvell ", "QX7R", nullptr, nullptr, 0, 7);
    identify(reader, bytes, 16);  // shorter than the header
    EXPECT_EQ(reader.model, "kept");
    EXPECT_EQ(reader.fixedMedia, 0u);
    EXPECT_EQ(reader.busType, 0u);
}

TEST(DeviceIdentity, TextCutByTheReturnedLengthEndsThere) {
    MemoryReader reader(std::vector<uint8_t>(512));
    const auto bytes = descriptor("Korvell ", nullptr, nullptr, nullptr, 1, 7);
    identify(reader, bytes, 44);  // the vendor text starts at 40: four bytes of it came back
    EXPECT_EQ(reader.vendor, "Korv");
    EXPECT_EQ(reader.model, "Korv");
}

}  // namespace
}  // namespace salvora
