#include "formats/m4a.h"

#include "carve/signature_registry.h"
#include "formats/iso_brands.h"
#include "formats/register.h"

namespace salvora {

namespace {
const uint8_t kFtyp[] = {'f', 't', 'y', 'p'};
}

void registerM4a(FamilyTally& tally) {
    registerSignature(4, kFtyp, sizeof kFtyp, recogniseM4a, tally);
}

uint32_t recogniseM4a(const uint8_t* window, uint32_t windowLength, uint32_t, const CarveCandidate&,
                      CarveCandidate& fresh) {
    return acceptIsoFile(Bytes(window, windowLength), {"m4a"}, fresh);
}

}  // namespace salvora
