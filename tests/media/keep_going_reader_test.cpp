#include "media/keep_going_reader.h"

#include <gtest/gtest.h>

#include "media/error_text.h"
#include "support/faulty_reader.h"

namespace salvora {
namespace {

std::vector<uint8_t> pattern(size_t size) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>(i % 251 + 1);
    return bytes;
}

TEST(KeepGoingReader, KeepsReadableSectorsAndZeroFillsBadOnes) {
    const auto bytes = pattern(64 * 512);
    test::FaultyReader inner(bytes);
    inner.badSectors = {3, 4, 9};
    std::vector<UnreadableRange> reported;
    KeepGoingReader reader(inner, [&](const UnreadableRange& range) { reported.push_back(range); });
    std::vector<uint8_t> out(16 * 512, 0xEE);
    ASSERT_EQ(reader.readAt(out.data(), 16 * 512, 0), 16 * 512);
    for (size_t sector = 0; sector < 16; ++sector) {
        const bool bad = sector == 3 || sector == 4 || sector == 9;
        for (size_t i = sector * 512; i < (sector + 1) * 512; ++i) {
            ASSERT_EQ(out[i], bad ? 0 : bytes[i]) << "sector " << sector;
        }
    }
    ASSERT_EQ(reported.size(), 2u);
    EXPECT_EQ(reported[0].offset, 3u * 512);
    EXPECT_EQ(reported[0].length, 2u * 512);
    EXPECT_EQ(reported[1].offset, 9u * 512);
    EXPECT_EQ(reader.unreadableBytes(), 3u * 512);
}

TEST(KeepGoingReader, SectorsReadAgainAreReportedOnce) {
    test::FaultyReader inner(pattern(64 * 512));
    inner.badSectors = {5, 6};
    int reports = 0;
    KeepGoingReader reader(inner, [&](const UnreadableRange&) { ++reports; });
    std::vector<uint8_t> out(8 * 512);
    reader.readAt(out.data(), 8 * 512, 0);
    reader.readAt(out.data(), 8 * 512, 4 * 512);  // overlaps the bad sectors again
    reader.readAt(out.data(), 512, 6 * 512);
    EXPECT_EQ(reports, 1);
    ASSERT_EQ(reader.unreadable().size(), 1u);
    EXPECT_EQ(reader.unreadable()[0].length, 1024u);
}

TEST(KeepGoingReader, EndOfTheMediumIsNotAnError) {
    test::FaultyReader inner(pattern(10 * 512));
    KeepGoingReader reader(inner);
    std::vector<uint8_t> out(4096);
    EXPECT_EQ(reader.readAt(out.data(), 4096, 8 * 512), 1024);
    EXPECT_EQ(reader.readAt(out.data(), 512, 10 * 512), 0);
    EXPECT_TRUE(reader.unreadable().empty());
}

}  // namespace
}  // namespace salvora
