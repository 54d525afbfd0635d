// Test doubles for the card commands: time that passes only when slept, a
// transport that records what it carries, and a simulated reader in memory.
#pragma once

#include <functional>
#include <vector>

#include "cardsec/simulated_reader.h"
#include "cardsec/sleeper.h"
#include "cardsec/transport.h"

namespace salvora::test {

// Sleeping advances the clock at once; `onSleep` runs after each sleep (a test
// pulls a card out there).
struct FakeTime : cardsec::Sleeper {
    int64_t now = 1'000'000;
    std::vector<uint32_t> sleeps;
    std::function<void(uint32_t)> onSleep;

    void sleepMs(uint32_t milliseconds) override {
        sleeps.push_back(milliseconds);
        now += milliseconds;
        if (onSleep)
            onSleep(milliseconds);
    }
    std::function<int64_t()> clock() {
        return [this] { return now; };
    }
};

// Passes every call to `inner` and records the commands; `unreachable` makes
// every command fail as with an unplugged reader.
class RecordingTransport : public cardsec::ReaderTransport {
  public:
    struct Sent {
        cardsec::Cdb cdb;
        cardsec::Direction direction;
        cardsec::DataBlock data;  // the block sent (data out)
    };

    explicit RecordingTransport(cardsec::ReaderTransport& inner) : inner_(inner) {}

    cardsec::SlotHandle openDrive(int drive) override { return inner_.openDrive(drive); }
    void closeDrive(cardsec::SlotHandle handle) override { inner_.closeDrive(handle); }
    DeviceIdentity driveIdentity(cardsec::SlotHandle handle) override { return inner_.driveIdentity(handle); }
    int diskNumberOfLetter(char letter) override { return inner_.diskNumberOfLetter(letter); }
    std::string drivePath(int drive) override { return inner_.drivePath(drive); }
    cardsec::TransportResult execute(cardsec::SlotHandle handle, const cardsec::Cdb& cdb,
                                     cardsec::Direction direction, uint8_t* data) override {
        Sent sent{cdb, direction, {}};
        if (direction == cardsec::Direction::kDataOut && data)
            std::copy_n(data, 512, sent.data.begin());
        this->sent.push_back(sent);
        if (unreachable)
            return {};
        return inner_.execute(handle, cdb, direction, data);
    }
    cardsec::HoldResult holdReader(uint32_t waitMs) override { return inner_.holdReader(waitMs); }
    void releaseReader() override { inner_.releaseReader(); }

    // Vendor command codes sent, in order: byte 1 for SD blocks, byte 8 for ATA blocks.
    std::vector<int> codes() const {
        std::vector<int> result;
        for (const Sent& s : sent) {
            if (s.cdb[0] == 0xF5)
                result.push_back(s.cdb[1]);
            if (s.cdb[0] == 0xF9)
                result.push_back(s.cdb[8]);
        }
        return result;
    }

    std::vector<Sent> sent;
    bool unreachable = false;

  private:
    cardsec::ReaderTransport& inner_;
};

// A simulated reader in memory with fake time.
struct SimRig {
    cardsec::SimulatedReader reader;
    cardsec::MemoryStore store{reader};
    FakeTime time;
    cardsec::SimulatedTransport transport{store, time.clock()};
};

}  // namespace salvora::test
