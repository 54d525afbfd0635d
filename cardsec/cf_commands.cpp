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

std::string ataString(const DataBlock& identify, size_t firstWord, size_t words) {
    const Bytes bytes(identify.data(), identify.size());
    std::string text;
    for (size_t i = 0; i < 2 * words; ++i)
        text += static_cast<char>(bytes.u8(2 * firstWord + (i ^ 1)));
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0'))
        text.pop_back();
    return text;
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

uint32_t eraseWaitLimitMs(uint8_t word89Low) {
    constexpr uint64_t kUnitMs = 2 * 60 * 1000;
    constexpr uint64_t kMarginMs = 2 * 60 * 1000;
    constexpr uint64_t kDayMs = 24 * 60 * 60 * 1000;
    if (word89Low == 255)
        return static_cast<uint32_t>(kDayMs);
    const uint64_t units = word89Low == 0 ? 254 : word89Low;
    return static_cast<uint32_t>(units * kUnitMs * 3 / 2 + kMarginMs);
}

AtaWait WaitAtaReady(ReaderTransport& transport, SlotHandle handle, Sleeper& sleeper, uint32_t limitMs) {
    uint8_t status = 0;
    if (!readAtaStatus(transport, handle, status))
        return AtaWait::kNoAnswer;
    uint64_t slept = 0;
    while (status & kAtaStatusBusy) {
        if (slept + kAtaBusyPollMs > limitMs)
            return AtaWait::kTimedOut;
        sleeper.sleepMs(kAtaBusyPollMs);
        slept += kAtaBusyPollMs;
        if (!readAtaStatus(transport, handle, status))
            return AtaWait::kNoAnswer;
    }
    return (status & (kAtaStatusError | kAtaStatusDeviceFault)) == 0 ? AtaWait::kReady : AtaWait::kError;
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

uint16_t identifySecurityWord(const DataBlock& identify) {
    return Bytes(identify.data(), identify.size()).le16(2 * 128);
}

uint8_t identifyEraseTimeByte(const DataBlock& identify) {
    return Bytes(identify.data(), identify.size()).u8(2 * 89);
}

CfSecurityReport decodeIdentify(const DataBlock& identify) {
    CfSecurityReport report = decodeSecurityWord(identifySecurityWord(identify));
    report.eraseTimeByte = identifyEraseTimeByte(identify);
    return report;
}

CfCardIdentity cfCardIdentity(const DataBlock& identify) {
    CfCardIdentity identity;
    identity.serial = ataString(identify, 10, 10);
    identity.model = ataString(identify, 27, 20);
    return identity;
}

CfSecurityReport ReadCfSecurityStatus(ReaderTransport& transport, SlotHandle handle, DataBlock& identifyData,
                                      CfState& state, Sleeper& sleeper, uint32_t limitMs) {
    CfSecurityReport report;
    if (handle == kInvalidSlot) {
        report.text = text::kNoCfSlot;
        return report;
    }
    identifyData.fill(0);
    const PassThroughResult sent = SendAtaCommand(transport, handle, kAtaIdentifyDevice, identifyData.data());
    const AtaWait wait = WaitAtaReady(transport, handle, sleeper, limitMs);
    report.mediumChanged = sent.mediumChanged;
    if (wait == AtaWait::kTimedOut) {
        report.timedOut = true;
        report.text = text::kCardDidNotAnswer;
    }
    if (wait != AtaWait::kReady || !sent.answered())
        return report;
    const bool changed = report.mediumChanged;
    report = decodeIdentify(identifyData);
    report.mediumChanged = changed;
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
