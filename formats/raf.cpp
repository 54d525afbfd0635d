#include "formats/raf.h"

#include "carve/signature_registry.h"
#include "formats/register.h"
#include "media/bytes.h"

namespace salvora {

namespace {
const uint8_t kSignature[] = {'F', 'U', 'J', 'I', 'F', 'I', 'L', 'M'};
}  // namespace

void registerRaf(FamilyTally& tally) {
    registerSignature(0, kSignature, 8, recogniseRaf, tally);
}

uint32_t recogniseRaf(const uint8_t* window, uint32_t windowLength, uint32_t, const CarveCandidate&,
                      CarveCandidate& fresh) {
    if (!Bytes(window, windowLength).equals(0, kSignature, 8))
        return 0;
    resetCandidate(fresh);
    fresh.extension = "raf";
    return 1;
}

}  // namespace salvora
