#include "formats/crw.h"

#include "carve/shared_checks.h"
#include "carve/signature_registry.h"
#include "formats/register.h"
#include "media/bytes.h"

namespace salvora {

namespace {
const uint8_t kLittleEndian[] = {0x49, 0x49};
const uint8_t kBigEndian[] = {0x4D, 0x4D};
const uint8_t kFooter[] = {0x0A, 0x30};
constexpr uint64_t kBytesAfterFooter = 12;
}  // namespace

void registerCrw(FamilyTally& tally) {
    registerSignature(0, kLittleEndian, 2, recogniseCrw, tally);
    registerSignature(0, kBigEndian, 2, recogniseCrw, tally);
}

uint32_t recogniseCrw(const uint8_t* window, uint32_t windowLength, uint32_t, const CarveCandidate&,
                      CarveCandidate& fresh) {
    const Bytes bytes(window, windowLength);
    if (!bytes.equals(0, kLittleEndian, 2) && !bytes.equals(0, kBigEndian, 2))
        return 0;
    if (!bytes.equalsText(6, "HEAPCCDR"))
        return 0;
    resetCandidate(fresh);
    fresh.extension = "crw";
    fresh.endCheck = endCheckCrw;
    return 1;
}

void endCheckCrw(CarveCandidate& candidate) {
    endCheckFindLastFooter(candidate, kFooter, sizeof kFooter);
    if (candidate.size != 0)
        candidate.size += kBytesAfterFooter;
}

}  // namespace salvora
