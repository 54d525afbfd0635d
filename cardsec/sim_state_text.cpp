// The simulated reader's state as a small text file: one "key value" per line,
// '#' starts a comment. Passwords are written in hexadecimal so that any byte
// survives.
#include <cstdio>
#include <map>
#include <sstream>

#include "cardsec/simulated_reader.h"

namespace salvora::cardsec {

namespace {

std::string toHex(const std::string& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : bytes) {
        hex += digits[c >> 4];
        hex += digits[c & 15];
    }
    return hex;
}

bool fromHex(const std::string& hex, std::string& bytes) {
    if (hex.size() % 2)
        return false;
    bytes.clear();
    for (size_t i = 0; i < hex.size(); i += 2) {
        unsigned value = 0;
        if (std::sscanf(hex.substr(i, 2).c_str(), "%2x", &value) != 1)
            return false;
        bytes += static_cast<char>(value);
    }
    return true;
}

void line(std::ostringstream& out, const char* key, const std::string& value) {
    out << key << ' ' << value << '\n';
}
void line(std::ostringstream& out, const char* key, long long value) {
    out << key << ' ' << value << '\n';
}

void writeSd(std::ostringstream& out, const SimSdCard& card) {
    line(out, "sd.password-hex", toHex(card.password));
    line(out, "sd.locked", card.locked);
    line(out, "sd.lock-unlock-failed", card.lockUnlockFailed);
    line(out, "sd.contents", card.contents);
    line(out, "sd.lock-unlock-commands", card.lockUnlockCommands);
}

void writeCf(std::ostringstream& out, const SimCfCard& card) {
    line(out, "cf.password-hex", toHex(card.password));
    line(out, "cf.enabled", card.enabled);
    line(out, "cf.locked", card.locked);
    line(out, "cf.frozen", card.frozen);
    line(out, "cf.frozen-at-power-up", card.frozenAtPowerUp);
    line(out, "cf.level-max", card.levelMax);
    line(out, "cf.enhanced-erase", card.enhancedErase);
    line(out, "cf.attempts-left", card.attemptsLeft);
    line(out, "cf.prepared", card.prepared);
    line(out, "cf.status", card.status);
    line(out, "cf.error", card.error);
    line(out, "cf.erase-units", card.eraseUnits);
    line(out, "cf.erase-ms", card.eraseMs);
    line(out, "cf.busy-until-ms", card.busyUntilMs);
    line(out, "cf.contents", card.contents);
    line(out, "cf.serial", card.serial);
    line(out, "cf.stuck-busy", card.stuckBusy);
    line(out, "cf.security-commands", card.securityCommands);
}

void writeSlot(std::ostringstream& out, const std::string& name, const SimSlotState& slot) {
    line(out, (name + "-slot.medium-changed").c_str(), slot.mediumChanged);
    line(out, (name + "-slot.refuse-next").c_str(), slot.refuseNext);
}

using Fields = std::map<std::string, std::string>;

bool number(const Fields& fields, const std::string& key, long long low, long long high, long long& value) {
    const auto found = fields.find(key);
    if (found == fields.end())
        return true;  // keep the default
    char* end = nullptr;
    value = std::strtoll(found->second.c_str(), &end, 10);
    return end && *end == '\0' && !found->second.empty() && value >= low && value <= high;
}

template <typename T>
bool readNumber(const Fields& fields, const std::string& key, long long low, long long high, T& target) {
    long long value = static_cast<long long>(target);
    if (!number(fields, key, low, high, value))
        return false;
    target = static_cast<T>(value);
    return true;
}

bool readText(const Fields& fields, const std::string& key, std::string& target) {
    const auto found = fields.find(key);
    if (found != fields.end())
        target = found->second;
    return true;
}

bool readHex(const Fields& fields, const std::string& key, std::string& target) {
    const auto found = fields.find(key);
    return found == fields.end() || fromHex(found->second, target);
}

bool readSd(const Fields& fields, SimSdCard& card) {
    return readHex(fields, "sd.password-hex", card.password) &&
           readNumber(fields, "sd.locked", 0, 1, card.locked) &&
           readNumber(fields, "sd.lock-unlock-failed", 0, 1, card.lockUnlockFailed) &&
           readText(fields, "sd.contents", card.contents) &&
           readNumber(fields, "sd.lock-unlock-commands", 0, 1LL << 30, card.lockUnlockCommands);
}

bool readCf(const Fields& fields, SimCfCard& card) {
    return readHex(fields, "cf.password-hex", card.password) &&
           readNumber(fields, "cf.enabled", 0, 1, card.enabled) &&
           readNumber(fields, "cf.locked", 0, 1, card.locked) &&
           readNumber(fields, "cf.frozen", 0, 1, card.frozen) &&
           readNumber(fields, "cf.frozen-at-power-up", 0, 1, card.frozenAtPowerUp) &&
           readNumber(fields, "cf.level-max", 0, 1, card.levelMax) &&
           readNumber(fields, "cf.enhanced-erase", 0, 1, card.enhancedErase) &&
           readNumber(fields, "cf.attempts-left", 0, SimCfCard::kPasswordAttempts, card.attemptsLeft) &&
           readNumber(fields, "cf.prepared", 0, 1, card.prepared) &&
           readNumber(fields, "cf.status", 0, 255, card.status) &&
           readNumber(fields, "cf.error", 0, 255, card.error) &&
           readNumber(fields, "cf.erase-units", 0, 255, card.eraseUnits) &&
           readNumber(fields, "cf.erase-ms", 0, 1LL << 40, card.eraseMs) &&
           readNumber(fields, "cf.busy-until-ms", 0, 1LL << 60, card.busyUntilMs) &&
           readText(fields, "cf.contents", card.contents) && readText(fields, "cf.serial", card.serial) &&
           readNumber(fields, "cf.stuck-busy", 0, 1, card.stuckBusy) &&
           readNumber(fields, "cf.security-commands", 0, 1LL << 30, card.securityCommands);
}

bool readSlot(const Fields& fields, const std::string& name, SimSlotState& slot) {
    return readNumber(fields, name + "-slot.medium-changed", 0, 1, slot.mediumChanged) &&
           readNumber(fields, name + "-slot.refuse-next", 0, 1, slot.refuseNext);
}

bool readFields(const std::string& text, Fields& fields, std::string& error) {
    std::istringstream in(text);
    std::string row;
    int number = 0;
    while (std::getline(in, row)) {
        ++number;
        if (row.empty() || row[0] == '#')
            continue;
        const size_t space = row.find(' ');
        if (space == std::string::npos) {
            error = "line " + std::to_string(number) + " has no value";
            return false;
        }
        fields[row.substr(0, space)] = row.substr(space + 1);
    }
    return true;
}

}  // namespace

