// The reader's two slots: which physical drives they are, their open handles,
// the drive labels, and the discovery pass that finds them.
#pragma once

#include <array>
#include <string>

#include "cardsec/cf_commands.h"
#include "cardsec/sd_commands.h"
#include "cardsec/sleeper.h"
#include "cardsec/transport.h"

namespace salvora::cardsec {

struct ReaderContext {
    int m_nSdDrive = -1;  // physical drive of the SD slot, -1 when unknown
    int m_nCfDrive = -1;  // physical drive of the CF slot, -1 when unknown
    SlotHandle m_hSdSlot = kInvalidSlot;
    SlotHandle m_hCfSlot = kInvalidSlot;
    std::array<std::string, kMaxDrives> m_strDiskLabel;  // "Disk (%c:)" per drive, empty when no letter
    std::array<bool, 26> m_bLetterSeen{};                // letter already mapped to a disk
    std::array<bool, kMaxDrives> m_bNotReader{};         // drive ruled out as a reader slot
    DataBlock m_IdentifyData{};                          // last IDENTIFY answer

    // Forgets the letter and ruled-out caches (after a device change).
    void clearCaches();
    // Closes both slot handles (if open) and forgets both slots.
    void releaseSlots(ReaderTransport& transport);
};

// What a discovery pass found, for the window to show.
struct DiscoveryOutcome {
    bool readerFound = false;  // some drive passed the reader test in this pass
    bool noSlotOpen = false;   // the reader was found while neither slot handle was open
    bool sdAssigned = false;   // m_nSdDrive >= 0 after the pass
    bool cfAssigned = false;
};

// Disk number of drive letter `letter` ('A'..'Z') through the transport, or
// -1 for any other character or a letter that maps to no disk.
int DiskNumberOfLetter(ReaderTransport& transport, char letter);

// True for a drive identity that is a slot of the maker's reader: removable,
// with a four-character revision "KV" + 01..20.
bool isReaderSlot(const DeviceIdentity& identity);

// One discovery pass: the letter pass (C..Z), the drive pass (0..15, skipping
// assigned and ruled-out drives: reader test, CF test by IDENTIFY data, SD test
// by SEND_STATUS state, only on drives that have a drive label; a CF card's
// ready wait lasts at most kInteractiveWaitMs) and the outcome. A pass that finds no reader drive releases
// both slots; otherwise the handles of the assigned slots are opened unless already open. A drive never
// becomes both slots. Updates the SD and CF state as the status reads do.
DiscoveryOutcome ScanForReader(ReaderContext& context, ReaderTransport& transport, SdState& sdState,
                               CfState& cfState, Sleeper& sleeper);

// The label text of a drive letter: "Disk (E:)".
std::string diskLabelText(char letter);

}  // namespace salvora::cardsec
