#include "formats/mrw.h"

#include "carve/shared_checks.h"
#include "carve/signature_registry.h"
#include "formats/register.h"
#include "media/bytes.h"

namespace salvora {

namespace {
const uint8_t kSignature[] = {0x00, 0x4D, 0x52, 0x4D};
const uint8_t kPictureBlock[] = {0x00, 0x50, 0x52, 0x44};
constexpr uint64_t kHeaderBytes = 8;
}  // namespace

void registerMrw(FamilyTally& tally) {
    registerSignature(0, kSignature, 4, recogniseMrw, tally);
}

uint32_t recogniseMrw(const uint8_t* window, uint32_t windowLength, uint32_t, const CarveCandidate&,
                      CarveCandidate& fresh) {
    const Bytes bytes(window, windowLength);
    if (!bytes.equals(0, kSignature, 4) || !bytes.equals(8, kPictureBlock, 4))
        return 0;
    const uint64_t dataOffset = bytes.be32(4);
    const uint64_t width = bytes.be16(26);
    const uint64_t height = bytes.be16(24);
    const uint64_t bitsPerPixel = bytes.u8(32);
    resetCandidate(fresh);
    fresh.extension = "mrw";
    fresh.expectedSize = dataOffset + kHeaderBytes + (width * height * bitsPerPixel + 7) / 8;
    fresh.blockCheck = blockCheckUntilExpected;
    fresh.endCheck = endCheckTruncateToExpected;
    return 1;
}

}  // namespace salvora
