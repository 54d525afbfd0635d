#include "partitions/utf16_text.h"

namespace salvora {

namespace {

constexpr uint32_t kReplacement = 0xFFFD;

bool isHighSurrogate(uint32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool isLowSurrogate(uint32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

}  // namespace

std::string utf16leToUtf8(Bytes bytes, size_t at, size_t units) {
    std::string text;
    for (size_t i = 0; i < units && bytes.has(at + 2 * i, 2); ++i) {
        const uint32_t unit = bytes.le16(at + 2 * i);
        if (unit == 0)
            break;
        if (isHighSurrogate(unit) && i + 1 < units && bytes.has(at + 2 * i + 2, 2) &&
            isLowSurrogate(bytes.le16(at + 2 * i + 2))) {
            const uint32_t low = bytes.le16(at + 2 * i + 2);
            appendUtf8(text, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
            ++i;
            continue;
        }
        appendUtf8(text, isHighSurrogate(unit) || isLowSurrogate(unit) ? kReplacement : unit);
    }
    return text;
}

void appendUtf8(std::string& text, char32_t c) {
    if (c < 0x80) {
        text += static_cast<char>(c);
    } else if (c < 0x800) {
        text += static_cast<char>(0xC0 | (c >> 6));
        text += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        text += static_cast<char>(0xE0 | (c >> 12));
        text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        text += static_cast<char>(0xF0 | (c >> 18));
        text += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace salvora
