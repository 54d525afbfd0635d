#include "recovery_app/core/size_text.h"

#include <cinttypes>
#include <cstdio>

namespace salvora {

std::string sizeText(uint64_t bytes) {
    const float mb = static_cast<float>(bytes / 1024 / 1024);
    const float gb = static_cast<float>(mb / 1024.0);
    char text[64];
    if (mb > 1.0f && gb < 1.0f) {
        std::snprintf(text, sizeof text, "%.2f  MB", mb);
    } else if (gb <= 1.0f) {
        std::snprintf(text, sizeof text, "%" PRIu64 "  Byte", bytes);
    } else {
        std::snprintf(text, sizeof text, "%.2f  GB", gb);
    }
    return text;
}

}  // namespace salvora
