#include "widgets/core/status_text.h"

namespace salvora::widgets {

namespace {
bool isLeadingSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
}  // namespace

std::u16string shortenedStatusText(const std::u16string& text) {
    if (text.size() <= kStatusTextLimit)
        return text;
    size_t kept = kStatusTextLimit;
    if (isLeadingSurrogate(text[kept - 1]))
        --kept;
    return text.substr(0, kept) + u"...";
}

}  // namespace salvora::widgets
