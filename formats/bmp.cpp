#include "formats/bmp.h"

#include "carve/shared_checks.h"
#include "carve/signature_registry.h"
#include "formats/register.h"
#include "media/bytes.h"

namespace salvora {

namespace {
const uint8_t kBm[] = {'B', 'M'};
constexpr uint64_t kMinSize = 65;
}  // namespace

void registerBmp(FamilyTally& tally) {
    registerSignature(0, kBm, sizeof kBm, recogniseBmp, tally);
}

uint32_t recogniseBmp(const uint8_t* window, uint32_t windowLength, uint32_t, const CarveCandidate&,
                      CarveCandidate& fresh) {
    const Bytes bytes(window, windowLength);
    if (!bytes.has(0, 10) || !bytes.equals(0, kBm, sizeof kBm) || bytes.le32(6) != 0)
        return 0;
    resetCandidate(fresh);
    fresh.extension = "bmp";
    fresh.minSize = kMinSize;
    fresh.expectedSize = bytes.le32(2);
    fresh.wholeUntil = fresh.expectedSize;
    fresh.blockCheck = blockCheckUntilExpected;
    fresh.endCheck = endCheckTruncateToExpected;
    return 1;
}

}  // namespace salvora
