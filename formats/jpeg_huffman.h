// A Huffman table of a JPEG file (DHT segment), built the canonical way of
// ITU-T T.81 Annex C, for decoding symbols from the entropy-coded data.
#pragma once

#include <array>
#include <cstdint>

namespace salvora {

class HuffmanTable {
  public:
    // Bits looked up at once; longer codes take the slow path.
    static constexpr int kLookupBits = 9;

    // Builds the table from the 16 code counts (codes of 1 to 16 bits) and
    // the symbols in code order. Returns false when the counts name more than
    // 256 symbols or more codes than their lengths allow.
    bool build(const std::array<uint8_t, 16>& counts, const uint8_t* symbols, int symbolCount);

    // Result of looking up the code that starts the 16 bits of `bits` (most
    // significant bit first): its length and symbol, or symbol -1 when no code
    // can start that way, with the length at which that became certain.
    struct Match {
        int length = 0;
        int symbol = -1;
    };
    Match match(uint32_t bits16) const {
        const uint16_t fast = lookup_[bits16 >> (16 - kLookupBits)];
        if (fast & kFound)
            return {(fast >> 8) & 0x1F, fast & 0xFF};
        if (fast & kInvalid)
            return {(fast >> 8) & 0x1F, -1};
        return slowMatch(bits16);
    }

  private:
    static constexpr uint16_t kFound = 0x8000;
    static constexpr uint16_t kInvalid = 0x4000;

    Match slowMatch(uint32_t bits16) const;

    std::array<int32_t, 17> maxCode_{};     // largest code of each length, -1 when none
    std::array<int32_t, 17> maxPrefix_{};   // largest prefix of each length that some code starts with
    std::array<int32_t, 17> firstIndex_{};  // index into symbols_ of the first code of each length
    std::array<int32_t, 17> firstCode_{};   // the first code of each length
    std::array<uint8_t, 256> symbols_{};
    std::array<uint16_t, 1 << kLookupBits> lookup_{};
};

}  // namespace salvora
