#include "cardsec/simulated_reader.h"

#include <gtest/gtest.h>

#include "cardsec/cf_commands.h"
#include "cardsec/sd_commands.h"
#include "support/card_fakes.h"
#include "support/test_files.h"

namespace salvora::cardsec {
namespace {

TransportResult sendSd(SimSdCard& card, SdOperation operation, const std::string& password) {
    DataBlock block = sdLockUnlockBlock(operation, password);
    return card.execute(SimCommand::kSdLockUnlock, block.data());
}

SdCardStatus readSd(SimSdCard& card) {
    DataBlock answer{};
    card.execute(SimCommand::kSdSendStatus, answer.data());
    return decodeSdStatus(answer);
}

TEST(SimSdCard, SetPasswordAndLockThenUnlockAndClear) {
    SimSdCard card;
    sendSd(card, SdOperation::kLock, "pw");
    SdCardStatus status = readSd(card);
    EXPECT_TRUE(status.cardIsLocked);
    EXPECT_EQ(status.currentState, 4);
    sendSd(card, SdOperation::kUnlock, "pw");
    EXPECT_FALSE(readSd(card).cardIsLocked);
    sendSd(card, SdOperation::kRemovePassword, "pw");
    EXPECT_TRUE(card.password.empty());
    card.powerUp();
    EXPECT_FALSE(readSd(card).cardIsLocked);
}

TEST(SimSdCard, WrongPasswordSetsTheFailureBitOnce) {
    SimSdCard card;
    card.password = "pw";
    card.powerUp();
    sendSd(card, SdOperation::kUnlock, "px");
    const SdCardStatus status = readSd(card);
    EXPECT_TRUE(status.cardIsLocked && status.lockUnlockFailed);
    EXPECT_FALSE(readSd(card).lockUnlockFailed);
}

TEST(SimSdCard, ForcedEraseOnlyForALockedCard) {
    SimSdCard card;
    sendSd(card, SdOperation::kForcedErase, "");
    EXPECT_TRUE(readSd(card).lockUnlockFailed);
    EXPECT_EQ(card.contents, "data");
    card.password = "pw";
    card.powerUp();
    sendSd(card, SdOperation::kForcedErase, "");
    EXPECT_FALSE(readSd(card).cardIsLocked);
    EXPECT_TRUE(card.password.empty());
    EXPECT_EQ(card.contents, "erased");
}

TEST(SimSdCard, LockingACardWithAPasswordNeedsTheOldOne) {
    SimSdCard card;
    card.password = "old";  // unlocked during this insertion
    sendSd(card, SdOperation::kLock, "new");
    EXPECT_TRUE(readSd(card).lockUnlockFailed);
    EXPECT_EQ(card.password, "old");
    sendSd(card, SdOperation::kLock, std::string(17, 'x'));
    EXPECT_TRUE(readSd(card).lockUnlockFailed);
}

struct CfCardRig {
    SimCfCard card;
    int64_t now = 0;

