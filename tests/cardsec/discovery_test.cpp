#include <gtest/gtest.h>

#include <map>

#include "cardsec/reader_context.h"
#include "support/card_fakes.h"

namespace salvora::cardsec {
namespace {

using test::FakeTime;

// A machine with drives of chosen identities and letters; the drives that are
// reader slots answer through a simulated reader.
class FakeMachine : public ReaderTransport {
  public:
    struct Drive {
        DeviceIdentity identity;
        std::optional<SimSlot> slot;  // answers as this slot of `reader`
        bool alsoAnswersSd = false;   // answers SEND_STATUS with a live state too
    };
    std::map<int, Drive> drives;
    std::map<char, int> letters;
    SimulatedReader reader;
    int opens = 0;
    int openHandles = 0;

    static DeviceIdentity identity(bool removable, const std::string& revision) {
        DeviceIdentity id;
        id.answered = true;
        id.removable = removable;
        id.hasRevision = true;
        id.revision = revision;
        return id;
    }
    void addReader(int sdDrive, int cfDrive, const std::string& revision = "KV05") {
        drives[sdDrive] = {identity(true, revision), SimSlot::kSd};
        drives[cfDrive] = {identity(true, revision), SimSlot::kCf};
    }

    SlotHandle openDrive(int drive) override {
        if (!drives.count(drive))
            return kInvalidSlot;
        ++opens;
        ++openHandles;
        return drive + 100;
    }
    void closeDrive(SlotHandle handle) override {
        if (handle != kInvalidSlot)
            --openHandles;
    }
    DeviceIdentity driveIdentity(SlotHandle handle) override { return drives.at(handle - 100).identity; }
    int diskNumberOfLetter(char letter) override { return letters.count(letter) ? letters[letter] : -1; }
    std::string drivePath(int) override { return ""; }
    TransportResult execute(SlotHandle handle, const Cdb& cdb, Direction direction, uint8_t* data) override {
        const Drive& drive = drives.at(handle - 100);
        if (!drive.slot)
            return {true, kScsiCheckCondition};
        if (drive.alsoAnswersSd && cdb[0] == 0xF5) {
            std::fill(data, data + 512, 0);
            data[3] = 4 << 1;  // transfer state
            return {true, kScsiGood};
        }
        return reader.execute(*drive.slot, cdb, direction, data, 0);
    }
};

struct Discovery {
    FakeMachine machine;
    ReaderContext context;
    SdState sd;
    CfState cf;
    FakeTime time;

