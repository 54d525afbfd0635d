// Names of FAT directory entries: the short 8.3 name and the long name that
// the long-name entries in front of it spell, both as UTF-8.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "media/bytes.h"
#include "partitions/utf16_text.h"

namespace salvora {

// Size of a directory entry and the fields the name code reads.
constexpr size_t kDirEntrySize = 32;
constexpr size_t kDirEntryAttributes = 11;
constexpr uint8_t kLongNameAttributes = 0x0F;
constexpr uint8_t kDeletedMark = 0xE5;

// The checksum of the 11 short-name bytes at `at` that each long-name entry
// of the same file carries (rotate right by one, add the next byte).
uint8_t shortNameChecksum(Bytes entry, size_t at);

// The short name of the entry at `at` as UTF-8: base and extension (joined
// by a dot when there is an extension), trailing spaces removed, lower-cased
// where the entry's case bits (byte 12) ask for it, bytes above 0x7F read as
// code page 437. A first byte 0x05 stands for 0xE5. `firstByte`, when given,
// replaces the first name byte (a deleted entry has lost it).
std::string shortNameText(Bytes entry, size_t at, std::optional<uint8_t> firstByte = std::nullopt);

// Code point of a code page 437 byte.
char32_t codePage437(uint8_t byte);

// Collects the long-name entries in front of a short entry, in directory
// order, and gives the long name when they belong to it.
class LongNameCollector {
  public:
    // Drops what was collected (an entry that breaks the sequence came).
    void reset() { parts_.clear(); }

    // Takes the long-name entry at `at`. A live entry carries its sequence
    // number (the first of a name is numbered n | 0x40, then n-1 down to 1);
    // an entry out of sequence drops what was collected. Deleted entries (first
    // byte 0xE5) have lost their numbers and are collected in directory order.
    void add(Bytes directory, size_t at);

    // The long name of the short entry at `at` when the collected entries
    // belong to it: a live short entry needs the complete sequence 1..n with
    // its checksum; a deleted one needs deleted entries that agree on one
    // checksum, whose text ends (a 0 then 0xFFFF padding, or a full entry),
    // and whose checksum leaves a valid first short-name byte (returned in
    // `firstByte`). Empty otherwise. Resets the collector either way.
    std::optional<std::string> take(Bytes directory, size_t at, uint8_t* firstByte = nullptr);

  private:
    struct Part {
        uint8_t sequence = 0;  // 0 for a deleted entry
        uint8_t checksum = 0;
        std::array<char16_t, 13> units{};
    };
    std::optional<std::string> liveName(Bytes directory, size_t at) const;
    std::optional<std::string> deletedName(Bytes directory, size_t at, uint8_t* firstByte) const;

    std::vector<Part> parts_;  // in directory order
};

}  // namespace salvora
