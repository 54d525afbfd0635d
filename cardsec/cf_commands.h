// CompactFlash security through the reader's CF slot: the ATA command block,
// the user-password block, the ready wait, the decoding of IDENTIFY word 128
// and the erase-time text.
#pragma once

#include <string>

#include "cardsec/pass_through.h"
#include "cardsec/sleeper.h"
#include "cardsec/types.h"

namespace salvora::cardsec {

constexpr uint8_t kAtaIdentifyDevice = 0xEC;
constexpr uint8_t kAtaReadStatus = 0xAA;  // vendor: returns the status register in byte 7
constexpr uint8_t kAtaSecuritySetPassword = 0xF1;
constexpr uint8_t kAtaSecurityUnlock = 0xF2;
constexpr uint8_t kAtaSecurityErasePrepare = 0xF3;
constexpr uint8_t kAtaSecurityEraseUnit = 0xF4;
constexpr uint8_t kAtaSecurityDisablePassword = 0xF6;

constexpr uint8_t kAtaStatusBusy = 0x80;
constexpr uint8_t kAtaStatusDeviceFault = 0x20;
constexpr uint8_t kAtaStatusError = 0x01;
constexpr uint32_t kAtaBusyPollMs = 2000;

// How long a ready wait may last: on the window thread (discovery, the poll,
// selecting a card), for every step of an operation but the erase, and for
// the erase (erasePreparedWaitMs).
constexpr uint32_t kInteractiveWaitMs = 2000;
constexpr uint32_t kCommandWaitMs = 6000;

// The longest wait for SECURITY ERASE UNIT: the time IDENTIFY word 89
// announces (2 minutes per unit) and half of it again, plus 2 minutes. A card
// that announces nothing (0) is given the longest time the word can state
// (508 minutes), one that announces more than that (255) 24 hours.
uint32_t eraseWaitLimitMs(uint8_t word89Low);

// The CF state the main window keeps.
struct CfState {
    bool m_bCfSecurityEnabled = false;  // bit 1 of the last decoded word 128
    bool m_bCfRescan = true;            // read the IDENTIFY data again on the next poll
};

// How a command code travels: its data direction and the block count byte.
Direction ataDirection(uint8_t code);

// The 16-byte vendor block for ATA command `code`.
Cdb ataCommandBlock(uint8_t code);

// The 512-byte user-password block (identifier user, normal erase, level
// High) with at most 32 password bytes in bytes 2..33.
DataBlock ataPasswordBlock(const std::string& password);

// Builds the block of `code` and sends it in its direction. `data` is the
// password block for the data-out commands, the answer block for IDENTIFY and
// read status, and null for ERASE PREPARE.
PassThroughResult SendAtaCommand(ReaderTransport& transport, SlotHandle handle, uint8_t code, uint8_t* data);

enum class AtaWait {
    kReady,     // BSY clear, neither ERR nor DF
    kError,     // BSY clear, ERR or DF set
    kNoAnswer,  // a status read was not answered (card removed, reader unplugged)
    kTimedOut,  // still busy when the limit was reached
};

// Reads the status register until BSY clears, sleeping 2 s between reads,
// for at most `limitMs` of sleeping: a read that would come after the limit
// is not made and the wait ends with kTimedOut.
AtaWait WaitAtaReady(ReaderTransport& transport, SlotHandle handle, Sleeper& sleeper, uint32_t limitMs);

// IDENTIFY word 128 decoded.
struct CfSecurityReport {
    bool identified = false;     // IDENTIFY was answered and the wait succeeded
    bool timedOut = false;       // the card stayed busy: text is "The card did not answer."
    bool mediumChanged = false;  // the slot reported a card inserted or changed since its last command
    std::string text;            // status texts joined; empty when not identified otherwise
    uint16_t word128 = 0;
    uint8_t eraseTimeByte = 0;  // low byte of word 89
    bool supported = false, enabled = false, locked = false, frozen = false, expired = false;
    bool enhancedErase = false, levelMax = false;

    // Neither frozen nor at its attempt limit: the actions may be offered.
    bool usable() const { return supported && !frozen && !expired; }
};

// Decodes the security word: the texts in their fixed order and the flags.
CfSecurityReport decodeSecurityWord(uint16_t word128);

// IDENTIFY DEVICE data read as little-endian words: word 128 (security
// status) and the low byte of word 89 (erase time).
uint16_t identifySecurityWord(const DataBlock& identify);
uint8_t identifyEraseTimeByte(const DataBlock& identify);
// decodeSecurityWord of word 128 with the erase-time byte filled in.
CfSecurityReport decodeIdentify(const DataBlock& identify);

// Which card answered: the serial number (words 10..19) and the model
// (words 27..46) of IDENTIFY DEVICE, ATA strings with two characters per
// word (the first in the high byte), trailing spaces removed.
struct CfCardIdentity {
    std::string serial;
    std::string model;

    bool operator==(const CfCardIdentity&) const = default;
};
CfCardIdentity cfCardIdentity(const DataBlock& identify);

// Zero-fills `identifyData`, sends IDENTIFY DEVICE into it, waits (at most
// `limitMs`) and decodes word 128. An invalid handle gives "Unable to open CF
// slot!!" without sending; a failed IDENTIFY or wait gives an empty text and
// identified = false, except a card that stayed busy, which gives "The card
// did not answer." (timedOut). When identified and the card supports security,
// state.m_bCfSecurityEnabled follows bit 1.
CfSecurityReport ReadCfSecurityStatus(ReaderTransport& transport, SlotHandle handle, DataBlock& identifyData,
                                      CfState& state, Sleeper& sleeper, uint32_t limitMs);

// "Erase Time:~ %d Minutes" with twice `word89Low`, "Erase Time:Over 508
// Minutes" for 255, empty for 0.
std::string EraseTimeText(uint8_t word89Low);

// True when the block is all 0x00 or all 0xFF (no IDENTIFY answer).
bool identifyDataIsBlank(const DataBlock& data);

}  // namespace salvora::cardsec
