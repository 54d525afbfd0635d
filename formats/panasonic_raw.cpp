#include "formats/panasonic_raw.h"

#include "carve/signature_registry.h"
#include "formats/register.h"
#include "media/bytes.h"

namespace salvora {

namespace {
const uint8_t kMakerText[] = {'A', 'R', 'E', 'C', 'O', 'Y', 'K'};
constexpr uint32_t kMakerTextOffset = 25;
const uint8_t kHeader[] = {0x49, 0x49, 0x55, 0x00};
}  // namespace

void registerPanasonicRaw(FamilyTally& tally) {
    registerSignature(kMakerTextOffset, kMakerText, sizeof kMakerText, recognisePanasonicRaw, tally);
    registerSignature(0, kHeader, sizeof kHeader, recognisePanasonicRaw, tally);
}

uint32_t recognisePanasonicRaw(const uint8_t* window, uint32_t windowLength, uint32_t, const CarveCandidate&,
                               CarveCandidate& fresh) {
    const Bytes bytes(window, windowLength);
    if (!bytes.equals(kMakerTextOffset, kMakerText, sizeof kMakerText) &&
        !bytes.equals(0, kHeader, sizeof kHeader)) {
        return 0;
    }
    resetCandidate(fresh);
    fresh.extension = "raw";
    return 1;
}

}  // namespace salvora
