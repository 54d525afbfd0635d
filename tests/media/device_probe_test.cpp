#include "media/device_probe.h"

#include <gtest/gtest.h>

#include <optional>

#include "media/memory_reader.h"

namespace salvora {
namespace {

// A drive that answers the queries from a table; an absent answer is a
// query the drive refuses.
struct FakeDrive : DeviceQueries {
    std::optional<DriveGeometry> geometry;
    std::optional<DriveGeometry> geometryEx;
    uint64_t diskSize = 0;
    uint64_t length = 0;
    uint64_t file = 0;
    uint64_t end = 0;
    uint32_t readableUnit = 0;  // reads of a multiple of this succeed; 0 = none
    std::vector<uint32_t> reads;

    bool driveGeometry(DriveGeometry& out) override {
        if (geometry)
            out = *geometry;
        return geometry.has_value();
    }
    bool driveGeometryEx(DriveGeometry& out, uint64_t& size) override {
        if (geometryEx) {
            out = *geometryEx;
            size = diskSize;
        }
        return geometryEx.has_value();
    }
    uint64_t lengthInfo() override { return length; }
    uint64_t fileSize() override { return file; }
    uint64_t endPosition() override { return end; }
    bool readAhead(uint32_t count) override {
        reads.push_back(count);
        return readableUnit != 0 && count % readableUnit == 0;
    }
};

DriveGeometry chs(uint64_t cylinders, uint32_t heads, uint32_t sectors, uint32_t bytes) {
    return DriveGeometry{cylinders, heads, sectors, bytes};
}

// The whole opening sequence after the handle exists: probe, then reconcile.
struct Opened {
    uint32_t sectorSize;
    uint64_t cylinders;
    uint32_t headsPerCylinder;
    uint32_t sectorsPerTrack;
    uint64_t size;
};

Opened opened(FakeDrive& drive) {
    MemoryReader reader(std::vector<uint8_t>(1));
    reader.cylinders = 0;
    reader.headsPerCylinder = 0;
    reader.sectorsPerTrack = 0;
    const uint64_t reported = probeDevice(drive, reader);
    reconcileGeometry(reader, reported);
    return {reader.sectorSize, reader.cylinders, reader.headsPerCylinder, reader.sectorsPerTrack,
            reader.size};
}

TEST(DeviceProbe, DriveAnsweringEverythingKeepsItsGeometryAndLength) {
    FakeDrive drive;
    drive.geometry = chs(1000, 255, 63, 512);
    drive.geometryEx = chs(1000, 255, 63, 512);
    drive.length = 1000ull * 255 * 63 * 512 + 7 * 512;  // a partial cylinder at the end
    const Opened reader = opened(drive);
    EXPECT_EQ(reader.sectorSize, 512u);
    EXPECT_EQ(reader.headsPerCylinder, 255u);
    EXPECT_EQ(reader.sectorsPerTrack, 63u);
    EXPECT_EQ(reader.cylinders, 1000u);
    EXPECT_EQ(reader.size, drive.length);
    EXPECT_TRUE(drive.reads.empty()) << "no probing reads when the geometry tells the sector size";
}

TEST(DeviceProbe, SectorSizeComesFromTheGeometry) {
    FakeDrive drive;
    drive.geometry = chs(10, 1, 1, 4096);
    drive.length = 40960;
    EXPECT_EQ(opened(drive).sectorSize, 4096u);
}

TEST(DeviceProbe, WithoutGeometryTheSectorSizeIsProbedByReading) {
    FakeDrive drive;
    drive.length = 1 << 20;
    drive.readableUnit = 2048;
    EXPECT_EQ(opened(drive).sectorSize, 2048u);
    EXPECT_EQ(drive.reads, (std::vector<uint32_t>{512, 1024, 2048}));
}

TEST(DeviceProbe, UnreadableDriveFallsBackTo512) {
    FakeDrive drive;
    drive.length = 1 << 20;
    EXPECT_EQ(opened(drive).sectorSize, 512u);
    EXPECT_EQ(drive.reads, (std::vector<uint32_t>{512, 1024, 2048, 4096}));
}

// Regression: a geometry that answers with 0 bytes per sector was taken as
// the sector size.
TEST(DeviceProbe, GeometryWithZeroBytesPerSectorIsProbedInstead) {
    FakeDrive drive;
    drive.geometry = chs(10, 16, 63, 0);
    drive.length = 10ull * 16 * 63 * 512;
    drive.readableUnit = 512;
    EXPECT_EQ(opened(drive).sectorSize, 512u);
}

TEST(DeviceProbe, ExtendedGeometryWithoutSectorsFallsBackToThePlainQuery) {
    FakeDrive drive;
    drive.geometryEx = chs(5, 4, 0, 512);
    drive.geometry = chs(7, 16, 32, 512);
    drive.length = 7ull * 16 * 32 * 512;
    const Opened reader = opened(drive);
    EXPECT_EQ(reader.headsPerCylinder, 16u);
    EXPECT_EQ(reader.sectorsPerTrack, 32u);
    EXPECT_EQ(reader.cylinders, 7u);
}

TEST(DeviceProbe, DriveWithoutGeometryButWithALengthGetsOneHeadOneSector) {
    FakeDrive drive;
    drive.length = 123456 * 512ull;
    const Opened reader = opened(drive);
    EXPECT_EQ(reader.headsPerCylinder, 1u);
    EXPECT_EQ(reader.sectorsPerTrack, 1u);
    EXPECT_EQ(reader.cylinders, 123456u);
    EXPECT_EQ(reader.size, drive.length);
}

// Regression: a geometry with sectors per track but no heads would divide
// the size by zero heads when the cylinders are worked out.
TEST(DeviceProbe, GeometryWithoutHeadsIsNoGeometry) {
    FakeDrive drive;
    drive.geometry = chs(100, 0, 63, 512);
    drive.geometryEx = chs(100, 0, 63, 512);
    drive.length = 64 * 512;
    const Opened reader = opened(drive);
    EXPECT_EQ(reader.headsPerCylinder, 1u);
    EXPECT_EQ(reader.sectorsPerTrack, 1u);
    EXPECT_EQ(reader.cylinders, 64u);
}

TEST(DeviceProbe, LengthComesFromTheFirstQueryThatTellsOne) {
    FakeDrive drive;
    drive.geometryEx = chs(2, 1, 1, 512);
    drive.diskSize = 3000 * 512;
    drive.file = 2000 * 512;
    drive.end = 1000 * 512;
    EXPECT_EQ(opened(drive).size, 2000u * 512);  // file size before disk size and end
    drive.file = 0;
    EXPECT_EQ(opened(drive).size, 3000u * 512);  // then the extended geometry's disk size
    drive.diskSize = 0;
    EXPECT_EQ(opened(drive).size, 1000u * 512);  // then the end position
    drive.length = 4000 * 512;
    EXPECT_EQ(opened(drive).size, 4000u * 512);  // the length query before all
}

TEST(DeviceProbe, SizeFromTheGeometryWhenNoQueryTellsALength) {
    FakeDrive drive;
    drive.geometry = chs(10, 16, 63, 512);
    drive.geometryEx = chs(10, 16, 63, 512);
    EXPECT_EQ(opened(drive).size, 10u * 16 * 63 * 512);
}

TEST(DeviceProbe, DriveReportingNoLengthAnywhereHasSizeZero) {
    FakeDrive drive;
    drive.readableUnit = 512;
    const Opened reader = opened(drive);
    EXPECT_EQ(reader.size, 0u);  // openDevice discards such a drive
    EXPECT_EQ(reader.cylinders, 1u);
}

}  // namespace
}  // namespace salvora
