// A simulated QX7R reader: a fixed system disk and the reader's two slots
// (an SD slot and a CF slot, each empty or holding a simulated card), with
// insertion, removal, power cycle and unplugging, and a transport that reaches
// it as the system transports reach the real reader. Its state can live in a
// text file so that successive command-line runs see one reader and one card.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "cardsec/sim_cf_card.h"
#include "cardsec/sim_sd_card.h"
#include "cardsec/transport.h"

namespace salvora::cardsec {

enum class SimSlot { kSd, kCf };

// Drive numbers and letters of the simulated machine.
constexpr int kSimSystemDrive = 0;  // fixed disk, letter C
constexpr int kSimSdDrive = 1;      // SD slot, letter D
constexpr int kSimCfDrive = 2;      // CF slot, letter E

class SimulatedReader {
  public:
    bool plugged = true;
    int generation = 1;  // counts plug-ins; handles of an earlier one are dead
    std::optional<SimSdCard> sd;
    std::optional<SimCfCard> cf;

    // Puts a card into a slot (replacing any card there) and powers it up.
    void insertSd(SimSdCard card);
    void insertCf(SimCfCard card);
    void remove(SimSlot slot);
    // Removal and re-insertion of the same card.
    void powerCycle(SimSlot slot);
    void unplug();
    void plug();

    // Answers one command sent to a slot drive.
    TransportResult execute(SimSlot slot, const Cdb& cdb, Direction direction, uint8_t* data, int64_t nowMs);

    // The state as text, and back. parse returns false with a reason in
    // `error` on a malformed text.
    std::string serialize() const;
    static bool parse(const std::string& text, SimulatedReader& reader, std::string& error);
};

// Where the transport finds the reader for each call.
class SimulationStore {
  public:
    virtual ~SimulationStore() = default;
    // Runs `action` on the current state; the state as left by the action is
    // kept. False when the state could not be read or kept.
    virtual bool use(const std::function<void(SimulatedReader&)>& action) = 0;
};

// The state in memory (tests).
class MemoryStore : public SimulationStore {
  public:
    explicit MemoryStore(SimulatedReader& reader) : reader_(reader) {}
    bool use(const std::function<void(SimulatedReader&)>& action) override;

  private:
    SimulatedReader& reader_;
};

// The state in a text file, read and written under a lock for every call, so
// that another process may insert or remove a card between two commands.
// A missing file is a reader with both slots empty.
class FileStore : public SimulationStore {
  public:
    explicit FileStore(std::string path) : path_(std::move(path)) {}
    bool use(const std::function<void(SimulatedReader&)>& action) override;
    const std::string& lastError() const { return error_; }

  private:
    std::string path_;
    std::string error_;
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

  private:
    SimulationStore& store_;
    std::function<int64_t()> nowMs_;
};

// Milliseconds since the epoch, from the system clock (shared by processes).
int64_t wallClockMs();

}  // namespace salvora::cardsec
