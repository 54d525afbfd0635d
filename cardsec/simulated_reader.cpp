#include "cardsec/simulated_reader.h"

#include <chrono>
#include <cstdio>

namespace salvora::cardsec {

namespace {

constexpr TransportResult kNotDelivered{false, 0};
constexpr TransportResult kGood{true, kScsiGood};

// Sense keys and codes of the reader's refusals.
constexpr uint8_t kIllegalRequest = 0x05;
constexpr uint8_t kAbortedCommand = 0x0B;
constexpr uint8_t kInvalidOpcode = 0x20;
constexpr uint8_t kInvalidField = 0x24;

TransportResult checkCondition(uint8_t senseKey, uint8_t asc) {
    return {true, kScsiCheckCondition, senseKey, asc};
}

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

std::string serialNumber(int number) {
    char text[16];
    std::snprintf(text, sizeof text, "SIMCF%05d", number);
    return text;
}

}  // namespace

void SimulatedReader::insertSd(SimSdCard card) {
    card.powerUp();
    sd = std::move(card);
    sdSlot.mediumChanged = true;
}

void SimulatedReader::insertCf(SimCfCard card) {
    if (card.serial.empty())
        card.serial = serialNumber(nextSerial++);
    card.powerUp();
    cf = std::move(card);
    cfSlot.mediumChanged = true;
}

void SimulatedReader::remove(SimSlot slot) {
    if (slot == SimSlot::kSd) {
        sd.reset();
    } else {
        cf.reset();
    }
    slotState(slot).mediumChanged = false;
}

void SimulatedReader::powerCycle(SimSlot slot) {
    if (slot == SimSlot::kSd && sd) {
        sd->powerUp();
        sdSlot.mediumChanged = true;
    }
    if (slot == SimSlot::kCf && cf) {
        cf->powerUp();
        cfSlot.mediumChanged = true;
    }
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
    sdSlot.mediumChanged = sd.has_value();
    cfSlot.mediumChanged = cf.has_value();
}

bool SimulatedReader::setFault(SimSlot slot, SimFault fault) {
    if (fault == SimFault::kStuckBusy && (slot != SimSlot::kCf || !cf))
        return false;
    SimSlotState& state = slotState(slot);
    state.refuseNext = fault == SimFault::kRefuse;
    if (slot == SimSlot::kCf && cf)
        cf->stuckBusy = fault == SimFault::kStuckBusy;
    return true;
}

TransportResult SimulatedReader::execute(SimSlot slot, const Cdb& cdb, Direction direction, uint8_t* data,
                                         int64_t nowMs) {
    if (!plugged)
        return kNotDelivered;
    const SimVerdict verdict = judgeCommand(cdb, direction, data);
    if (!verdict.accepted) {
        ++refused;
        lastRefused = describeCommand(cdb, direction, data) + ": " + verdict.reason;
        return checkCondition(kIllegalRequest, kInvalidField);
    }
    SimSlotState& state = slotState(slot);
    const bool hasCard = slot == SimSlot::kSd ? sd.has_value() : cf.has_value();
    if (!hasCard)
        return checkCondition(kSenseNotReady, kAscMediumNotPresent);
    if (state.mediumChanged) {
        state.mediumChanged = false;
        return checkCondition(kSenseUnitAttention, kAscMediumMayHaveChanged);
    }
    const bool ownCommand =
        slot == SimSlot::kSd ? isSdCommand(verdict.command) : isCfCommand(verdict.command);
    if (!ownCommand)
        return checkCondition(kIllegalRequest, kInvalidOpcode);
    if (state.refuseNext && isSecurityCommand(verdict.command)) {
        state.refuseNext = false;
        return checkCondition(kAbortedCommand, 0);
    }
    if (slot == SimSlot::kSd)
        return sd->execute(verdict.command, data);
    return cf->execute(verdict.command, data, nowMs);
}

bool MemoryStore::use(const std::function<void(SimulatedReader&)>& action) {
    action(reader_);
    return true;
}

HoldResult MemoryStore::hold(uint32_t) {
    if (heldElsewhere)
        return HoldResult::kBusy;
    held_ = true;
    return HoldResult::kHeld;
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
        return cdb == Cdb{} ? kGood : checkCondition(kIllegalRequest, kInvalidOpcode);
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

HoldResult SimulatedTransport::holdReader(uint32_t waitMs) {
    std::lock_guard<std::mutex> guard(holdMutex_);
    if (holdDepth_ > 0) {
        ++holdDepth_;
        return HoldResult::kHeld;
    }
    const HoldResult result = store_.hold(waitMs);
    if (result == HoldResult::kHeld)
        holdDepth_ = 1;
    return result;
}

void SimulatedTransport::releaseReader() {
    std::lock_guard<std::mutex> guard(holdMutex_);
    if (holdDepth_ == 0 || --holdDepth_ > 0)
        return;
    store_.release();
}

int64_t wallClockMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

}  // namespace salvora::cardsec
