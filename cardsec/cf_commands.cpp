#include "cardsec/cf_commands.h"

#include <algorithm>
#include <cstdio>

#include "cardsec/messages.h"
#include "media/bytes.h"

namespace salvora::cardsec {

namespace {

constexpr size_t kAtaPasswordBytes = 32;

bool sendsData(uint8_t code) {
    return code == kAtaSecuritySetPassword || code == kAtaSecurityUnlock || code == kAtaSecurityEraseUnit ||
           code == kAtaSecurityDisablePassword;
}

// Reads the status register once; false when the read got no answer.
bool readAtaStatus(ReaderTransport& transport, SlotHandle handle, uint8_t& status) {
    DataBlock answer{};
    const PassThroughResult result = SendAtaCommand(transport, handle, kAtaReadStatus, answer.data());
    status = answer[7];
    return result.answered();
}

void appendEnabledTexts(CfSecurityReport& report) {
    report.text += text::kSecurityEnabled;
    if (report.expired)
        report.text += text::kCfAttemptsExceeded;
    if (report.levelMax)
        report.text += text::kCfLevelMax;
}

}  // namespace

Direction ataDirection(uint8_t code) {
    if (code == kAtaSecurityErasePrepare)
        return Direction::kNoData;
    return sendsData(code) ? Direction::kDataOut : Direction::kDataIn;
}

Cdb ataCommandBlock(uint8_t code) {
    Cdb cdb{};
    cdb[0] = 0xF9;
    cdb[1] = sendsData(code) ? 0x81 : 0x80;
    cdb[7] = 0xE0;
    cdb[8] = code;
    cdb[11] = code == kAtaSecurityErasePrepare ? 0 : 1;
    return cdb;
}

DataBlock ataPasswordBlock(const std::string& password) {
    DataBlock block{};
    const size_t length = std::min(password.size(), kAtaPasswordBytes);
    std::copy_n(password.begin(), length, block.begin() + 2);
    return block;
}

PassThroughResult SendAtaCommand(ReaderTransport& transport, SlotHandle handle, uint8_t code, uint8_t* data) {
    return SendPassThrough(transport, handle, data, ataCommandBlock(code), ataDirection(code));
}

bool WaitAtaReady(ReaderTransport& transport, SlotHandle handle, Sleeper& sleeper) {
    uint8_t status = 0;
    if (!readAtaStatus(transport, handle, status))
        return false;
    while (status & kAtaStatusBusy) {
        sleeper.sleepMs(kAtaBusyPollMs);
        if (!readAtaStatus(transport, handle, status))
            return false;
    }
    return (status & (kAtaStatusError | kAtaStatusDeviceFault)) == 0;
}

CfSecurityReport decodeSecurityWord(uint16_t word) {
    CfSecurityReport report;
    report.identified = true;
    report.word128 = word;
    report.supported = word & 0x0001;
    if (!report.supported) {
        report.text = text::kCfNoSecurity;
        return report;
    }
    report.enabled = word & 0x0002;
    report.locked = word & 0x0004;
    report.frozen = word & 0x0008;
    report.expired = word & 0x0010;
    report.enhancedErase = word & 0x0020;
    report.levelMax = word & 0x0100;
    if (report.frozen)
        report.text += text::kCfFrozen;
    if (report.enabled) {
        appendEnabledTexts(report);
    } else {
        report.text += text::kCfSecurityDisabled;
    }
    if (report.enhancedErase)
        report.text += text::kCfEnhancedErase;
    return report;
}

CfSecurityReport ReadCfSecurityStatus(ReaderTransport& transport, SlotHandle handle, DataBlock& identifyData,
                                      CfState& state, Sleeper& sleeper) {
    CfSecurityReport report;
    if (handle == kInvalidSlot) {
        report.text = text::kNoCfSlot;
        return report;
    }
    identifyData.fill(0);
    const PassThroughResult sent = SendAtaCommand(transport, handle, kAtaIdentifyDevice, identifyData.data());
    if (!WaitAtaReady(transport, handle, sleeper) || !sent.answered())
        return report;
    const Bytes bytes(identifyData.data(), identifyData.size());
    report = decodeSecurityWord(bytes.le16(256));
    report.eraseTimeByte = bytes.u8(178);
    if (report.supported)
        state.m_bCfSecurityEnabled = report.enabled;
    return report;
}

std::string EraseTimeText(uint8_t word89Low) {
    if (word89Low == 0)
        return std::string();
    if (word89Low == 255)
        return text::kEraseTimeOver;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, text::kEraseTimeMinutes, 2 * word89Low);
    return buffer;
}

bool identifyDataIsBlank(const DataBlock& data) {
    return std::all_of(data.begin(), data.end(), [](uint8_t b) { return b == 0x00; }) ||
           std::all_of(data.begin(), data.end(), [](uint8_t b) { return b == 0xFF; });
}

}  // namespace salvora::cardsec
