#include "recovery_app/core/unreadable_log.h"

#include <algorithm>

namespace salvora {

void UnreadableLog::add(const UnreadableRange& range) {
    if (range.length == 0)
        return;
    if (held_) {
        const uint64_t heldEnd = held_->offset + held_->length;
        const uint64_t end = range.offset + range.length;
        if (range.offset <= heldEnd && held_->offset <= end) {
            const uint64_t start = std::min(held_->offset, range.offset);
            held_ = UnreadableRange{start, std::max(heldEnd, end) - start};
            return;
        }
        sink_(*held_);
    }
    held_ = range;
}

void UnreadableLog::finish() {
    if (held_)
        sink_(*held_);
    held_.reset();
}

}  // namespace salvora
