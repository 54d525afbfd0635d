// The names of split parts and evidence segments, as split(1), dd-style
// imagers and Expert Witness acquisitions write them.
#include "media/image_names.h"

#include <gtest/gtest.h>

namespace salvora {
namespace {

TEST(SplitNames, NumberedSuffixesKeepTheirWidth) {
    const auto series = splitSeriesOf("/cases/disk.001");
    ASSERT_TRUE(series);
    EXPECT_EQ(series->stem, "/cases/disk.");
    EXPECT_TRUE(series->numeric);
    EXPECT_EQ(series->width, 3u);
    EXPECT_EQ(series->given, 1u);
    EXPECT_EQ(splitPartName(*series, 0), "/cases/disk.000");
    EXPECT_EQ(splitPartName(*series, 2), "/cases/disk.002");
    EXPECT_EQ(splitPartName(*series, 10), "/cases/disk.010");
    EXPECT_EQ(splitPartName(*series, 999), "/cases/disk.999");
    EXPECT_EQ(splitPartName(*series, 1000), "") << "three digits hold no part 1000";

    const auto twoDigits = splitSeriesOf("card.img.07");
    ASSERT_TRUE(twoDigits);
    EXPECT_EQ(twoDigits->stem, "card.img.");
    EXPECT_EQ(twoDigits->given, 7u);
    EXPECT_EQ(splitPartName(*twoDigits, 8), "card.img.08");
}

// split(1) without -d names the parts aa, ab, ..., az, ba, ...
TEST(SplitNames, LetterSuffixesCountInBase26) {
    const auto series = splitSeriesOf("card.img.ab");
    ASSERT_TRUE(series);
    EXPECT_FALSE(series->numeric);
    EXPECT_EQ(series->stem, "card.img.");
    EXPECT_EQ(series->given, 1u);
    EXPECT_EQ(splitPartName(*series, 0), "card.img.aa");
    EXPECT_EQ(splitPartName(*series, 25), "card.img.az");
    EXPECT_EQ(splitPartName(*series, 26), "card.img.ba");
    EXPECT_EQ(splitPartName(*series, 675), "card.img.zz");
    EXPECT_EQ(splitPartName(*series, 676), "");
    EXPECT_EQ(splitSeriesOf("x.zz")->given, 675u);
}

TEST(SplitNames, OtherExtensionsAreNoParts) {
    EXPECT_FALSE(splitSeriesOf("card.IMG"));
    EXPECT_FALSE(splitSeriesOf("card.E01"));
    EXPECT_FALSE(splitSeriesOf("card.1")) << "one digit";
    EXPECT_FALSE(splitSeriesOf("card.2024")) << "four digits";
    EXPECT_FALSE(splitSeriesOf("card.a1"));
    EXPECT_FALSE(splitSeriesOf("card"));
    EXPECT_FALSE(splitSeriesOf("dir.001/card")) << "the dot is in a folder name";
    EXPECT_FALSE(splitSeriesOf(".001")) << "a name that is only an extension";
    // Three lower-case letters are a possible suffix; whether "img" is a part
    // is decided by the presence of its first part.
    EXPECT_TRUE(splitSeriesOf("card.img"));
}

TEST(SplitNames, PartNumbersBelongOnlyToTheirSeries) {
    const auto series = splitSeriesOf("disk.001");
    ASSERT_TRUE(series);
    EXPECT_EQ(splitPartNumber(*series, "disk.017"), 17u);
    EXPECT_FALSE(splitPartNumber(*series, "disk.17"));
    EXPECT_FALSE(splitPartNumber(*series, "disk.aab"));
    EXPECT_FALSE(splitPartNumber(*series, "other.002"));
}

TEST(SegmentNames, EvidenceExtensions) {
    for (const char* name :
         {"case.E01", "case.e01", "case.E17", "case.s01", "case.L01", "case.Ex01", "case.Lx01"})
        EXPECT_TRUE(hasEvidenceExtension(name)) << name;
    for (const char* name : {"case.img", "case.E1", "case.Exx1", "case.001", "case.EAA", "E01", "case.E01/x"})
        EXPECT_FALSE(hasEvidenceExtension(name)) << name;
}

// After .E99 the set goes on with .EAA, and after .EZZ with .FAA.
TEST(SegmentNames, NextSegment) {
    EXPECT_EQ(nextSegmentName("/x/case.E01"), "/x/case.E02");
    EXPECT_EQ(nextSegmentName("case.E09"), "case.E10");
    EXPECT_EQ(nextSegmentName("case.E99"), "case.EAA");
    EXPECT_EQ(nextSegmentName("case.EAZ"), "case.EBA");
    EXPECT_EQ(nextSegmentName("case.EZZ"), "case.FAA");
    EXPECT_EQ(nextSegmentName("case.e05"), "case.e06");
    EXPECT_EQ(nextSegmentName("case.e99"), "case.eaa");
    EXPECT_EQ(nextSegmentName("case.s01"), "case.s02");
    EXPECT_EQ(nextSegmentName("case.Ex01"), "case.Ex02");
    EXPECT_EQ(nextSegmentName("case.Ex99"), "case.ExAA");
    EXPECT_EQ(nextSegmentName("case.ZZZ"), "");
    EXPECT_EQ(nextSegmentName("case.img0"), "");
    EXPECT_EQ(nextSegmentName("case"), "");
}

}  // namespace
}  // namespace salvora