    bool run(uint8_t code, const std::string& password = "") {
        DataBlock block = ataPasswordBlock(password);
        uint8_t* data = ataDirection(code) == Direction::kNoData ? nullptr : block.data();
        card.execute(judgeCommand(ataCommandBlock(code), ataDirection(code), data).command, data, now);
        return (status() & kAtaStatusError) == 0;
    }
    uint8_t status() {
        DataBlock answer{};
        card.execute(SimCommand::kAtaReadStatus, answer.data(), now);
        return answer[7];
    }
};

TEST(SimCfCard, SecurityStatesOfTheAtaStandard) {
    CfCardRig rig;
    EXPECT_EQ(rig.card.securityWord(), 0x0001);
    EXPECT_TRUE(rig.run(kAtaSecuritySetPassword, "pw"));
    EXPECT_EQ(rig.card.securityWord(), 0x0003);  // enabled, unlocked until power-down
    rig.card.powerUp();
    EXPECT_EQ(rig.card.securityWord(), 0x0007);
    EXPECT_FALSE(rig.run(kAtaSecurityDisablePassword, "pw"));  // locked
    EXPECT_TRUE(rig.run(kAtaSecurityUnlock, "pw"));
    EXPECT_TRUE(rig.run(kAtaSecurityDisablePassword, "pw"));
    EXPECT_EQ(rig.card.securityWord(), 0x0001);
}

TEST(SimCfCard, AttemptCounterExpiresAfterFiveWrongPasswordsUntilPowerCycle) {
    CfCardRig rig;
    rig.card.setUserPassword("pw");
    rig.card.powerUp();
    for (int i = 0; i < 5; ++i)
        EXPECT_FALSE(rig.run(kAtaSecurityUnlock, "no"));
    EXPECT_EQ(rig.card.securityWord() & 0x0010, 0x0010);
    EXPECT_FALSE(rig.run(kAtaSecurityUnlock, "pw"));  // even the right one
    rig.card.powerUp();
    EXPECT_EQ(rig.card.securityWord() & 0x0010, 0);
    EXPECT_TRUE(rig.run(kAtaSecurityUnlock, "pw"));
}

TEST(SimCfCard, FrozenRefusesSecurityCommands) {
    CfCardRig rig;
    rig.card.frozenAtPowerUp = true;
    rig.card.powerUp();
    EXPECT_EQ(rig.card.securityWord(), 0x0009);
    EXPECT_FALSE(rig.run(kAtaSecuritySetPassword, "pw"));
    EXPECT_FALSE(rig.run(kAtaSecurityErasePrepare));
}

TEST(SimCfCard, EraseUnitNeedsPrepareImmediatelyBefore) {
    CfCardRig rig;
    rig.card.setUserPassword("pw");
    EXPECT_FALSE(rig.run(kAtaSecurityEraseUnit, "pw"));
    EXPECT_TRUE(rig.run(kAtaSecurityErasePrepare));
    EXPECT_TRUE(rig.run(kAtaIdentifyDevice));
    EXPECT_FALSE(rig.run(kAtaSecurityEraseUnit, "pw"));
}

TEST(SimCfCard, EraseKeepsTheCardBusyForItsTime) {
    CfCardRig rig;
    rig.card.setUserPassword("pw");
    rig.card.eraseMs = 3000;
    rig.run(kAtaSecurityErasePrepare);
    rig.run(kAtaSecurityEraseUnit, "pw");
    EXPECT_EQ(rig.status(), kAtaStatusBusy);
    rig.now += 2999;
    EXPECT_EQ(rig.status(), kAtaStatusBusy);
    rig.now += 1;
    EXPECT_EQ(rig.status(), 0x50);
    EXPECT_EQ(rig.card.securityWord(), 0x0001);
    EXPECT_EQ(rig.card.contents, "erased");
}

TEST(SimCfCard, IdentifyCarriesWords89And128) {
    SimCfCard card;
    card.eraseUnits = 255;
    card.setUserPassword("pw");
    card.levelMax = true;
    DataBlock answer{};
    card.identify(answer.data());
    EXPECT_EQ(answer[178], 255);
    EXPECT_EQ(answer[256], 0x03);
    EXPECT_EQ(answer[257], 0x01);
    EXPECT_EQ(answer[0], 0x8A);
    EXPECT_EQ(answer[1], 0x84);
}

TEST(SimulatedReader, EmptySlotAnswersNoCardAndANewCardAUnitAttentionOnce) {
    test::SimRig rig;
    const SlotHandle sd = rig.transport.openDrive(kSimSdDrive);
    const Cdb testUnitReady{};
    TransportResult answer = rig.transport.execute(sd, testUnitReady, Direction::kNoData, nullptr);
    EXPECT_EQ(answer.scsiStatus, kScsiCheckCondition);
    EXPECT_EQ(answer.senseKey, 0x02);  // NOT READY
    EXPECT_EQ(answer.asc, 0x3A);       // medium not present
    rig.reader.insertSd(SimSdCard{});
    answer = rig.transport.execute(sd, testUnitReady, Direction::kNoData, nullptr);
    EXPECT_EQ(answer.scsiStatus, kScsiCheckCondition);
    EXPECT_EQ(answer.senseKey, 0x06);  // UNIT ATTENTION
    EXPECT_EQ(answer.asc, 0x28);       // medium may have changed
    EXPECT_EQ(rig.transport.execute(sd, testUnitReady, Direction::kNoData, nullptr).scsiStatus, kScsiGood);
    rig.reader.powerCycle(SimSlot::kSd);
    EXPECT_EQ(rig.transport.execute(sd, testUnitReady, Direction::kNoData, nullptr).senseKey, 0x06);
    EXPECT_EQ(rig.reader.refused, 0);
}

TEST(SimulatedReader, RefusesAndRecordsBlocksNotInItsTable) {
    test::SimRig rig;
    rig.reader.insertCf(SimCfCard{});
    const SlotHandle cf = rig.transport.openDrive(kSimCfDrive);
    Cdb wrong{0xF9, 0x81, 0, 0, 0, 0, 0, 0xE0, 0xF2, 0, 0, 1, 0, 0, 0, 0};
    wrong[7] = 0xA0;  // device register of the CHS days
    DataBlock block{};
    const TransportResult answer = rig.transport.execute(cf, wrong, Direction::kDataOut, block.data());
    EXPECT_EQ(answer.scsiStatus, kScsiCheckCondition);
    EXPECT_EQ(answer.senseKey, 0x05);  // ILLEGAL REQUEST
    EXPECT_EQ(rig.reader.refused, 1);
    EXPECT_EQ(
        rig.reader.lastRefused,
        "F9 81 00 00 00 00 00 A0 F2 00 00 01 00 00 00 00 dir=out len=512: command block not in the reader's "
        "table");
    EXPECT_EQ(rig.reader.cf->securityCommands, 0);
}

TEST(SimulatedReader, RefuseFaultStopsOnlyTheNextSecurityCommand) {
    test::SimRig rig;
    SimSdCard card;
    card.password = "pw";
    rig.reader.insertSd(card);
    rig.reader.sdSlot.mediumChanged = false;
    ASSERT_TRUE(rig.reader.setFault(SimSlot::kSd, SimFault::kRefuse));
    const SlotHandle sd = rig.transport.openDrive(kSimSdDrive);
    DataBlock status{};
    EXPECT_EQ(rig.transport.execute(sd, sdCommandBlock(kSdSendStatus), Direction::kDataIn, status.data())
                  .scsiStatus,
              kScsiGood);  // a status read is no security command
    DataBlock unlock = sdLockUnlockBlock(SdOperation::kUnlock, "pw");
    const TransportResult refused =
        rig.transport.execute(sd, sdCommandBlock(kSdLockUnlock), Direction::kDataOut, unlock.data());
    EXPECT_EQ(refused.scsiStatus, kScsiCheckCondition);
    EXPECT_EQ(rig.reader.sd->lockUnlockCommands, 0);
    EXPECT_TRUE(rig.reader.sd->locked);
    EXPECT_EQ(rig.transport.execute(sd, sdCommandBlock(kSdLockUnlock), Direction::kDataOut, unlock.data())
                  .scsiStatus,
              kScsiGood);
    EXPECT_FALSE(rig.reader.sd->locked);
    EXPECT_EQ(rig.reader.refused, 0);
}

TEST(SimulatedReader, StuckBusyCardShowsBusyUntilCleared) {
    test::SimRig rig;
    rig.reader.insertCf(SimCfCard{});
    rig.reader.cfSlot.mediumChanged = false;
    EXPECT_FALSE(rig.reader.setFault(SimSlot::kSd, SimFault::kStuckBusy));
    ASSERT_TRUE(rig.reader.setFault(SimSlot::kCf, SimFault::kStuckBusy));
    const SlotHandle cf = rig.transport.openDrive(kSimCfDrive);
    DataBlock answer{};
    rig.transport.execute(cf, ataCommandBlock(kAtaReadStatus), Direction::kDataIn, answer.data());
    EXPECT_EQ(answer[7], 0x80);
    DataBlock block = ataPasswordBlock("pw");
    EXPECT_EQ(
        rig.transport.execute(cf, ataCommandBlock(kAtaSecuritySetPassword), Direction::kDataOut, block.data())
            .scsiStatus,
        kScsiGood);
    EXPECT_FALSE(rig.reader.cf->enabled);  // taken, never carried out
    rig.reader.setFault(SimSlot::kCf, SimFault::kClear);
    rig.transport.execute(cf, ataCommandBlock(kAtaReadStatus), Direction::kDataIn, answer.data());
    EXPECT_EQ(answer[7], 0x50);
}

TEST(SimulatedReader, EveryInsertedCfCardHasItsOwnSerial) {
    SimulatedReader reader;
    reader.insertCf(SimCfCard{});
    const std::string first = reader.cf->serial;
    reader.powerCycle(SimSlot::kCf);
    EXPECT_EQ(reader.cf->serial, first);
    reader.insertCf(SimCfCard{});
    EXPECT_NE(reader.cf->serial, first);
    EXPECT_FALSE(first.empty());
}

TEST(SimulatedReader, SlotsAnswerOnlyTheirOwnCommands) {
    test::SimRig rig;
    rig.reader.insertSd(SimSdCard{});
    rig.reader.insertCf(SimCfCard{});
    rig.reader.sdSlot.mediumChanged = rig.reader.cfSlot.mediumChanged = false;
    DataBlock answer{};
    const SlotHandle sd = rig.transport.openDrive(kSimSdDrive);
    const SlotHandle cf = rig.transport.openDrive(kSimCfDrive);
    const TransportResult identify =
        rig.transport.execute(sd, ataCommandBlock(kAtaIdentifyDevice), Direction::kDataIn, answer.data());
    EXPECT_EQ(identify.scsiStatus, kScsiCheckCondition);
    EXPECT_EQ(identify.senseKey, 0x05);  // ILLEGAL REQUEST
    EXPECT_EQ(rig.transport.execute(cf, sdCommandBlock(kSdSendStatus), Direction::kDataIn, answer.data())
                  .scsiStatus,
              kScsiCheckCondition);
    EXPECT_EQ(rig.reader.refused, 0);  // valid blocks for the other slot are no malformed blocks
}

TEST(SimulatedReader, UnpluggingKillsOpenHandlesForGood) {
    test::SimRig rig;
    rig.reader.insertSd(SimSdCard{});
    const SlotHandle old = rig.transport.openDrive(kSimSdDrive);
    rig.reader.unplug();
    const Cdb testUnitReady{};
    EXPECT_FALSE(rig.transport.execute(old, testUnitReady, Direction::kNoData, nullptr).delivered);
    EXPECT_EQ(rig.transport.openDrive(kSimSdDrive), kInvalidSlot);
    EXPECT_EQ(rig.transport.diskNumberOfLetter('D'), -1);
    rig.reader.plug();
    EXPECT_FALSE(rig.transport.execute(old, testUnitReady, Direction::kNoData, nullptr).delivered);
    const SlotHandle fresh = rig.transport.openDrive(kSimSdDrive);
    EXPECT_TRUE(rig.transport.execute(fresh, testUnitReady, Direction::kNoData, nullptr).delivered);
}

TEST(SimulatedReaderText, RoundTripsEveryField) {
    SimulatedReader reader;
    SimSdCard sd;
    sd.password = "a b\001";
    reader.insertSd(sd);
    SimCfCard cf;
    cf.setUserPassword("pw");
    cf.attemptsLeft = 2;
    cf.eraseUnits = 9;
    cf.eraseMs = 1234;
    cf.busyUntilMs = 99999;
    cf.frozenAtPowerUp = true;
    cf.contents = "partly erased";
    cf.serial = "SIMCF00042";
    cf.stuckBusy = true;
    cf.securityCommands = 3;
    reader.cf = cf;
    reader.generation = 4;
    reader.nextSerial = 43;
    reader.refused = 2;
    reader.lastRefused = "F9 00 dir=out len=0: why";
    reader.sdSlot.mediumChanged = true;
    reader.cfSlot.refuseNext = true;
    reader.sd->lockUnlockCommands = 5;
    SimulatedReader back;
    std::string error;
    ASSERT_TRUE(SimulatedReader::parse(reader.serialize(), back, error)) << error;
    EXPECT_EQ(back.serialize(), reader.serialize());
    EXPECT_EQ(back.sd->password, "a b\001");
    EXPECT_EQ(back.cf->contents, "partly erased");
    EXPECT_EQ(back.cf->serial, "SIMCF00042");
    EXPECT_TRUE(back.cfSlot.refuseNext);
    EXPECT_EQ(back.lastRefused, "F9 00 dir=out len=0: why");
}

TEST(SimulatedReaderText, RejectsMalformedValues) {
    SimulatedReader reader;
    std::string error;
    EXPECT_FALSE(SimulatedReader::parse("cf card\ncf.attempts-left 9\n", reader, error));
    EXPECT_FALSE(SimulatedReader::parse("sd card\nsd.password-hex 4\n", reader, error));
    EXPECT_FALSE(SimulatedReader::parse("reader\n", reader, error));
    EXPECT_TRUE(SimulatedReader::parse("# nothing\n", reader, error));
}

TEST(FileStore, KeepsOneReaderAcrossUses) {
    test::TempDir dir;
    const std::string path = (dir.path() / "reader.txt").string();
    FileStore store(path);
    ASSERT_TRUE(store.use([](SimulatedReader& reader) { reader.insertSd(SimSdCard{}); }));
    bool sawCard = false;
    FileStore other(path);
    ASSERT_TRUE(other.use([&](SimulatedReader& reader) { sawCard = reader.sd.has_value(); }));
    EXPECT_TRUE(sawCard);
}

TEST(FileStore, HoldsTheReaderForOneProcessAtATime) {
    test::TempDir dir;
    const std::string path = (dir.path() / "reader.txt").string();
    FileStore first(path);
    FileStore second(path);
    ASSERT_EQ(first.hold(0), HoldResult::kHeld);
    EXPECT_EQ(second.hold(50), HoldResult::kBusy);
    bool used = false;
    EXPECT_TRUE(second.use([&](SimulatedReader&) { used = true; }));  // a card may still be pulled
    EXPECT_TRUE(used);
    first.release();
    EXPECT_EQ(second.hold(0), HoldResult::kHeld);
    second.release();
}

TEST(FileStore, ReportsAnUnreadableState) {
    test::TempDir dir;
    const std::string path = (dir.path() / "reader.txt").string();
    test::writeFile(path, {'c', 'f', '\n'});
    FileStore store(path);
    EXPECT_FALSE(store.use([](SimulatedReader&) {}));
    EXPECT_FALSE(store.lastError().empty());
}

}  // namespace
}  // namespace salvora::cardsec
