#include "media/storage_descriptor.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace salvora {
namespace {

// A descriptor as the property query returns it: header, then the texts.
std::vector<uint8_t> descriptor(const char* vendor, const char* product, const char* revision,
                                const char* serial, uint8_t removable, uint32_t bus) {
    std::vector<uint8_t> bytes(kStorageDescriptorBuffer, 0);
    bytes[10] = removable;
    bytes[28] = static_cast<uint8_t>(bus);
    size_t at = 64;
    auto put = [&](size_t field, const char* text) {
        if (!text)
            return;
        bytes[field] = static_cast<uint8_t>(at);
        bytes[field + 1] = static_cast<uint8_t>(at >> 8);
        std::memcpy(bytes.data() + at, text, std::strlen(text));
        at += std::strlen(text) + 1;
    };
    put(12, vendor);
    put(16, product);
    put(20, revision);
    put(24, serial);
    return bytes;
}

TEST(StorageDescriptor, ModelJoinsVendorAndProductWithOneSpace) {
    const auto bytes = descriptor("Korvell ", "QX7R SD Slot    ", "KV07", "0001    ", 1, 7);
    const DeviceIdentity identity = parseStorageDescriptor(bytes.data(), bytes.size());
    ASSERT_TRUE(identity.answered);
    EXPECT_EQ(modelText(identity), "Korvell QX7R SD Slot");
    EXPECT_EQ(withoutTrailingSpaces(identity.vendor), "Korvell");
    EXPECT_EQ(withoutTrailingSpaces(identity.product), "QX7R SD Slot");
    EXPECT_EQ(withOneTrailingSpace(identity.serial), "0001 ");
    EXPECT_EQ(identity.removable, 1u);
    EXPECT_EQ(identity.busType, 7u);
}

TEST(StorageDescriptor, ModelWithoutVendorIsTheTrimmedProduct) {
    const auto bytes = descriptor(nullptr, "Virtual Disk   ", nullptr, nullptr, 0, 0);
    const DeviceIdentity identity = parseStorageDescriptor(bytes.data(), bytes.size());
    EXPECT_EQ(modelText(identity), "Virtual Disk");
    EXPECT_FALSE(identity.hasRevision);
    EXPECT_EQ(withOneTrailingSpace("    "), "");
}

TEST(StorageDescriptor, TextsStopAtTheReturnedBytes) {
    auto bytes = descriptor("ABCDEFGH", nullptr, nullptr, nullptr, 0, 0);
    const DeviceIdentity identity = parseStorageDescriptor(bytes.data(), 64 + 3);
    EXPECT_EQ(identity.vendor, "ABC");
    EXPECT_FALSE(parseStorageDescriptor(bytes.data(), 20).answered);
}

TEST(StorageDescriptor, MakerReaderRevisionIsKvAndTwoDigitsFrom01To20) {
    EXPECT_TRUE(isMakerReaderRevision("KV07"));
    EXPECT_TRUE(isMakerReaderRevision("KV01"));
    EXPECT_TRUE(isMakerReaderRevision("KV20"));
    EXPECT_FALSE(isMakerReaderRevision("KV00"));
    EXPECT_FALSE(isMakerReaderRevision("KV21"));
    EXPECT_FALSE(isMakerReaderRevision("KV5"));
    EXPECT_FALSE(isMakerReaderRevision("KV005"));
    EXPECT_FALSE(isMakerReaderRevision("XV07"));
    EXPECT_FALSE(isMakerReaderRevision("KVab"));
}

}  // namespace
}  // namespace salvora
