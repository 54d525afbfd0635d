#include "formats/indd.h"

#include "carve/signature_registry.h"
#include "formats/register.h"
#include "media/bytes.h"

namespace salvora {

namespace {

const uint8_t kInddHeader[24] = {0x06, 0x06, 0xED, 0xF5, 0xD8, 0x1D, 0x46, 0xE5, 0xBD, 0x31, 0xEF, 0xE7,
                                 0xFE, 0x74, 0xB7, 0x1D, 'D',  'O',  'C',  'U',  'M',  'E',  'N',  'T'};
constexpr uint64_t kPageSize = 4096;
constexpr uint64_t kSlack = 40960;
constexpr uint64_t kPageCountAt = 280;

}  // namespace

void registerIndd(FamilyTally& tally) {
    registerSignature(0, kInddHeader, sizeof kInddHeader, recogniseIndd, tally);
}

uint32_t recogniseIndd(const uint8_t* window, uint32_t windowLength, uint32_t, const CarveCandidate&,
                       CarveCandidate& fresh) {
    const Bytes bytes(window, windowLength);
    if (!bytes.equals(0, kInddHeader, sizeof kInddHeader))
        return 0;
    resetCandidate(fresh);
    fresh.extension = "indd";
    // In 64 bits: a page count of 0xFFFFFFFF must not wrap to an empty document.
    fresh.expectedSize = (uint64_t{bytes.le32(kPageCountAt)} + 1) * kPageSize;
    fresh.endCheck = endCheckIndd;
    return 1;
}

void endCheckIndd(CarveCandidate& candidate) {
    if (candidate.size < candidate.expectedSize) {
        candidate.size = 0;
    } else if (candidate.size > candidate.expectedSize + kSlack) {
        candidate.size = candidate.expectedSize + kSlack;
    }
}

}  // namespace salvora