    DiscoveryOutcome scan() { return ScanForReader(context, machine, sd, cf, time); }
};

TEST(ReaderTest, RevisionRule) {
    EXPECT_TRUE(isReaderSlot(FakeMachine::identity(true, "KV05")));
    EXPECT_TRUE(isReaderSlot(FakeMachine::identity(true, "KV20")));
    EXPECT_FALSE(isReaderSlot(FakeMachine::identity(true, "KV5")));
    EXPECT_FALSE(isReaderSlot(FakeMachine::identity(true, "KV00")));
    EXPECT_FALSE(isReaderSlot(FakeMachine::identity(true, "KV21")));
    EXPECT_FALSE(isReaderSlot(FakeMachine::identity(false, "KV05")));
    EXPECT_FALSE(isReaderSlot(FakeMachine::identity(true, "XV05")));
}

TEST(ScanForReader, FindsBothSlotsByTheirCards) {
    Discovery d;
    d.machine.drives[0] = {FakeMachine::identity(false, "1.0"), std::nullopt};
    d.machine.addReader(3, 4);
    d.machine.letters = {{'C', 0}, {'F', 3}, {'G', 4}};
    d.machine.reader.insertSd(SimSdCard{});
    d.machine.reader.insertCf(SimCfCard{});
    const DiscoveryOutcome outcome = d.scan();
    EXPECT_TRUE(outcome.readerFound);
    EXPECT_TRUE(outcome.noSlotOpen);
    EXPECT_EQ(d.context.m_nSdDrive, 3);
    EXPECT_EQ(d.context.m_nCfDrive, 4);
    EXPECT_NE(d.context.m_hSdSlot, kInvalidSlot);
    EXPECT_NE(d.context.m_hCfSlot, kInvalidSlot);
    EXPECT_EQ(d.context.m_strDiskLabel[3], "Disk (F:)");
    EXPECT_EQ(d.context.m_strDiskLabel[4], "Disk (G:)");
    EXPECT_TRUE(d.context.m_bNotReader[0]);
    EXPECT_TRUE(d.context.m_bLetterSeen['F' - 'A']);
    EXPECT_EQ(d.machine.openHandles, 2);  // only the two slot handles stay open
}

TEST(ScanForReader, EmptySlotsStayUnassigned) {
    Discovery d;
    d.machine.addReader(1, 2);
    d.machine.letters = {{'D', 1}, {'E', 2}};
    const DiscoveryOutcome outcome = d.scan();
    EXPECT_TRUE(outcome.readerFound);
    EXPECT_FALSE(outcome.sdAssigned || outcome.cfAssigned);
    d.machine.reader.insertCf(SimCfCard{});
    d.scan();
    EXPECT_EQ(d.context.m_nCfDrive, 2);
    EXPECT_EQ(d.context.m_nSdDrive, -1);
}

TEST(ScanForReader, SlotWithoutDriveLetterIsNeverTested) {
    Discovery d;
    d.machine.addReader(1, 2);
    d.machine.letters = {{'D', 1}};
    d.machine.reader.insertSd(SimSdCard{});
    d.machine.reader.insertCf(SimCfCard{});
    const DiscoveryOutcome outcome = d.scan();
    EXPECT_TRUE(outcome.readerFound);
    EXPECT_EQ(d.context.m_nSdDrive, 1);
    EXPECT_EQ(d.context.m_nCfDrive, -1);
}

TEST(ScanForReader, PassWhileBothSlotsAreAssignedReleasesThem) {
    Discovery d;
    d.machine.addReader(1, 2);
    d.machine.letters = {{'D', 1}, {'E', 2}};
    d.machine.reader.insertSd(SimSdCard{});
    d.machine.reader.insertCf(SimCfCard{});
    d.scan();
    const DiscoveryOutcome second = d.scan();
    EXPECT_FALSE(second.readerFound);
    EXPECT_EQ(d.context.m_nSdDrive, -1);
    EXPECT_EQ(d.context.m_hCfSlot, kInvalidSlot);
    EXPECT_EQ(d.machine.openHandles, 0);
    d.scan();  // the next pass restores them
    EXPECT_EQ(d.context.m_nSdDrive, 1);
    EXPECT_EQ(d.context.m_nCfDrive, 2);
}

TEST(ScanForReader, RuledOutDrivesAreNotOpenedAgainUntilCachesClear) {
    Discovery d;
    d.machine.drives[0] = {FakeMachine::identity(false, "1.0"), std::nullopt};
    d.machine.addReader(1, 2);
    d.machine.letters = {{'C', 0}, {'D', 1}, {'E', 2}};
    d.scan();
    const int opens = d.machine.opens;
    d.scan();
    EXPECT_EQ(d.machine.opens - opens, 2);  // the two empty slots, not the fixed disk
    d.context.clearCaches();
    d.scan();
    EXPECT_EQ(d.machine.opens - opens, 5);
}

TEST(ScanForReader, IgnoresDiskNumbersAboveFifteen) {
    Discovery d;
    d.machine.addReader(1, 2);
    d.machine.letters = {{'D', 1}, {'E', 2}, {'F', 40}};
    d.scan();
    EXPECT_FALSE(d.context.m_bLetterSeen['F' - 'A']);
}

// A reader whose CF slot also answers SD commands must not make one drive both slots.
TEST(ScanForReader, OneDriveNeverBecomesBothSlots) {
    Discovery d;
    d.machine.drives[1] = {FakeMachine::identity(true, "KV05"), SimSlot::kCf, true};
    d.machine.letters = {{'D', 1}};
    d.machine.reader.insertCf(SimCfCard{});
    d.scan();
    EXPECT_EQ(d.context.m_nCfDrive, 1);
    EXPECT_EQ(d.context.m_nSdDrive, -1);
}

}  // namespace
}  // namespace salvora::cardsec
