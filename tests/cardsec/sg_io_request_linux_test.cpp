#include "cardsec/sg_io_request_linux.h"

#include <gtest/gtest.h>

#include "cardsec/cf_commands.h"
#include "cardsec/sd_commands.h"

namespace salvora::cardsec {
namespace {

struct Built {
    sg_io_hdr_t header;
    unsigned char sense[32];
};

void expectCommon(const sg_io_hdr_t& header, const Cdb& cdb, const unsigned char* sense) {
    EXPECT_EQ(header.interface_id, 'S');
    EXPECT_EQ(header.cmd_len, 16);
    EXPECT_EQ(header.mx_sb_len, 32);
    EXPECT_EQ(header.timeout, 300000u);
    EXPECT_EQ(header.cmdp, cdb.data());
    EXPECT_EQ(header.sbp, sense);
    EXPECT_EQ(header.flags, 0u);
    EXPECT_EQ(header.iovec_count, 0);
}

TEST(SgIoRequest, DataOutCommandsSendTheirBlock) {
    const struct {
        Cdb cdb;
        DataBlock block;
    } cases[] = {
        {sdCommandBlock(kSdLockUnlock), sdLockUnlockBlock(SdOperation::kLock, "ABCDEFGHIJKLMNOP")},
        {sdCommandBlock(kSdLockUnlock), sdLockUnlockBlock(SdOperation::kForcedErase, "")},
        {ataCommandBlock(kAtaSecuritySetPassword), ataPasswordBlock("abc")},
        {ataCommandBlock(kAtaSecurityEraseUnit), ataPasswordBlock("abc")},
    };
    for (const auto& c : cases) {
        DataBlock block = c.block;
        Built built{};
        fillSgIoHeader(built.header, c.cdb, Direction::kDataOut, block.data(), built.sense);
        expectCommon(built.header, c.cdb, built.sense);
        EXPECT_EQ(built.header.dxfer_direction, SG_DXFER_TO_DEV);
        EXPECT_EQ(built.header.dxfer_len, 512u);
        EXPECT_EQ(built.header.dxferp, block.data());
    }
}

TEST(SgIoRequest, DataInCommandsReceiveOneBlock) {
    for (const Cdb& cdb : {sdCommandBlock(kSdSendStatus), ataCommandBlock(kAtaIdentifyDevice),
                           ataCommandBlock(kAtaReadStatus)}) {
        DataBlock block{};
        Built built{};
        fillSgIoHeader(built.header, cdb, Direction::kDataIn, block.data(), built.sense);
        expectCommon(built.header, cdb, built.sense);
        EXPECT_EQ(built.header.dxfer_direction, SG_DXFER_FROM_DEV);
        EXPECT_EQ(built.header.dxfer_len, 512u);
        EXPECT_EQ(built.header.dxferp, block.data());
    }
}

TEST(SgIoRequest, ErasePrepareAndTestUnitReadyCarryNoData) {
    for (const Cdb& cdb : {ataCommandBlock(kAtaSecurityErasePrepare), Cdb{}}) {
        Built built{};
        fillSgIoHeader(built.header, cdb, Direction::kNoData, nullptr, built.sense);
        expectCommon(built.header, cdb, built.sense);
        EXPECT_EQ(built.header.dxfer_direction, SG_DXFER_NONE);
        EXPECT_EQ(built.header.dxfer_len, 0u);
        EXPECT_EQ(built.header.dxferp, nullptr);
    }
}

TEST(SgIoRequest, CheckConditionWithSenseIsACompletedRequest) {
    sg_io_hdr_t header{};
    header.status = 0x02;
    header.driver_status = 0x08;  // sense data came back
    EXPECT_TRUE(sgIoCompleted(header));
    header.host_status = 0x01;  // no connection: the device is gone
    EXPECT_FALSE(sgIoCompleted(header));
    header.host_status = 0;
    header.driver_status = 0x06;  // timed out
    EXPECT_FALSE(sgIoCompleted(header));
}

}  // namespace
}  // namespace salvora::cardsec
