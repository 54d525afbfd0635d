#include "cardsec/sim_command_judge.h"

#include <gtest/gtest.h>

#include "cardsec/cf_commands.h"
#include "cardsec/sd_commands.h"

namespace salvora::cardsec {
namespace {

struct Block {
    Cdb cdb;
    Direction direction;
    bool data;
    SimCommand command;
};

// Every block of the reader's command set, from the protocol description.
const Block kValid[] = {
    {{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, Direction::kNoData, false, SimCommand::kTestUnitReady},
    {{0xF5, 0x13, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0},
     Direction::kDataIn,
     true,
     SimCommand::kSdSendStatus},
    {{0xF5, 0x42, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0},
     Direction::kDataOut,
     true,
     SimCommand::kSdLockUnlock},
    {{0xF9, 0x80, 0, 0, 0, 0, 0, 0xE0, 0xEC, 0, 0, 1, 0, 0, 0, 0},
     Direction::kDataIn,
     true,
     SimCommand::kAtaIdentifyDevice},
    {{0xF9, 0x80, 0, 0, 0, 0, 0, 0xE0, 0xAA, 0, 0, 1, 0, 0, 0, 0},
     Direction::kDataIn,
     true,
     SimCommand::kAtaReadStatus},
    {{0xF9, 0x81, 0, 0, 0, 0, 0, 0xE0, 0xF1, 0, 0, 1, 0, 0, 0, 0},
     Direction::kDataOut,
     true,
     SimCommand::kAtaSetPassword},
    {{0xF9, 0x81, 0, 0, 0, 0, 0, 0xE0, 0xF2, 0, 0, 1, 0, 0, 0, 0},
     Direction::kDataOut,
     true,
     SimCommand::kAtaUnlock},
    {{0xF9, 0x80, 0, 0, 0, 0, 0, 0xE0, 0xF3, 0, 0, 0, 0, 0, 0, 0},
     Direction::kNoData,
     false,
     SimCommand::kAtaErasePrepare},
    {{0xF9, 0x81, 0, 0, 0, 0, 0, 0xE0, 0xF4, 0, 0, 1, 0, 0, 0, 0},
     Direction::kDataOut,
     true,
     SimCommand::kAtaEraseUnit},
    {{0xF9, 0x81, 0, 0, 0, 0, 0, 0xE0, 0xF6, 0, 0, 1, 0, 0, 0, 0},
     Direction::kDataOut,
     true,
     SimCommand::kAtaDisablePassword},
};

// A data block that every data-out rule takes: an unlock with "pw".
DataBlock validData(SimCommand command) {
    DataBlock data{};
    if (command == SimCommand::kSdLockUnlock)
        data[1] = 2;
    data[2] = 'p';
    data[3] = 'w';
    return data;
}

SimVerdict judge(const Block& block, Direction direction, bool withData, DataBlock data) {
    return judgeCommand(block.cdb, direction, withData ? data.data() : nullptr);
}

TEST(SimCommandJudge, TakesEveryBlockOfTheCommandSet) {
    for (const Block& block : kValid) {
        const SimVerdict verdict = judge(block, block.direction, block.data, validData(block.command));
        EXPECT_TRUE(verdict.accepted)
            << describeCommand(block.cdb, block.direction, nullptr) << verdict.reason;
        EXPECT_EQ(verdict.command, block.command);
    }
}

TEST(SimCommandJudge, RefusesAnyBlockWithOneByteChanged) {
    for (const Block& block : kValid) {
        for (size_t at = 0; at < 16; ++at) {
            for (uint8_t flip : {0x01, 0x10, 0x80}) {
                Block changed = block;
                changed.cdb[at] ^= flip;
                EXPECT_FALSE(judge(changed, block.direction, block.data, validData(block.command)).accepted)
                    << describeCommand(changed.cdb, block.direction, nullptr);
            }
        }
    }
}

TEST(SimCommandJudge, RefusesTheWrongDirectionOrTransferLength) {
    for (const Block& block : kValid) {
        const DataBlock data = validData(block.command);
        for (Direction other : {Direction::kDataOut, Direction::kDataIn, Direction::kNoData}) {
            if (other == block.direction)
                continue;
            EXPECT_FALSE(judge(block, other, block.data, data).accepted)
                << describeCommand(block.cdb, other, nullptr);
        }
        EXPECT_FALSE(judge(block, block.direction, !block.data, data).accepted)
            << describeCommand(block.cdb, block.direction, nullptr) << " with the other transfer length";
    }
}

TEST(SimCommandJudge, SdLockUnlockBlockLayout) {
    const Block& cmd42 = kValid[2];
    DataBlock lock{};
    lock[0] = 0x05;
    lock[1] = 3;
    lock[2] = 'a', lock[3] = 'b', lock[4] = 'c';
    EXPECT_TRUE(judge(cmd42, Direction::kDataOut, true, lock).accepted);
    DataBlock trailing = lock;
    trailing[5] = 'd';  // a byte behind the password's length
    EXPECT_FALSE(judge(cmd42, Direction::kDataOut, true, trailing).accepted);
    DataBlock unknownFlags = lock;
    unknownFlags[0] = 0x04;  // LOCK_UNLOCK alone is not one of the four operations
    EXPECT_FALSE(judge(cmd42, Direction::kDataOut, true, unknownFlags).accepted);
    DataBlock erase{};
    erase[0] = 0x08;
    EXPECT_TRUE(judge(cmd42, Direction::kDataOut, true, erase).accepted);
    erase[1] = 1;
    erase[2] = 'x';
    EXPECT_FALSE(judge(cmd42, Direction::kDataOut, true, erase).accepted);
    DataBlock empty{};
    EXPECT_FALSE(judge(cmd42, Direction::kDataOut, true, empty).accepted);  // unlock without a password
}

TEST(SimCommandJudge, AtaPasswordBlockLayout) {
    const Block& unlock = kValid[6];
    DataBlock block{};
    for (size_t i = 2; i < 34; ++i)
        block[i] = 'z';  // a full 32-byte password
    EXPECT_TRUE(judge(unlock, Direction::kDataOut, true, block).accepted);
    DataBlock master = block;
    master[0] = 0x01;  // identifier: master password
    EXPECT_FALSE(judge(unlock, Direction::kDataOut, true, master).accepted);
    DataBlock maximum = block;
    maximum[1] = 0x01;  // security level Maximum
    EXPECT_FALSE(judge(unlock, Direction::kDataOut, true, maximum).accepted);
    DataBlock tail = block;
    tail[34] = 'z';
    EXPECT_FALSE(judge(unlock, Direction::kDataOut, true, tail).accepted);
}

TEST(SimCommandJudge, SlotsAndSecurityCommands) {
    EXPECT_TRUE(isSdCommand(SimCommand::kTestUnitReady) && isCfCommand(SimCommand::kTestUnitReady));
    EXPECT_TRUE(isSdCommand(SimCommand::kSdLockUnlock) && !isCfCommand(SimCommand::kSdLockUnlock));
    EXPECT_TRUE(isCfCommand(SimCommand::kAtaIdentifyDevice) && !isSdCommand(SimCommand::kAtaIdentifyDevice));
    for (SimCommand security :
         {SimCommand::kSdLockUnlock, SimCommand::kAtaSetPassword, SimCommand::kAtaUnlock,
          SimCommand::kAtaErasePrepare, SimCommand::kAtaEraseUnit, SimCommand::kAtaDisablePassword}) {
        EXPECT_TRUE(isSecurityCommand(security));
    }
    for (SimCommand other : {SimCommand::kTestUnitReady, SimCommand::kSdSendStatus,
                             SimCommand::kAtaIdentifyDevice, SimCommand::kAtaReadStatus}) {
        EXPECT_FALSE(isSecurityCommand(other));
    }
}

// The program's command builders meet the reader's table, which was written
// apart from them.
TEST(SimCommandJudge, TakesWhatTheProgramBuilds) {
    for (uint8_t code : {kAtaIdentifyDevice, kAtaReadStatus, kAtaSecuritySetPassword, kAtaSecurityUnlock,
                         kAtaSecurityErasePrepare, kAtaSecurityEraseUnit, kAtaSecurityDisablePassword}) {
        DataBlock block = ataPasswordBlock("secret");
        uint8_t* data = ataDirection(code) == Direction::kNoData ? nullptr : block.data();
        const SimVerdict verdict = judgeCommand(ataCommandBlock(code), ataDirection(code), data);
        EXPECT_TRUE(verdict.accepted) << int(code) << " " << verdict.reason;
    }
    DataBlock status{};
    EXPECT_TRUE(judgeCommand(sdCommandBlock(kSdSendStatus), Direction::kDataIn, status.data()).accepted);
    for (SdOperation operation : {SdOperation::kLock, SdOperation::kUnlock, SdOperation::kRemovePassword,
                                  SdOperation::kForcedErase}) {
        DataBlock block = sdLockUnlockBlock(operation, "secret");
        EXPECT_TRUE(judgeCommand(sdCommandBlock(kSdLockUnlock), Direction::kDataOut, block.data()).accepted);
    }
}

TEST(SimCommandJudge, DescribesABlockForTheRecord) {
    const Cdb cdb{0xF9, 0x81, 0, 0, 0, 0, 0, 0xE0, 0xF2, 0, 0, 1, 0, 0, 0, 0};
    EXPECT_EQ(describeCommand(cdb, Direction::kDataIn, nullptr),
              "F9 81 00 00 00 00 00 E0 F2 00 00 01 00 00 00 00 dir=in len=0");
}

}  // namespace
}  // namespace salvora::cardsec
