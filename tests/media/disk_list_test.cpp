#include "media/disk_list.h"

#include <gtest/gtest.h>

#include <map>

#include "media/device_identity.h"
#include "media/memory_reader.h"

namespace salvora {
namespace {

// A reader that notes when it is closed.
class NotingReader : public MemoryReader {
  public:
    explicit NotingReader(bool* closed) : MemoryReader(std::vector<uint8_t>(4096, 0)), closed_(closed) {}
    void close() override { *closed_ = true; }

  private:
    bool* closed_;
};

// A system whose drives are given by the test: path -> how opening it ends.
class FakeDisks : public DiskSource {
  public:
    struct Drive {
        OpenFailure failure = OpenFailure::kNone;
        std::string revision;
        std::string devicePath;  // the path the opened reader reports; the candidate's when empty
        bool describedOnly = false;
    };
    std::vector<std::pair<std::string, Drive>> drives;
    std::vector<std::string> tried;
    std::map<std::string, bool> closed;

    std::vector<std::string> candidatePaths() override {
        std::vector<std::string> paths;
        for (const auto& drive : drives)
            paths.push_back(drive.first);
        return paths;
    }

    std::unique_ptr<MediaReader> open(const std::string& path, const PartitionScheme* scheme, uint32_t flags,
                                      std::string& whyNot, OpenFailure& failure) override {
        tried.push_back(path);
        const Drive& drive = find(path);
        failure = drive.failure;
        whyNot = "reason for " + path;
        if (drive.failure == OpenFailure::kNoMedium)
            noteIdentifiedRevision(drive.revision);  // identified, then dropped for its size of 0
        if (drive.failure != OpenFailure::kNone && !drive.describedOnly)
            return nullptr;
        auto reader = std::make_unique<NotingReader>(&closed[path]);
        reader->devicePath = drive.devicePath.empty() ? path : drive.devicePath;
        reader->revision = drive.revision;
        reader->partitionScheme = scheme;
        reader->openFlags = flags;
        return reader;
    }

