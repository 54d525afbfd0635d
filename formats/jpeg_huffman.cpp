#include "formats/jpeg_huffman.h"

#include <algorithm>

namespace salvora {

bool HuffmanTable::build(const std::array<uint8_t, 16>& counts, const uint8_t* symbols, int symbolCount) {
    int total = 0;
    for (const uint8_t count : counts)
        total += count;
    if (total > 256 || total > symbolCount)
        return false;
    std::copy(symbols, symbols + total, symbols_.begin());
    int32_t code = 0;
    int index = 0;
    for (int length = 1; length <= 16; ++length) {
        const int count = counts[length - 1];
        firstIndex_[length] = index;
        firstCode_[length] = code;
        code += count;
        index += count;
        if (code > (1 << length))
            return false;
        maxCode_[length] = count ? code - 1 : -1;
        code <<= 1;
    }
    // A prefix of `length` bits leads somewhere when it is at most the
    // largest code of that length or the matching prefix of a longer one.
    int32_t longer = -1;
    for (int length = 16; length >= 1; --length) {
        longer = std::max(maxCode_[length], longer >= 0 ? longer >> 1 : -1);
        maxPrefix_[length] = longer;
    }
    for (uint32_t bits = 0; bits < lookup_.size(); ++bits) {
        const Match found = slowMatch(bits << (16 - kLookupBits));
        if (found.length > kLookupBits)
            lookup_[bits] = 0;
        else if (found.symbol >= 0)
            lookup_[bits] = static_cast<uint16_t>(kFound | found.length << 8 | found.symbol);
        else
            lookup_[bits] = static_cast<uint16_t>(kInvalid | found.length << 8);
    }
    return true;
}

HuffmanTable::Match HuffmanTable::slowMatch(uint32_t bits16) const {
    for (int length = 1; length <= 16; ++length) {
        const int32_t prefix = static_cast<int32_t>(bits16 >> (16 - length));
        if (maxCode_[length] >= 0 && prefix >= firstCode_[length] && prefix <= maxCode_[length])
            return {length, symbols_[firstIndex_[length] + prefix - firstCode_[length]]};
        if (prefix > maxPrefix_[length])
            return {length, -1};
    }
    return {16, -1};
}

}  // namespace salvora
