// Fuzz target: the decoders of what a card reader answers: the SD card status
// (with every combination of pending requests), the CF IDENTIFY security word
// and the erase-time estimate.
#include <cstdint>
#include <cstring>

#include "cardsec/cf_commands.h"
#include "cardsec/sd_commands.h"

using namespace salvora::cardsec;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3)
        return 0;
    DataBlock answer{};
    std::memcpy(answer.data(), data + 2, std::min(size - 2, answer.size()));
    const SdCardStatus status = decodeSdStatus(answer);
    SdState state;
    const uint8_t flags = data[0];
    state.m_bSdLockRequested = flags & 1;
    state.m_bSdUnlockRequested = flags & 2;
    state.m_bSdRemoveRequested = flags & 4;
    state.m_bSdEraseRequested = flags & 8;
    state.m_bSdTempUnlocked = flags & 16;
    state.m_bSdLocked = flags & 64;
    decideSdStatus(state, status, (flags & 32) != 0);
    const uint16_t word128 = static_cast<uint16_t>(answer[256] | answer[257] << 8);
    decodeSecurityWord(word128);
    EraseTimeText(data[1]);
    identifyDataIsBlank(answer);
    return 0;
}
