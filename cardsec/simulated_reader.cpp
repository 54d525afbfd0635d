#include "cardsec/simulated_reader.h"

#include <chrono>

namespace salvora::cardsec {

namespace {

constexpr TransportResult kNotDelivered{false, 0};
constexpr TransportResult kGood{true, kScsiGood};
constexpr TransportResult kNoMedium{true, kScsiCheckCondition};

// A handle carries the drive in its low four bits and, for the reader's
// drives, the plug generation above them.
SlotHandle makeHandle(int drive, int generation) {
    return static_cast<SlotHandle>(generation) << 4 | drive;
}
int handleDrive(SlotHandle handle) {
    return static_cast<int>(handle & 0xF);
}
int handleGeneration(SlotHandle handle) {
    return static_cast<int>(handle >> 4);
}

bool isSlotDrive(int drive) {
    return drive == kSimSdDrive || drive == kSimCfDrive;
}

}  // namespace

void SimulatedReader::insertSd(SimSdCard card) {
    card.powerUp();
    sd = std::move(card);
}

void SimulatedReader::insertCf(SimCfCard card) {
    card.powerUp();
    cf = std::move(card);
}

void SimulatedReader::remove(SimSlot slot) {
    if (slot == SimSlot::kSd) {
        sd.reset();
    } else {
        cf.reset();
    }
}

void SimulatedReader::powerCycle(SimSlot slot) {
    if (slot == SimSlot::kSd && sd)
        sd->powerUp();
    if (slot == SimSlot::kCf && cf)
        cf->powerUp();
}

void SimulatedReader::unplug() {
    if (!plugged)
        return;
    plugged = false;
    // Cards lose power with the reader.
    if (sd)
        sd->powerUp();
    if (cf)
        cf->powerUp();
}

void SimulatedReader::plug() {
    if (plugged)
        return;
    plugged = true;
    ++generation;
}

TransportResult SimulatedReader::execute(SimSlot slot, const Cdb& cdb, Direction direction, uint8_t* data,
                                         int64_t nowMs) {
    if (!plugged)
        return kNotDelivered;
    if (slot == SimSlot::kSd)
        return sd ? sd->execute(cdb, direction, data) : kNoMedium;
    return cf ? cf->execute(cdb, direction, data, nowMs) : kNoMedium;
}

bool MemoryStore::use(const std::function<void(SimulatedReader&)>& action) {
    action(reader_);
    return true;
}

SimulatedTransport::SimulatedTransport(SimulationStore& store, std::function<int64_t()> nowMs)
    : store_(store), nowMs_(std::move(nowMs)) {}

SlotHandle SimulatedTransport::openDrive(int drive) {
    if (drive == kSimSystemDrive)
        return makeHandle(drive, 0);
    if (!isSlotDrive(drive))
        return kInvalidSlot;
    SlotHandle handle = kInvalidSlot;
    store_.use([&](SimulatedReader& reader) {
        if (reader.plugged)
            handle = makeHandle(drive, reader.generation);
    });
    return handle;
}

void SimulatedTransport::closeDrive(SlotHandle) {}

DeviceIdentity SimulatedTransport::driveIdentity(SlotHandle handle) {
    DeviceIdentity identity;
    const int drive = handleDrive(handle);
    if (handle == kInvalidSlot)
        return identity;
    if (drive == kSimSystemDrive) {
        identity = {true, 0, 11, true, true, false, true, "ATA     ", "Simulated disk", "", "1.00"};
        return identity;
    }
    store_.use([&](SimulatedReader& reader) {
        if (!reader.plugged || reader.generation != handleGeneration(handle))
            return;
        const char* product = drive == kSimSdDrive ? "QX7R SD         " : "QX7R CF         ";
        identity = {true, 1, 7, true, true, false, true, "Korvell ", product, "", "KV05"};
    });
    return identity;
}

int SimulatedTransport::diskNumberOfLetter(char letter) {
    if (letter == 'C')
        return kSimSystemDrive;
    int disk = -1;
    store_.use([&](SimulatedReader& reader) {
        if (!reader.plugged)
            return;
        if (letter == 'D')
            disk = kSimSdDrive;
        if (letter == 'E')
            disk = kSimCfDrive;
    });
    return disk;
}

std::string SimulatedTransport::drivePath(int drive) {
    if (drive == kSimSdDrive)
        return "simulated SD slot";
    if (drive == kSimCfDrive)
        return "simulated CF slot";
    return "simulated disk " + std::to_string(drive);
}

TransportResult SimulatedTransport::execute(SlotHandle handle, const Cdb& cdb, Direction direction,
                                            uint8_t* data) {
    if (handle == kInvalidSlot)
        return kNotDelivered;
    const int drive = handleDrive(handle);
    if (drive == kSimSystemDrive)
        return cdb[0] == 0x00 ? kGood : kNoMedium;
    if (!isSlotDrive(drive))
        return kNotDelivered;
    TransportResult result = kNotDelivered;
    const int64_t now = nowMs_();
    const bool used = store_.use([&](SimulatedReader& reader) {
        if (reader.generation != handleGeneration(handle))
            return;
        const SimSlot slot = drive == kSimSdDrive ? SimSlot::kSd : SimSlot::kCf;
        result = reader.execute(slot, cdb, direction, data, now);
    });
    return used ? result : kNotDelivered;
}

int64_t wallClockMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

}  // namespace salvora::cardsec
