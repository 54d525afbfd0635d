// What the window tells the user when a recovery ends.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace salvora {

struct ScanOutcome {
    std::string text;
    bool failed = false;  // shown with the error icon, else the information icon
};

// The message for a scan that ended with `result` (a ScanResult) after
// saving `recovered` files; `lastError` is the engine's lastErrorText. A
// finished scan reports "Recovery Complete - N Files Recovered."; a failed
// one the engine's reason (or, when it left none, a sentence saying the
// recovery stopped) and how many files were saved before, and how many of
// them (`partial`) a read failure cut short. A scan stopped because the
// program is closing reports nothing.
std::optional<ScanOutcome> scanOutcome(int32_t result, uint32_t recovered, const std::string& lastError,
                                       uint32_t partial = 0);

}  // namespace salvora
