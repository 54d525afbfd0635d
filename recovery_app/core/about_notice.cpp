#include "recovery_app/core/about_notice.h"

#include <algorithm>
#include <cstdio>

namespace salvora {

namespace {

constexpr uint32_t kPlatformNt = 2;

int highWord(uint32_t value) {
    return static_cast<int>(value >> 16);
}
int lowWord(uint32_t value) {
    return static_cast<int>(value & 0xFFFF);
}

}  // namespace

const std::array<const char*, kNoticeLineCount>& noticeLines() {
    static const std::array<const char*, kNoticeLineCount> lines{
        "Salvora (C) 2012-2026 Korvell Technology Inc. All rights reserved.",
        "Software under the GNU General Public License (GPL) in this product:",
        "Some parts of this product are free software, licensed under the GNU",
        "General Public License, version 2 or (at your option) any later one.",
        "For three years after our last shipment of this product, you may get",
        "the complete source code of those parts from Korvell, for no more than",
        "our cost of copying it, by writing to the contact address above.",
        "You may copy, share and change those parts under the terms of the GPL.",
        "A copy of the licence comes with the source code; it can also be read",
        "at https://www.gnu.org/licenses/old-licenses/gpl-2.0.html",
        "Those parts are distributed in the hope that they will be useful, but",
        "WITHOUT ANY WARRANTY; without even the implied warranty of",
        "MERCHANTABILITY or FITNESS FOR A PARTICULAR PURPOSE. See the GNU GPL",
        "for more details. The licence does not cover the rest of this product.",
    };
    return lines;
}

int scrollNotice(int position, int request, int thumb) {
    switch (static_cast<ScrollRequest>(request)) {
        case ScrollRequest::kLineUp:
            position -= 1;
            break;
        case ScrollRequest::kLineDown:
            position += 1;
            break;
        case ScrollRequest::kThumbPosition:
        case ScrollRequest::kThumbTrack:
            position = thumb;
            break;
        case ScrollRequest::kTop:
            position = 0;
            break;
        case ScrollRequest::kBottom:
            position = kLastNoticePosition;
            break;
        default:
            break;
    }
    return std::clamp(position, 0, kLastNoticePosition);
}

AboutVariant aboutVariantFor(uint32_t platformId, uint32_t major, uint32_t minor) {
    if (platformId != kPlatformNt || major < 5)
        return AboutVariant::kNone;
    if (major == 5 && minor == 0)
        return AboutVariant::kWindows2000;
    return AboutVariant::kStandard;
}

std::string windowCaption(const std::string& product, const FileVersion& version) {
    char text[128];
    std::snprintf(text, sizeof text, "%s - version %d.%d", product.c_str(), highWord(version.mostSignificant),
                  lowWord(version.mostSignificant));
    return text;
}

std::string aboutVersionText(const std::string& product, const FileVersion& version) {
    char text[128];
    std::snprintf(text, sizeof text, "%s Version : %d.%d.%d.%d", product.c_str(),
                  highWord(version.mostSignificant), lowWord(version.mostSignificant),
                  highWord(version.leastSignificant), lowWord(version.leastSignificant));
    return text;
}

}  // namespace salvora
