#include "formats/mpg.h"

#include "carve/signature_registry.h"
#include "formats/register.h"
#include "media/bytes.h"

namespace salvora {

namespace {

const uint8_t kStartCodePrefix[] = {0x00, 0x00, 0x01};

constexpr uint8_t kVisualObjectSequence = 0xB0;
constexpr uint8_t kSequenceHeader = 0xB3;
constexpr uint8_t kVisualObject = 0xB5;
constexpr uint8_t kPackHeader = 0xBA;
constexpr uint8_t kSystemHeader = 0xBB;

bool acceptsStartCode(const Bytes& bytes) {
    switch (bytes.u8(3)) {
        case kVisualObjectSequence:
        case kVisualObject:
        case kPackHeader:
            return true;
        case kSequenceHeader:  // picture width (byte 4) and the rest of the size
            return bytes.u8(4) != 0 && (bytes.u8(5) != 0 || bytes.u8(6) != 0);
        case kSystemHeader:  // byte 4 nonzero and the marker bit that opens the rate bound
            return bytes.u8(4) != 0 && (bytes.u8(6) & 0x80) != 0;
        default:
            return false;
    }
}

}  // namespace

void registerMpg(FamilyTally& tally) {
    registerSignature(0, kStartCodePrefix, sizeof kStartCodePrefix, recogniseMpg, tally);
}

uint32_t recogniseMpg(const uint8_t* window, uint32_t windowLength, uint32_t, const CarveCandidate& current,
                      CarveCandidate& fresh) {
    if (isFamily(current, "mpg"))
        return 0;
    const Bytes bytes(window, windowLength);
    if (!bytes.equals(0, kStartCodePrefix, sizeof kStartCodePrefix) || !bytes.has(0, 7))
        return 0;
    if (!acceptsStartCode(bytes))
        return 0;
    resetCandidate(fresh);
    fresh.extension = "mpg";
    return 1;
}

}  // namespace salvora
