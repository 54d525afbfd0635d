// The one platform interface of the card commands. A transport reaches the
// reader's drives: opens and closes them by physical drive number, tells their
// identity, maps drive letters to disk numbers and carries one command block
// with an optional 512-byte data block. Implementations: SG_IO on Linux
// (transport_linux.cpp), SCSI pass-through on Windows (transport_win.cpp) and
// the simulated reader (simulated_reader.h).
#pragma once

#include <string>

#include "cardsec/types.h"
#include "media/storage_descriptor.h"

namespace salvora::cardsec {

enum class HoldResult {
    kHeld,  // this process has the reader until it lets go
    kBusy,  // another process kept it for longer than the wait allowed
};

class ReaderTransport {
  public:
    virtual ~ReaderTransport() = default;

    // Opens physical drive `drive` (0..15) for commands. Returns kInvalidSlot
    // when the drive does not exist or cannot be opened.
    virtual SlotHandle openDrive(int drive) = 0;

    // Closes a handle from openDrive; kInvalidSlot is ignored.
    virtual void closeDrive(SlotHandle handle) = 0;

    // Identity of an open drive as the storage property query reports it
    // (removable flag, vendor, product, revision). answered = false when the
    // query fails.
    virtual DeviceIdentity driveIdentity(SlotHandle handle) = 0;

    // Disk number of the volume with this drive letter ('A'..'Z'), or -1 when
    // the letter is not in use or cannot be queried.
    virtual int diskNumberOfLetter(char letter) = 0;

    // Where a drive lives, for the user ("/dev/sdb", "\\.\PhysicalDrive1").
    virtual std::string drivePath(int drive) = 0;

    // Sends one command block. `data` is the 512-byte block (sent for kDataOut,
    // filled for kDataIn) or null for kNoData. Blocks the caller for at most the
    // pass-through time-out. Never throws.
    virtual TransportResult execute(SlotHandle handle, const Cdb& cdb, Direction direction,
                                    uint8_t* data) = 0;

    // Takes the reader for this process alone: until releaseReader() no other
    // process reaches it (discovery, status reads and operations of other
    // programs wait or are told it is busy). Waits at most `waitMs` while
    // another process holds it. Holds nest within a process: every kHeld
    // needs one releaseReader(). A transport with nothing to hold grants it.
    virtual HoldResult holdReader(uint32_t waitMs) {
        (void)waitMs;
        return HoldResult::kHeld;
    }
    // Lets go of one hold taken with holdReader().
    virtual void releaseReader() {}
};

// Holds the reader for the life of the object when it can.
class ReaderHold {
  public:
    ReaderHold(ReaderTransport& transport, uint32_t waitMs)
        : transport_(transport), held_(transport.holdReader(waitMs) == HoldResult::kHeld) {}
    ~ReaderHold() {
        if (held_)
            transport_.releaseReader();
    }
    ReaderHold(const ReaderHold&) = delete;
    ReaderHold& operator=(const ReaderHold&) = delete;

    // False when another process kept the reader past the wait.
    bool held() const { return held_; }

  private:
    ReaderTransport& transport_;
    bool held_;
};

}  // namespace salvora::cardsec
