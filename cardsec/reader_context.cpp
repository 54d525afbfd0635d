#include "cardsec/reader_context.h"

namespace salvora::cardsec {

namespace {

using LabelTable = std::array<std::string, kMaxDrives>;

void letterPass(ReaderContext& context, ReaderTransport& transport, LabelTable& labels) {
    for (char letter = 'C'; letter <= 'Z'; ++letter) {
        bool& seen = context.m_bLetterSeen[letter - 'A'];
        if (seen)
            continue;
        const int disk = DiskNumberOfLetter(transport, letter);
        if (disk < 0 || disk >= kMaxDrives)
            continue;
        labels[disk] = diskLabelText(letter);
        seen = true;
    }
}

bool cfTest(ReaderContext& context, ReaderTransport& transport, SlotHandle handle, CfState& cfState,
            Sleeper& sleeper) {
    ReadCfSecurityStatus(transport, handle, context.m_IdentifyData, cfState, sleeper, kInteractiveWaitMs);
    return !identifyDataIsBlank(context.m_IdentifyData);
}

bool sdTest(ReaderTransport& transport, SlotHandle handle, SdState& sdState) {
    sdState.clearFiveFlags();
    const SdStatusReport report = ReadSdStatus(transport, handle, sdState);
    return report.text != "nidle";
}

// Tests one drive; true when it passed the reader test.
bool examineDrive(int drive, ReaderContext& context, ReaderTransport& transport, const LabelTable& labels,
                  SdState& sdState, CfState& cfState, Sleeper& sleeper) {
    const SlotHandle handle = transport.openDrive(drive);
    if (handle == kInvalidSlot)
        return false;
    if (!isReaderSlot(transport.driveIdentity(handle))) {
        context.m_bNotReader[drive] = true;
        transport.closeDrive(handle);
        return false;
    }
    if (!labels[drive].empty())
        context.m_strDiskLabel[drive] = labels[drive];
    const bool labelled = !context.m_strDiskLabel[drive].empty();
    if (labelled && context.m_nCfDrive == -1 && cfTest(context, transport, handle, cfState, sleeper)) {
        context.m_nCfDrive = drive;
    }
    if (labelled && context.m_nSdDrive == -1 && context.m_nCfDrive != drive &&
        sdTest(transport, handle, sdState)) {
        context.m_nSdDrive = drive;
    }
    transport.closeDrive(handle);
    return true;
}

void openSlot(ReaderTransport& transport, int drive, SlotHandle& handle) {
    if (drive >= 0 && handle == kInvalidSlot)
        handle = transport.openDrive(drive);
}

}  // namespace

void ReaderContext::clearCaches() {
    m_bLetterSeen.fill(false);
    m_bNotReader.fill(false);
}

void ReaderContext::releaseSlots(ReaderTransport& transport) {
    transport.closeDrive(m_hSdSlot);
    transport.closeDrive(m_hCfSlot);
    m_hSdSlot = m_hCfSlot = kInvalidSlot;
    m_nSdDrive = m_nCfDrive = -1;
}

int DiskNumberOfLetter(ReaderTransport& transport, char letter) {
    if (letter < 'A' || letter > 'Z')
        return -1;
    return transport.diskNumberOfLetter(letter);
}

bool isReaderSlot(const DeviceIdentity& identity) {
    return identity.answered && identity.removable != 0 && identity.hasRevision &&
           isMakerReaderRevision(identity.revision);
}

DiscoveryOutcome ScanForReader(ReaderContext& context, ReaderTransport& transport, SdState& sdState,
                               CfState& cfState, Sleeper& sleeper) {
    LabelTable labels;
    letterPass(context, transport, labels);
    DiscoveryOutcome outcome;
    for (int drive = 0; drive < kMaxDrives; ++drive) {
        if (drive == context.m_nSdDrive || drive == context.m_nCfDrive || context.m_bNotReader[drive])
            continue;
        if (examineDrive(drive, context, transport, labels, sdState, cfState, sleeper))
            outcome.readerFound = true;
    }
    if (!outcome.readerFound) {
        context.releaseSlots(transport);
        return outcome;
    }
    outcome.noSlotOpen = context.m_hSdSlot == kInvalidSlot && context.m_hCfSlot == kInvalidSlot;
    openSlot(transport, context.m_nSdDrive, context.m_hSdSlot);
    openSlot(transport, context.m_nCfDrive, context.m_hCfSlot);
    outcome.sdAssigned = context.m_nSdDrive >= 0;
    outcome.cfAssigned = context.m_nCfDrive >= 0;
    return outcome;
}

std::string diskLabelText(char letter) {
    return std::string("Disk (") + letter + ":)";
}

}  // namespace salvora::cardsec
