#include "formats/orf.h"

#include "carve/signature_registry.h"
#include "formats/register.h"
#include "media/bytes.h"

namespace salvora {

namespace {
const uint8_t kIirs[] = {'I', 'I', 'R', 'S'};
const uint8_t kIiro[] = {'I', 'I', 'R', 'O'};
}  // namespace

void registerOrf(FamilyTally& tally) {
    registerSignature(0, kIirs, 4, recogniseOrf, tally);
    registerSignature(0, kIiro, 4, recogniseOrf, tally);
}

uint32_t recogniseOrf(const uint8_t* window, uint32_t windowLength, uint32_t, const CarveCandidate&,
                      CarveCandidate& fresh) {
    const Bytes bytes(window, windowLength);
    if (!bytes.equals(0, kIirs, 4) && !bytes.equals(0, kIiro, 4))
        return 0;
    resetCandidate(fresh);
    fresh.extension = "orf";
    return 1;
}

}  // namespace salvora
