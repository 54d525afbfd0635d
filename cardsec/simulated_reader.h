// A simulated QX7R reader: a fixed system disk and the reader's two slots
// (an SD slot and a CF slot, each empty or holding a simulated card), with
// insertion, removal, power cycle and unplugging, and a transport that reaches
// it as the system transports reach the real reader. Its state can live in a
// text file so that successive command-line runs see one reader and one card.
//
// The reader is also the test's independent judge: every block it receives
// is checked against its own command table (sim_command_judge.h); a block
// that is not in it is refused with CHECK CONDITION and counted, so a test
// that ran a workflow can assert that nothing was refused. Like a real
// reader it reports a card inserted or changed since the last command with a
// unit attention, once. Faults can be switched on for tests and demonstrations.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "cardsec/sim_cf_card.h"
#include "cardsec/sim_sd_card.h"
#include "cardsec/transport.h"

namespace salvora::cardsec {

class StateFileLock;

enum class SimSlot { kSd, kCf };

// Drive numbers and letters of the simulated machine.
constexpr int kSimSystemDrive = 0;  // fixed disk, letter C
constexpr int kSimSdDrive = 1;      // SD slot, letter D
constexpr int kSimCfDrive = 2;      // CF slot, letter E

// What the reader keeps per slot, beside the card.
struct SimSlotState {
    bool mediumChanged = false;  // a unit attention is due at the next command
    bool refuseNext = false;     // fault: the next security command is refused without reaching the card
};

enum class SimFault {
    kRefuse,     // the next security command of the slot is answered with CHECK CONDITION
    kStuckBusy,  // the CF card holds BSY until the fault is cleared
    kClear,      // both faults off
};

class SimulatedReader {
  public:
    bool plugged = true;
    int generation = 1;  // counts plug-ins; handles of an earlier one are dead
    std::optional<SimSdCard> sd;
    std::optional<SimCfCard> cf;
    SimSlotState sdSlot, cfSlot;
    int nextSerial = 1;       // the number in the serial of the next CF card inserted
    long long refused = 0;    // command blocks refused by the judge
    std::string lastRefused;  // the last refused block and why

    // Puts a card into a slot (replacing any card there) and powers it up; a
    // CF card without serial number gets the next one.
    void insertSd(SimSdCard card);
    void insertCf(SimCfCard card);
    void remove(SimSlot slot);
    // Removal and re-insertion of the same card.
    void powerCycle(SimSlot slot);
    void unplug();
    void plug();
    // Switches a fault on or off. False for a CF card fault with no CF card.
    bool setFault(SimSlot slot, SimFault fault);

    // Judges and answers one command sent to a slot drive.
    TransportResult execute(SimSlot slot, const Cdb& cdb, Direction direction, uint8_t* data, int64_t nowMs);

    // The state as text, and back. parse returns false with a reason in
    // `error` on a malformed text.
    std::string serialize() const;
    static bool parse(const std::string& text, SimulatedReader& reader, std::string& error);

  private:
    SimSlotState& slotState(SimSlot slot) { return slot == SimSlot::kSd ? sdSlot : cfSlot; }
};

// Where the transport finds the reader for each call.
class SimulationStore {
  public:
    virtual ~SimulationStore() = default;
    // Runs `action` on the current state; the state as left by the action is
    // kept. False when the state could not be read or kept.
    virtual bool use(const std::function<void(SimulatedReader&)>& action) = 0;
    // Takes the reader for this process (waiting at most `waitMs` for another
    // one to let it go) and lets go of it. Not nested.
    virtual HoldResult hold(uint32_t waitMs) = 0;
    virtual void release() = 0;
};

// The state in memory (tests). `heldElsewhere` plays another process that
// holds the reader.
class MemoryStore : public SimulationStore {
  public:
    explicit MemoryStore(SimulatedReader& reader) : reader_(reader) {}
    bool use(const std::function<void(SimulatedReader&)>& action) override;
    HoldResult hold(uint32_t waitMs) override;
    void release() override { held_ = false; }

    bool heldElsewhere = false;
    bool held() const { return held_; }

  private:
    SimulatedReader& reader_;
    bool held_ = false;
};

// The state in a text file, read and written under a lock ("<file>.lock") for
// every call, so that another process may insert or remove a card between
// two commands. A missing file is a reader with both slots empty. The reader
// is held through a second lock file ("<file>.reader") for a whole operation,
// as the real reader is opened exclusively; the card actions of `lockwright
// sim` take only the first lock, as a hand pulling a card waits for no program.
class FileStore : public SimulationStore {
  public:
    explicit FileStore(std::string path);
    ~FileStore() override;
    bool use(const std::function<void(SimulatedReader&)>& action) override;
    HoldResult hold(uint32_t waitMs) override;
    void release() override;
    const std::string& lastError() const { return error_; }

  private:
    std::string path_;
    std::string error_;
    std::unique_ptr<StateFileLock> hold_;
};

// The transport that reaches a simulated reader. Time comes from `nowMs`
// (milliseconds, any epoch); the erase's busy time is measured with it.
class SimulatedTransport : public ReaderTransport {
  public:
    SimulatedTransport(SimulationStore& store, std::function<int64_t()> nowMs);

    SlotHandle openDrive(int drive) override;
    void closeDrive(SlotHandle handle) override;
    DeviceIdentity driveIdentity(SlotHandle handle) override;
    int diskNumberOfLetter(char letter) override;
    std::string drivePath(int drive) override;
    TransportResult execute(SlotHandle handle, const Cdb& cdb, Direction direction, uint8_t* data) override;
    HoldResult holdReader(uint32_t waitMs) override;
    void releaseReader() override;

  private:
    SimulationStore& store_;
    std::function<int64_t()> nowMs_;
    std::mutex holdMutex_;  // a window's worker and its window thread may both hold
    int holdDepth_ = 0;
};

// Milliseconds since the epoch, from the system clock (shared by processes).
int64_t wallClockMs();

}  // namespace salvora::cardsec
