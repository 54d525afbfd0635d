#include "partitions/volume_label.h"

#include <cstring>

namespace salvora {

namespace {

bool refusedCharacter(unsigned char c) {
    return c < 0x20 || std::strchr("\"*/:<>?\\|", c) != nullptr;
}

}  // namespace

std::string fatLabelAt(Bytes bytes, size_t at) {
    if (!bytes.has(at, kFatLabelLength))
        return std::string();
    std::string label;
    for (size_t i = 0; i < kFatLabelLength; ++i) {
        const uint8_t c = bytes.u8(at + i);
        if (c == 0)
            break;
        label.push_back(static_cast<char>(c));
    }
    const size_t last = label.find_last_not_of(' ');
    label.erase(last == std::string::npos ? 0 : last + 1);
    for (const char c : label) {
        if (refusedCharacter(static_cast<unsigned char>(c)))
            return std::string();
    }
    return label;
}

}  // namespace salvora
