#include "partitions/fat_names.h"

#include <algorithm>
#include <cstring>

namespace salvora {

namespace {

constexpr size_t kNameLength = 11;
constexpr size_t kBaseLength = 8;
constexpr size_t kCaseFlags = 12;
constexpr uint8_t kLowerBase = 0x08;
constexpr uint8_t kLowerExtension = 0x10;
constexpr uint8_t kKanjiLeadE5 = 0x05;

// Long-name entry fields.
constexpr size_t kLongChecksum = 13;
constexpr uint8_t kLastLongEntry = 0x40;
constexpr uint8_t kSequenceMask = 0x3F;
constexpr uint8_t kMaxLongEntries = 20;  // 255 characters, 13 per entry
// Offsets of the 13 UTF-16 units of a long-name entry.
constexpr size_t kUnitOffsets[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};

// Code page 437, bytes 0x80 to 0xFF.
constexpr char16_t kCodePage437High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE,
    0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6,
    0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA,
    0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502,
    0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514,
    0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550,
    0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C,
    0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320,
    0x2321, 0x00F7, 0x2248, 0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

uint8_t checksumOf(const uint8_t* name) {
    uint8_t sum = 0;
    for (size_t i = 0; i < kNameLength; ++i)
        sum = static_cast<uint8_t>(((sum & 1) << 7) + (sum >> 1) + name[i]);
    return sum;
}

// A byte that may stand first in a short name.
bool validFirstByte(uint8_t byte) {
    if (byte == kKanjiLeadE5)
        return true;
    if (byte <= 0x20 || byte == kDeletedMark || (byte >= 'a' && byte <= 'z'))
        return false;
    return std::strchr("\"*+,./:;<=>?[\\]|", byte) == nullptr;
}

void appendPart(std::string& text, Bytes entry, size_t at, size_t length, bool lower) {
    size_t end = length;
    while (end > 0 && entry.u8(at + end - 1) == ' ')
        --end;
    for (size_t i = 0; i < end; ++i) {
        const uint8_t byte = entry.u8(at + i);
        if (byte < 0x80) {
            const bool upper = byte >= 'A' && byte <= 'Z';
            text += static_cast<char>(lower && upper ? byte + ('a' - 'A') : byte);
        } else {
            appendUtf8(text, codePage437(byte));
        }
    }
}

// UTF-8 of the UTF-16 units up to the first 0 (unpaired surrogates become U+FFFD).
std::string utf8Of(const std::vector<char16_t>& units) {
    std::string text;
    for (size_t i = 0; i < units.size() && units[i] != 0; ++i) {
        const char16_t unit = units[i];
        const bool high = unit >= 0xD800 && unit < 0xDC00;
        const bool low = unit >= 0xDC00 && unit < 0xE000;
        if (high && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000) {
            appendUtf8(text, 0x10000 + ((char32_t{unit} - 0xD800) << 10) + (units[i + 1] - 0xDC00));
            ++i;
        } else {
            appendUtf8(text, high || low ? char32_t{0xFFFD} : char32_t{unit});
        }
    }
    return text;
}

// The extension a short name gets from long name `units`: up to three
// characters after its last dot, upper-cased (ASCII only; others do not compare).
std::string extensionOf(const std::vector<char16_t>& units) {
    const auto end = std::find(units.begin(), units.end(), char16_t{0});
    const auto dot = std::find(std::make_reverse_iterator(end), units.rend(), char16_t{'.'});
    std::string extension;
    if (dot == units.rend())
        return extension;
    for (auto unit = dot.base(); unit != end && extension.size() < 3; ++unit) {
        const char16_t c = *unit;
        extension += c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A')
                     : c < 0x80           ? static_cast<char>(c)
                                          : '_';
    }
    return extension;
}

// True when `units` (the parts in name order) end the way a long name ends:
// a 0 in the last part followed only by 0xFFFF, or a last part filled to its end.
bool endsLikeAName(const std::vector<char16_t>& units) {
    const auto terminator = std::find(units.begin(), units.end(), char16_t{0});
    if (std::find(units.begin(), terminator, char16_t{0xFFFF}) != terminator)
        return false;
    if (terminator == units.end())
        return true;
    if (terminator == units.begin() || static_cast<size_t>(terminator - units.begin()) < units.size() - 13)
        return false;
    return std::all_of(terminator + 1, units.end(), [](char16_t unit) { return unit == 0xFFFF; });
}

}  // namespace

uint8_t shortNameChecksum(Bytes entry, size_t at) {
    uint8_t name[kNameLength] = {};
    for (size_t i = 0; i < kNameLength; ++i)
        name[i] = entry.u8(at + i);
    return checksumOf(name);
}

char32_t codePage437(uint8_t byte) {
    return byte < 0x80 ? char32_t{byte} : char32_t{kCodePage437High[byte - 0x80]};
}

std::string shortNameText(Bytes entry, size_t at, std::optional<uint8_t> firstByte) {
    uint8_t name[kNameLength] = {};
    for (size_t i = 0; i < kNameLength; ++i)
        name[i] = entry.u8(at + i);
    if (firstByte)
        name[0] = *firstByte;
    if (name[0] == kKanjiLeadE5)
        name[0] = kDeletedMark;
    const uint8_t flags = entry.u8(at + kCaseFlags);
    const Bytes bytes(name, kNameLength);
    std::string text;
    appendPart(text, bytes, 0, kBaseLength, flags & kLowerBase);
    std::string extension;
    appendPart(extension, bytes, kBaseLength, kNameLength - kBaseLength, flags & kLowerExtension);
    if (!extension.empty())
        text += "." + extension;
    return text;
}

void LongNameCollector::add(Bytes directory, size_t at) {
    Part part;
    part.checksum = directory.u8(at + kLongChecksum);
    for (size_t i = 0; i < part.units.size(); ++i)
        part.units[i] = directory.le16(at + kUnitOffsets[i]);
    const uint8_t first = directory.u8(at);
    if (first == kDeletedMark) {
        if (!parts_.empty() && parts_.back().sequence != 0)
            parts_.clear();
        if (parts_.size() == kMaxLongEntries)
            parts_.erase(parts_.begin());
        parts_.push_back(part);
        return;
    }
    part.sequence = first & kSequenceMask;
    if (first & kLastLongEntry) {
        parts_.clear();
        if (part.sequence >= 1 && part.sequence <= kMaxLongEntries)
            parts_.push_back(part);
        return;
    }
    const bool follows = !parts_.empty() && parts_.back().sequence == part.sequence + 1 &&
                         parts_.back().checksum == part.checksum && first == part.sequence;
    if (follows)
        parts_.push_back(part);
    else
        parts_.clear();
}

std::optional<std::string> LongNameCollector::take(Bytes directory, size_t at, uint8_t* firstByte) {
    std::optional<std::string> name;
    if (!parts_.empty()) {
        name = directory.u8(at) == kDeletedMark ? deletedName(directory, at, firstByte)
                                                : liveName(directory, at);
    }
    parts_.clear();
    return name;
}

std::optional<std::string> LongNameCollector::liveName(Bytes directory, size_t at) const {
    if (parts_.back().sequence != 1 || parts_.front().checksum != shortNameChecksum(directory, at))
        return std::nullopt;
    std::vector<char16_t> units;
    for (auto part = parts_.rbegin(); part != parts_.rend(); ++part)
        units.insert(units.end(), part->units.begin(), part->units.end());
    if (!endsLikeAName(units))
        return std::nullopt;
    return utf8Of(units);
}

std::optional<std::string> LongNameCollector::deletedName(Bytes directory, size_t at,
                                                          uint8_t* firstByte) const {
    if (parts_.back().sequence != 0)
        return std::nullopt;
    const uint8_t checksum = parts_.back().checksum;
    std::vector<char16_t> units;
    for (auto part = parts_.rbegin(); part != parts_.rend() && part->checksum == checksum; ++part)
        units.insert(units.end(), part->units.begin(), part->units.end());
    if (!endsLikeAName(units))
        return std::nullopt;
    // Without its end mark the name may have lost its last part to a newer
    // entry: then at least the extension must be the short name's.
    if (std::find(units.begin(), units.end(), char16_t{0}) == units.end()) {
        std::string extension;
        appendPart(extension, directory, at + kBaseLength, kNameLength - kBaseLength, false);
        if (extension != extensionOf(units))
            return std::nullopt;
    }
    // The deleted entry has lost its first byte; the checksum tells it.
    uint8_t name[kNameLength] = {};
    for (size_t i = 1; i < kNameLength; ++i)
        name[i] = directory.u8(at + i);
    for (unsigned byte = 0; byte < 256; ++byte) {
        name[0] = static_cast<uint8_t>(byte);
        if (checksumOf(name) != checksum)
            continue;
        if (!validFirstByte(name[0]))
            return std::nullopt;
        if (firstByte)
            *firstByte = name[0];
        return utf8Of(units);
    }
    return std::nullopt;
}

}  // namespace salvora