  private:
    const Drive& find(const std::string& path) const {
        for (const auto& drive : drives) {
            if (drive.first == path)
                return drive.second;
        }
        static const Drive none;
        return none;
    }
};

TEST(ListDisks, MissingDrivesAreSkippedAndIndexesKept) {
    FakeDisks system;
    system.drives = {{"drive0", {}},
                     {"drive1", {OpenFailure::kNotFound}},
                     {"drive2", {}},
                     {"drive3", {OpenFailure::kNoMedium}}};
    const DiskList list = listDisks(nullptr, kDefaultOpenFlags, system);
    ASSERT_EQ(list.readers.size(), 2u);
    EXPECT_EQ(list.readers[0]->driveIndex, 0u);
    EXPECT_EQ(list.readers[1]->driveIndex, 2u);
    EXPECT_EQ(list.readers[1]->openFlags, kDefaultOpenFlags);
    EXPECT_EQ(list.deniedCount, 0u);
    EXPECT_TRUE(list.unreadable.empty());
    EXPECT_EQ(system.tried.size(), 4u);
}

TEST(ListDisks, ADuplicateDevicePathIsClosedAndDropped) {
    FakeDisks system;
    FakeDisks::Drive alias;
    alias.devicePath = "drive0";
    system.drives = {{"drive0", {}}, {"alias", alias}};
    const DiskList list = listDisks(nullptr, 0, system);
    ASSERT_EQ(list.readers.size(), 1u);
    EXPECT_EQ(list.readers[0]->driveIndex, 0u);
    EXPECT_TRUE(system.closed["alias"]);
    EXPECT_FALSE(system.closed["drive0"]);
}

TEST(ListDisks, DrivesRefusedForRightsAreCounted) {
    FakeDisks system;
    FakeDisks::Drive denied;
    denied.failure = OpenFailure::kNoRights;
    system.drives = {{"drive0", denied}, {"drive1", denied}, {"drive2", {}}};
    const DiskList list = listDisks(nullptr, 0, system);
    EXPECT_EQ(list.readers.size(), 1u);
    EXPECT_EQ(list.deniedCount, 2u);
    EXPECT_EQ(list.deniedReason, "reason for drive0");
}

TEST(ListDisks, DescribedDisksAreListedAsUnreadable) {
    FakeDisks system;
    FakeDisks::Drive described;
    described.failure = OpenFailure::kNoRights;
    described.describedOnly = true;
    system.drives = {{"drive0", described}, {"drive1", {}}};
    const DiskList list = listDisks(nullptr, 0, system);
    ASSERT_EQ(list.readers.size(), 2u);
    const UnreadableDisk* unreadable = unreadableReason(list, *list.readers[0]);
    ASSERT_NE(unreadable, nullptr);
    EXPECT_EQ(unreadable->failure, OpenFailure::kNoRights);
    EXPECT_EQ(unreadable->reason, "reason for drive0");
    EXPECT_EQ(unreadableReason(list, *list.readers[1]), nullptr);
    EXPECT_EQ(list.deniedCount, 1u);
}

TEST(ListDisks, MakerReaderIsNoticedByItsRevisionAndClearedNextTime) {
    FakeDisks withReader;
    FakeDisks::Drive reader;
    reader.revision = "KV07";
    withReader.drives = {{"drive0", {}}, {"drive1", reader}};
    listDisks(nullptr, 0, withReader);
    EXPECT_TRUE(makerReaderPresent());

    FakeDisks withoutReader;
    FakeDisks::Drive other;
    other.revision = "KV21";
    withoutReader.drives = {{"drive0", other}};
    listDisks(nullptr, 0, withoutReader);
    EXPECT_FALSE(makerReaderPresent());
}

// Regression: the flag was set only for drives that opened with a size, so
// the reader with both slots empty was taken for no reader at all.
TEST(ListDisks, MakerReaderWithEmptySlotsIsNoticedAtIdentification) {
    FakeDisks emptyReader;
    FakeDisks::Drive emptySlot;
    emptySlot.failure = OpenFailure::kNoMedium;
    emptySlot.revision = "KV07";
    emptyReader.drives = {{"drive0", {}}, {"drive1", emptySlot}, {"drive2", emptySlot}};
    const DiskList list = listDisks(nullptr, 0, emptyReader);
    EXPECT_EQ(list.readers.size(), 1u);
    EXPECT_TRUE(makerReaderPresent());
}

TEST(NoteIdentifiedRevision, SetsTheFlagForTheMakersRevisionOnly) {
    FakeDisks none;
    listDisks(nullptr, 0, none);  // clears the flag
    noteIdentifiedRevision("KV21");
    noteIdentifiedRevision("");
    EXPECT_FALSE(makerReaderPresent());
    noteIdentifiedRevision("KV01");
    EXPECT_TRUE(makerReaderPresent());
}

TEST(ApplyIdentity, FillsTheReaderFromTheReportedTexts) {
    MemoryReader reader(std::vector<uint8_t>(512, 0));
    DeviceIdentity identity;
    identity.answered = true;
    identity.removable = 1;
    identity.busType = 7;
    identity.hasVendor = identity.hasProduct = identity.hasSerial = identity.hasRevision = true;
    identity.vendor = "Korvell ";
    identity.product = "QX7R CF Slot    ";
    identity.serial = "000000000042    ";
    identity.revision = "KV07";
    applyIdentity(reader, identity);
    EXPECT_EQ(reader.model, "Korvell QX7R CF Slot");
    EXPECT_EQ(reader.vendor, "Korvell");
    EXPECT_EQ(reader.product, "QX7R CF Slot");
    EXPECT_EQ(reader.serial, "000000000042 ");
    EXPECT_EQ(reader.revision, "KV07");
    EXPECT_EQ(reader.fixedMedia, 0u);
    EXPECT_EQ(reader.busType, 7u);

    MemoryReader fixed(std::vector<uint8_t>(512, 0));
    applyIdentity(fixed, DeviceIdentity{});
    EXPECT_EQ(fixed.fixedMedia, 0u) << "an unanswered query fills nothing";
    DeviceIdentity plain;
    plain.answered = true;
    applyIdentity(fixed, plain);
    EXPECT_EQ(fixed.fixedMedia, 1u);
    EXPECT_EQ(fixed.model, "");
}

}  // namespace
}  // namespace salvora