std::string SimulatedReader::serialize() const {
    std::ostringstream out;
    out << "# Simulated Korvell QX7R card reader, kept by lockwright --simulate\n";
    line(out, "reader", plugged ? "plugged" : "unplugged");
    line(out, "generation", generation);
    line(out, "next-serial", nextSerial);
    line(out, "refused", refused);
    if (!lastRefused.empty())
        line(out, "refused-last", lastRefused);
    writeSlot(out, "sd", sdSlot);
    writeSlot(out, "cf", cfSlot);
    line(out, "sd", sd ? "card" : "empty");
    if (sd)
        writeSd(out, *sd);
    line(out, "cf", cf ? "card" : "empty");
    if (cf)
        writeCf(out, *cf);
    return out.str();
}

bool SimulatedReader::parse(const std::string& text, SimulatedReader& reader, std::string& error) {
    Fields fields;
    if (!readFields(text, fields, error))
        return false;
    reader = SimulatedReader{};
    reader.plugged = fields.count("reader") == 0 || fields["reader"] == "plugged";
    bool ok = readNumber(fields, "generation", 1, 1 << 24, reader.generation) &&
              readNumber(fields, "next-serial", 1, 99999, reader.nextSerial) &&
              readNumber(fields, "refused", 0, 1LL << 60, reader.refused) &&
              readText(fields, "refused-last", reader.lastRefused) && readSlot(fields, "sd", reader.sdSlot) &&
              readSlot(fields, "cf", reader.cfSlot);
    if (fields["sd"] == "card") {
        SimSdCard card;
        ok = ok && readSd(fields, card);
        reader.sd = card;
    }
    if (fields["cf"] == "card") {
        SimCfCard card;
        ok = ok && readCf(fields, card);
        reader.cf = card;
    }
    if (!ok)
        error = "a value is malformed or out of range";
    return ok;
}

}  // namespace salvora::cardsec
