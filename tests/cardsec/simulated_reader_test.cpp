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
    return card.execute(sdCommandBlock(kSdLockUnlock), Direction::kDataOut, block.data());
}

SdCardStatus readSd(SimSdCard& card) {
    DataBlock answer{};
    card.execute(sdCommandBlock(kSdSendStatus), Direction::kDataIn, answer.data());
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
        card.execute(ataCommandBlock(code), ataDirection(code), data, now);
        return (status() & kAtaStatusError) == 0;
    }
    uint8_t status() {
        DataBlock answer{};
        card.execute(ataCommandBlock(kAtaReadStatus), Direction::kDataIn, answer.data(), now);
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

TEST(SimulatedReader, EmptySlotAnswersNoCard) {
    test::SimRig rig;
    const SlotHandle sd = rig.transport.openDrive(kSimSdDrive);
    const Cdb testUnitReady{};
    EXPECT_EQ(rig.transport.execute(sd, testUnitReady, Direction::kNoData, nullptr).scsiStatus,
              kScsiCheckCondition);
    rig.reader.insertSd(SimSdCard{});
    EXPECT_EQ(rig.transport.execute(sd, testUnitReady, Direction::kNoData, nullptr).scsiStatus, kScsiGood);
}

TEST(SimulatedReader, SlotsAnswerOnlyTheirOwnCommands) {
    test::SimRig rig;
    rig.reader.insertSd(SimSdCard{});
    rig.reader.insertCf(SimCfCard{});
    DataBlock answer{};
    const SlotHandle sd = rig.transport.openDrive(kSimSdDrive);
    const SlotHandle cf = rig.transport.openDrive(kSimCfDrive);
    EXPECT_EQ(
        rig.transport.execute(sd, ataCommandBlock(kAtaIdentifyDevice), Direction::kDataIn, answer.data())
            .scsiStatus,
        kScsiCheckCondition);
    EXPECT_EQ(rig.transport.execute(cf, sdCommandBlock(kSdSendStatus), Direction::kDataIn, answer.data())
                  .scsiStatus,
              kScsiCheckCondition);
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
    reader.cf = cf;
    reader.generation = 4;
    SimulatedReader back;
    std::string error;
    ASSERT_TRUE(SimulatedReader::parse(reader.serialize(), back, error)) << error;
    EXPECT_EQ(back.serialize(), reader.serialize());
    EXPECT_EQ(back.sd->password, "a b\001");
    EXPECT_EQ(back.cf->contents, "partly erased");
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
