#include "cardprotect_app/cli/sim_commands.h"

#include <cstdio>
#include <string>

#include "cardprotect_app/cli/exit_codes.h"
#include "cardsec/simulated_reader.h"

namespace salvora::lockwright {

using namespace cardsec;

namespace {

const char* yesNo(bool value) {
    return value ? "yes" : "no";
}

std::string quoted(const std::string& password) {
    return "\"" + password.substr(0, password.find('\0')) + "\"";
}

void showSd(const SimSdCard& card, const SimSlotState& slot) {
    std::printf("sd card password=%s locked=%s contents=%s lock-unlock-commands=%d refuse-next=%s\n",
                card.password.empty() ? "none" : quoted(card.password).c_str(), yesNo(card.locked),
                card.contents.c_str(), card.lockUnlockCommands, yesNo(slot.refuseNext));
}

void showCf(const SimCfCard& card, const SimSlotState& slot) {
    std::printf(
        "cf card password=%s security=%s locked=%s frozen=%s attempts-left=%d busy=%s contents=%s serial=%s "
        "security-commands=%d stuck-busy=%s refuse-next=%s\n",
        card.enabled ? quoted(card.password).c_str() : "none", card.enabled ? "enabled" : "disabled",
        yesNo(card.locked), yesNo(card.frozen), card.attemptsLeft, yesNo(card.busyUntilMs != 0),
        card.contents.c_str(), card.serial.c_str(), card.securityCommands, yesNo(card.stuckBusy),
        yesNo(slot.refuseNext));
}

void show(const SimulatedReader& reader) {
    std::printf("reader %s refused=%lld\n", reader.plugged ? "plugged" : "unplugged", reader.refused);
    if (reader.refused)
        std::printf("last refused %s\n", reader.lastRefused.c_str());
    if (reader.sd) {
        showSd(*reader.sd, reader.sdSlot);
    } else {
        std::puts("sd empty");
    }
    if (reader.cf) {
        showCf(*reader.cf, reader.cfSlot);
    } else {
        std::puts("cf empty");
    }
}

// Checks the card options of "sim insert"; returns an empty text when they fit.
std::string checkInsertOptions(const CommandLine& line) {
    const bool sd = line.simSlot == "sd";
    if (line.locked && line.unlocked)
        return "--locked and --unlocked exclude each other.";
    if ((line.locked || line.unlocked) && !line.password)
        return "Only a card with a --password can be locked or unlocked.";
    if (line.password && line.password->empty())
        return "--password needs at least one character.";
    if (sd && line.password && line.password->size() > SimSdCard::kMaxPasswordLength) {
        return "An SD card password has at most 16 characters.";
    }
    if (!sd && line.password && line.password->size() > SimCfCard::kPasswordField) {
        return "A CF card password has at most 32 characters.";
    }
    if (sd && (line.frozen || line.enhancedErase || line.levelMax)) {
        return "--frozen, --enhanced-erase and --level-max are for CF cards.";
    }
    return "";
}

SimFault faultOf(const std::string& name) {
    if (name == "refuse")
        return SimFault::kRefuse;
    if (name == "stuck-busy")
        return SimFault::kStuckBusy;
    return SimFault::kClear;
}

void insert(const CommandLine& line, SimulatedReader& reader) {
    if (line.simSlot == "sd") {
        SimSdCard card;
        if (line.password)
            card.password = *line.password;
        reader.insertSd(card);
        if (line.unlocked)
            reader.sd->locked = false;
        return;
    }
    SimCfCard card;
    if (line.password)
        card.setUserPassword(*line.password);
    card.frozenAtPowerUp = line.frozen;
    card.enhancedErase = line.enhancedErase;
    card.levelMax = line.levelMax;
    card.eraseUnits = static_cast<uint8_t>(line.eraseUnits);
    card.eraseMs = static_cast<int64_t>(line.eraseSeconds * 1000);
    reader.insertCf(card);
    if (line.unlocked) {
        reader.cf->locked = false;
        reader.cf->frozen = card.frozenAtPowerUp;
    }
}

}  // namespace

int simCommand(const CommandLine& line) {
    if (line.simulate.empty()) {
        std::fputs("lockwright: sim needs --simulate STATE, the file that keeps the simulated reader.\n",
                   stderr);
        return kExitUsage;
    }
    if (line.simVerb == "fault" && line.simFault == "stuck-busy" && line.simSlot != "cf") {
        std::fputs("lockwright: stuck-busy is a fault of CF cards.\n", stderr);
        return kExitUsage;
    }
    if (line.simVerb == "insert") {
        const std::string problem = checkInsertOptions(line);
        if (!problem.empty()) {
            std::fprintf(stderr, "lockwright: %s\n", problem.c_str());
            return kExitUsage;
        }
    }
    const SimSlot slot = line.simSlot == "cf" ? SimSlot::kCf : SimSlot::kSd;
    bool emptySlot = false;
    FileStore store(line.simulate);
    const bool ok = store.use([&](SimulatedReader& reader) {
        const bool occupied = slot == SimSlot::kSd ? reader.sd.has_value() : reader.cf.has_value();
        if (line.simVerb == "insert")
            insert(line, reader);
        if (line.simVerb == "remove")
            reader.remove(slot);
        if (line.simVerb == "power-cycle") {
            emptySlot = !occupied;
            reader.powerCycle(slot);
        }
        if (line.simVerb == "fault")
            emptySlot = !reader.setFault(slot, faultOf(line.simFault));
        if (line.simVerb == "unplug")
            reader.unplug();
        if (line.simVerb == "plug")
            reader.plug();
        if (line.simVerb == "show")
            show(reader);
    });
    if (!ok) {
        std::fprintf(stderr, "lockwright: %s\n", store.lastError().c_str());
        return kExitSimulation;
    }
    if (emptySlot) {
        std::fprintf(stderr, "lockwright: the simulated %s slot is empty.\n", line.simSlot.c_str());
        return kExitNoCard;
    }
    return kExitSuccess;
}

}  // namespace salvora::lockwright
