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

// Reads the status register until BSY clears, sleeping 2 s between reads, with
// no limit while the card answers busy (an erase may take hours). True when the
// last read was answered and shows neither ERR nor DF. A read that is not
// answered (card removed, reader unplugged) ends the wait with false.
bool WaitAtaReady(ReaderTransport& transport, SlotHandle handle, Sleeper& sleeper);

// IDENTIFY word 128 decoded.
struct CfSecurityReport {
    bool identified = false;  // IDENTIFY was answered and the wait succeeded
    std::string text;         // status texts joined; empty when not identified
    uint16_t word128 = 0;
    uint8_t eraseTimeByte = 0;  // low byte of word 89
    bool supported = false, enabled = false, locked = false, frozen = false, expired = false;
    bool enhancedErase = false, levelMax = false;

    // Neither frozen nor at its attempt limit: the actions may be offered.
    bool usable() const { return supported && !frozen && !expired; }
};

// Decodes the security word: the texts in their fixed order and the flags.
CfSecurityReport decodeSecurityWord(uint16_t word128);

// Zero-fills `identifyData`, sends IDENTIFY DEVICE into it, waits and decodes
// word 128. An invalid handle gives "Unable to open CF slot!!" without sending;
// a failed IDENTIFY or wait gives an empty text and identified = false. When
// identified and the card supports security, state.m_bCfSecurityEnabled follows
// bit 1.
CfSecurityReport ReadCfSecurityStatus(ReaderTransport& transport, SlotHandle handle, DataBlock& identifyData,
                                      CfState& state, Sleeper& sleeper);

// "Erase Time:~ %d Minutes" with twice `word89Low`, "Erase Time:Over 508
// Minutes" for 255, empty for 0.
std::string EraseTimeText(uint8_t word89Low);

// True when the block is all 0x00 or all 0xFF (no IDENTIFY answer).
bool identifyDataIsBlank(const DataBlock& data);

}  // namespace salvora::cardsec
