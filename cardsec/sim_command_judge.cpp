#include "cardsec/sim_command_judge.h"

#include <cstdio>

namespace salvora::cardsec {

namespace {

enum class DataRule { kNone, kSdLockUnlock, kAtaPassword };

struct TableRow {
    SimCommand command;
    uint8_t block[16];
    Direction direction;
    size_t transferLength;
    DataRule rule;
};

// Every block the reader takes: TEST UNIT READY; the SD vendor block 0xF5
// with the SD command in byte 1 and 1 in byte 11; the ATA vendor block 0xF9
// with 0x80 (data in or none) or 0x81 (data out) in byte 1, the device
// register 0xE0 in byte 7, the ATA command in byte 8 and the block count in
// byte 11 (0 for SECURITY ERASE PREPARE).
const TableRow kTable[] = {
    {SimCommand::kTestUnitReady,
     {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
     Direction::kNoData,
     0,
     DataRule::kNone},
    {SimCommand::kSdSendStatus,
     {0xF5, 0x13, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00},
     Direction::kDataIn,
     512,
     DataRule::kNone},
    {SimCommand::kSdLockUnlock,
     {0xF5, 0x42, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00},
     Direction::kDataOut,
     512,
     DataRule::kSdLockUnlock},
    {SimCommand::kAtaIdentifyDevice,
     {0xF9, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0xE0, 0xEC, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00},
     Direction::kDataIn,
     512,
     DataRule::kNone},
    {SimCommand::kAtaReadStatus,
     {0xF9, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0xE0, 0xAA, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00},
     Direction::kDataIn,
     512,
     DataRule::kNone},
    {SimCommand::kAtaSetPassword,
     {0xF9, 0x81, 0x00, 0x00, 0x00, 0x00, 0x00, 0xE0, 0xF1, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00},
     Direction::kDataOut,
     512,
     DataRule::kAtaPassword},
    {SimCommand::kAtaUnlock,
     {0xF9, 0x81, 0x00, 0x00, 0x00, 0x00, 0x00, 0xE0, 0xF2, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00},
     Direction::kDataOut,
     512,
     DataRule::kAtaPassword},
    {SimCommand::kAtaErasePrepare,
     {0xF9, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0xE0, 0xF3, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
     Direction::kNoData,
     0,
     DataRule::kNone},
    {SimCommand::kAtaEraseUnit,
     {0xF9, 0x81, 0x00, 0x00, 0x00, 0x00, 0x00, 0xE0, 0xF4, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00},
     Direction::kDataOut,
     512,
     DataRule::kAtaPassword},
    {SimCommand::kAtaDisablePassword,
     {0xF9, 0x81, 0x00, 0x00, 0x00, 0x00, 0x00, 0xE0, 0xF6, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00},
     Direction::kDataOut,
     512,
     DataRule::kAtaPassword},
};

bool zeroFrom(const uint8_t* data, size_t from) {
    for (size_t i = from; i < 512; ++i) {
        if (data[i] != 0)
            return false;
    }
    return true;
}

// The SD lock/unlock block: byte 0 holds the operation flags (0x05 set
// password and lock, 0x00 unlock, 0x02 clear password, 0x08 forced erase),
// byte 1 the password length, the password from byte 2, zero behind it. The
// forced erase carries no password.
std::string sdLockUnlockFault(const uint8_t* data) {
    const uint8_t flags = data[0];
    const size_t length = data[1];
    if (flags != 0x05 && flags != 0x00 && flags != 0x02 && flags != 0x08)
        return "lock/unlock flags byte is not one of 05, 00, 02, 08";
    if (flags == 0x08 && length != 0)
        return "forced erase carries a password length";
    if (flags != 0x08 && length == 0)
        return "lock/unlock block without a password";
    if (!zeroFrom(data, 2 + length))
        return "bytes behind the password are not zero";
    return "";
}

// The ATA password block: byte 0 = 0 (user password, normal erase), byte 1 =
// 0 (security level High), the password in bytes 2..33, zero from byte 34.
std::string ataPasswordFault(const uint8_t* data) {
    if (data[0] != 0x00)
        return "password block byte 0 is not 00 (user password, normal erase)";
    if (data[1] != 0x00)
        return "password block byte 1 is not 00 (level High)";
    if (!zeroFrom(data, 34))
        return "password block is not zero from byte 34";
    return "";
}

std::string dataFault(DataRule rule, const uint8_t* data) {
    switch (rule) {
        case DataRule::kSdLockUnlock:
            return sdLockUnlockFault(data);
        case DataRule::kAtaPassword:
            return ataPasswordFault(data);
        case DataRule::kNone:
            break;
    }
    return "";
}

bool sameBlock(const Cdb& cdb, const uint8_t (&block)[16]) {
    for (size_t i = 0; i < 16; ++i) {
        if (cdb[i] != block[i])
            return false;
    }
    return true;
}

}  // namespace

SimVerdict judgeCommand(const Cdb& cdb, Direction direction, const uint8_t* data) {
    SimVerdict verdict;
    const size_t transferLength = data ? 512 : 0;
    for (const TableRow& row : kTable) {
        if (!sameBlock(cdb, row.block))
            continue;
        verdict.command = row.command;
        if (direction != row.direction) {
            verdict.reason = "wrong direction for this block";
        } else if (transferLength != row.transferLength) {
            verdict.reason = "wrong transfer length for this block";
        } else if (direction == Direction::kDataOut) {
            verdict.reason = dataFault(row.rule, data);
        }
        verdict.accepted = verdict.reason.empty();
        return verdict;
    }
    verdict.reason = "command block not in the reader's table";
    return verdict;
}

bool isSdCommand(SimCommand command) {
    return command == SimCommand::kTestUnitReady || command == SimCommand::kSdSendStatus ||
           command == SimCommand::kSdLockUnlock;
}

bool isCfCommand(SimCommand command) {
    return command == SimCommand::kTestUnitReady || !isSdCommand(command);
}

bool isSecurityCommand(SimCommand command) {
    switch (command) {
        case SimCommand::kSdLockUnlock:
        case SimCommand::kAtaSetPassword:
        case SimCommand::kAtaUnlock:
        case SimCommand::kAtaErasePrepare:
        case SimCommand::kAtaEraseUnit:
        case SimCommand::kAtaDisablePassword:
            return true;
        default:
            return false;
    }
}

std::string describeCommand(const Cdb& cdb, Direction direction, const uint8_t* data) {
    std::string text;
    char hex[4];
    for (uint8_t byte : cdb) {
        std::snprintf(hex, sizeof hex, "%02X", byte);
        text += text.empty() ? "" : " ";
        text += hex;
    }
    const char* names[] = {"out", "in", "none"};
    const auto index = static_cast<size_t>(direction);
    text += std::string(" dir=") + (index < 3 ? names[index] : "?");
    text += " len=" + std::to_string(data ? 512 : 0);
    return text;
}

}  // namespace salvora::cardsec
