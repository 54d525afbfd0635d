#include "formats/heif.h"

#include "carve/signature_registry.h"
#include "formats/iso_brands.h"
#include "formats/register.h"

namespace salvora {

namespace {
const uint8_t kFtyp[] = {'f', 't', 'y', 'p'};
}

void registerHeif(FamilyTally& tally) {
    registerSignature(4, kFtyp, sizeof kFtyp, recogniseHeif, tally);
}

uint32_t recogniseHeif(const uint8_t* window, uint32_t windowLength, uint32_t, const CarveCandidate&,
                       CarveCandidate& fresh) {
    return acceptIsoFile(Bytes(window, windowLength), {"heic", "avif", "cr3"}, fresh);
}

}  // namespace salvora
