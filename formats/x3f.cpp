#include "formats/x3f.h"

#include "carve/signature_registry.h"
#include "formats/register.h"
#include "media/bytes.h"

namespace salvora {

namespace {
const uint8_t kSignature[] = {'F', 'O', 'V', 'b'};
}  // namespace

void registerX3f(FamilyTally& tally) {
    registerSignature(0, kSignature, 4, recogniseX3f, tally);
}

uint32_t recogniseX3f(const uint8_t* window, uint32_t windowLength, uint32_t, const CarveCandidate&,
                      CarveCandidate& fresh) {
    if (!Bytes(window, windowLength).equals(0, kSignature, 4))
        return 0;
    resetCandidate(fresh);
    fresh.extension = "x3f";
    return 1;
}

}  // namespace salvora
