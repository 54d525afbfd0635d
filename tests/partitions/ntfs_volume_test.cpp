#include "partitions/ntfs_volume.h"

#include <gtest/gtest.h>

#include "crafted_volumes.h"
#include "media/memory_reader.h"
#include "partitions/partition_scheme.h"

namespace salvora {
namespace {

constexpr uint64_t kVolumeSectors = 4096;
constexpr uint64_t kMftCluster = 4;
constexpr uint64_t kMftOffset = kMftCluster * 8 * 512;

// An NTFS volume of kVolumeSectors sectors whose master file table holds
// three records without a name and then `volumeRecord`.
std::vector<uint8_t> ntfsVolume(const std::vector<uint8_t>& volumeRecord, int8_t clustersPerRecord = -10) {
    std::vector<uint8_t> bytes(kVolumeSectors * 512, 0);
    const auto boot = test::ntfsBootSector(kVolumeSectors - 1, kMftCluster, clustersPerRecord);
    std::copy(boot.begin(), boot.end(), bytes.begin());
    size_t at = kMftOffset;
    for (int i = 0; i < 3; ++i) {
        const auto record = test::fileRecord(1024, 0x30, std::vector<uint8_t>(66, 'x'));
        std::copy(record.begin(), record.end(), bytes.begin() + at);
        at += record.size();
    }
    std::copy(volumeRecord.begin(), volumeRecord.end(), bytes.begin() + at);
    return bytes;
}

std::vector<uint8_t> volumeNameRecord(const std::u16string& name) {
    return test::fileRecord(1024, 0x60, test::utf16(name));
}

PartitionRecord probe(std::vector<uint8_t> bytes, uint64_t partitionSize = 0, int* result = nullptr) {
    MemoryReader medium(std::move(bytes));
    PartitionRecord record = newPartitionRecord(&pcPartitionScheme());
    record.size = partitionSize;
    const int found = probeNtfsPartition(medium, record);
    if (result)
        *result = found;
    return record;
}

TEST(NtfsVolume, LabelComesFromTheVolumeNameAttribute) {
    int result = 1;
    const PartitionRecord record = probe(ntfsVolume(volumeNameRecord(u"Archive 2024")), 0, &result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(record.fsKind, kFsNtfs);
    EXPECT_EQ(record.fsName, "NTFS");
    EXPECT_EQ(record.label, "Archive 2024");
}

TEST(NtfsVolume, LabelKeepsSingleByteCharactersAndStopsAboveThem) {
    EXPECT_EQ(probe(ntfsVolume(volumeNameRecord(u"Caf\u00e9"))).label, "Caf\xE9");
    EXPECT_EQ(probe(ntfsVolume(volumeNameRecord(u"Fotos\u20ac2024"))).label, "Fotos");
    EXPECT_EQ(probe(ntfsVolume(volumeNameRecord(std::u16string(u"AB\0CD", 5)))).label, "AB");
}

TEST(NtfsVolume, LabelIsAtMost79Characters) {
    EXPECT_EQ(probe(ntfsVolume(volumeNameRecord(std::u16string(120, u'L')))).label, std::string(79, 'L'));
}

TEST(NtfsVolume, BootSectorFieldsThatMustBeZero) {
    for (size_t at : {14, 16, 17, 18, 19, 20, 22, 32}) {
        auto bytes = ntfsVolume(volumeNameRecord(u"X"));
        bytes[at] = 1;
        int result = 0;
        probe(bytes, 0, &result);
        EXPECT_EQ(result, 1) << "byte " << at;
    }
}

TEST(NtfsVolume, BootSectorBasics) {
    auto bytes = ntfsVolume(volumeNameRecord(u"X"));
    int result = 0;
    bytes[3] = 'M';
    probe(bytes, 0, &result);
    EXPECT_EQ(result, 1) << "not NTFS";
    bytes = ntfsVolume(volumeNameRecord(u"X"));
    bytes[13] = 3;
    probe(bytes, 0, &result);
    EXPECT_EQ(result, 1) << "3 sectors per cluster";
    bytes = ntfsVolume(volumeNameRecord(u"X"));
    test::put64(bytes, 40, 0);
    probe(bytes, 0, &result);
    EXPECT_EQ(result, 1) << "no sectors";
    MemoryReader shortMedium(std::vector<uint8_t>(300, 0));
    PartitionRecord record;
    EXPECT_EQ(probeNtfsPartition(shortMedium, record), 1);
}

TEST(NtfsVolume, VolumeLargerThanThePartitionIsNotNtfs) {
    const auto bytes = ntfsVolume(volumeNameRecord(u"X"));
    int result = 1;
    probe(bytes, kVolumeSectors * 512, &result);
    EXPECT_EQ(result, 0) << "total + 1 sectors fill the partition exactly";
    probe(bytes, kVolumeSectors * 512 - 1, &result);
    EXPECT_EQ(result, 1);
}

// Regression: (total + 1) x bytes per sector wrapped around for a huge
// total, so a damaged boot sector passed the size test.
TEST(NtfsVolume, HugeTotalSectorsDoNotWrapPastTheSizeTest) {
    auto bytes = ntfsVolume(volumeNameRecord(u"X"));
    test::put64(bytes, 40, (uint64_t{1} << 55) - 1);  // x 512 wraps to 0 after adding one
    int result = 0;
    probe(bytes, kVolumeSectors * 512, &result);
    EXPECT_EQ(result, 1);
}

// Regression: a clusters-per-record byte of -128 asked for records of 2^128
// bytes; the volume must still be found, only without its label.
TEST(NtfsVolume, HugeRecordSizeLosesOnlyTheLabel) {
    for (int8_t value : {-128, -64, -17, 127}) {
        auto bytes = ntfsVolume(volumeNameRecord(u"Secret"), value);
        bytes[13] = 128;  // with 128 sectors per cluster, 127 clusters per record is 8 MB
        const PartitionRecord record = probe(bytes);
        EXPECT_EQ(record.fsKind, kFsNtfs) << int(value);
        EXPECT_EQ(record.label, "") << int(value);
    }
    // Records of 2^16 bytes are still read.
    const PartitionRecord bounded = probe(ntfsVolume(volumeNameRecord(u"Y"), -16));
    EXPECT_EQ(bounded.fsKind, kFsNtfs);
}

TEST(NtfsVolume, PositiveClustersPerRecordCountsClusters) {
    // One cluster of 8 sectors: records of 4096 bytes; the name lies in the fourth.
    std::vector<uint8_t> bytes(kVolumeSectors * 512, 0);
    const auto boot = test::ntfsBootSector(kVolumeSectors - 1, kMftCluster, 1);
    std::copy(boot.begin(), boot.end(), bytes.begin());
    for (int i = 0; i < 3; ++i) {
        const auto record = test::fileRecord(4096, 0x30, {});
        std::copy(record.begin(), record.end(), bytes.begin() + kMftOffset + i * 4096);
    }
    const auto named = test::fileRecord(4096, 0x60, test::utf16(u"Big"));
    std::copy(named.begin(), named.end(), bytes.begin() + kMftOffset + 3 * 4096);
    EXPECT_EQ(probe(bytes).label, "Big");
}

TEST(NtfsVolume, DamagedFileRecordsOnlyLoseTheLabel) {
    const auto damaged = [](auto change) {
        auto record = volumeNameRecord(u"Lost");
        change(record);
        const PartitionRecord found = probe(ntfsVolume(record));
        EXPECT_EQ(found.fsKind, kFsNtfs);
        return found.label;
    };
    EXPECT_EQ(damaged([](auto&) {}), "Lost");
    EXPECT_EQ(damaged([](auto& r) { r[0] = 'B'; }), "") << "not a file record";
    EXPECT_EQ(damaged([](auto& r) { test::put16(r, 20, 57); }), "") << "first attribute not a multiple of 8";
    EXPECT_EQ(damaged([](auto& r) { test::put16(r, 20, 40); }), "") << "first attribute inside the header";
    EXPECT_EQ(damaged([](auto& r) { test::put32(r, 128 + 4, 30); }), "")
        << "attribute length not a multiple of 8";
    EXPECT_EQ(damaged([](auto& r) { test::put32(r, 128 + 4, 16); }), "")
        << "attribute shorter than its header";
    EXPECT_EQ(damaged([](auto& r) { test::put16(r, 128 + 20, 28); }), "")
        << "value offset not a multiple of 8";
    EXPECT_EQ(damaged([](auto& r) { test::put32(r, 128 + 16, 400); }), "")
        << "value longer than the attribute";
    EXPECT_EQ(damaged([](auto& r) { test::put16(r, 128 + 20, 0); }), "") << "name without a value offset";
    EXPECT_EQ(damaged([](auto& r) { r[128 + 8] = 1; }), "") << "a non-resident name is skipped";
}

TEST(NtfsVolume, SmallAllocatedSizeEndsTheWalk) {
    std::vector<uint8_t> bytes = ntfsVolume(volumeNameRecord(u"Never"));
    test::put32(bytes, kMftOffset + 28, 40);  // first record claims 40 bytes
    EXPECT_EQ(probe(bytes).label, "");
}

TEST(NtfsVolume, UnreadableFileTableOnlyLosesTheLabel) {
    std::vector<uint8_t> bytes = ntfsVolume(volumeNameRecord(u"Far"));
    test::put64(bytes, 48, 1000000);  // beyond the medium
    const PartitionRecord record = probe(bytes);
    EXPECT_EQ(record.fsKind, kFsNtfs);
    EXPECT_EQ(record.label, "");
    test::put64(bytes, 48, UINT64_MAX / 2);  // offset does not fit 64 bits
    EXPECT_EQ(probe(bytes).label, "");
}

}  // namespace
}  // namespace salvora
