#include "formats/riff.h"

#include "carve/shared_checks.h"
#include "carve/signature_registry.h"
#include "formats/register.h"
#include "media/bytes.h"

namespace salvora {

namespace {

const uint8_t kRiff[] = {'R', 'I', 'F', 'F'};

struct FormType {
    const char* tag;     // the form type at byte 8
    uint32_t tagLength;  // how many of its bytes must match
    const char* extension;
    bool bigEndianSize;  // the size at byte 4 is big-endian and 12 is added
};

// First match wins; anything else is taken for an AVI.
const FormType kFormTypes[] = {
    {"AVI ", 4, "avi", false},  {"CDDA", 4, "cda", false}, {"CDR", 3, "cdr", false},
    {"NUND", 4, "cpr", true},   {"RMP3", 4, "wav", false}, {"WAVE", 4, "wav", false},
    {"WEBP", 4, "webp", false},
};
const FormType kOtherForm{"", 0, "avi", false};

const FormType& formTypeOf(const Bytes& bytes) {
    for (const FormType& form : kFormTypes) {
        if (bytes.equals(8, form.tag, form.tagLength))
            return form;
    }
    return kOtherForm;
}

}  // namespace

void registerRiff(FamilyTally& tally) {
    registerSignature(0, kRiff, sizeof kRiff, recogniseRiff, tally);
}

uint32_t recogniseRiff(const uint8_t* window, uint32_t windowLength, uint32_t, const CarveCandidate&,
                       CarveCandidate& fresh) {
    const Bytes bytes(window, windowLength);
    if (!bytes.equals(0, kRiff, sizeof kRiff))
        return 0;
    const FormType& form = formTypeOf(bytes);
    resetCandidate(fresh);
    fresh.extension = form.extension;
    // In 64 bits: a size field near 2^32 must not wrap to a tiny file.
    fresh.expectedSize = form.bigEndianSize ? uint64_t{bytes.be32(4)} + 12 : uint64_t{bytes.le32(4)} + 8;
    fresh.wholeUntil = fresh.expectedSize;
    fresh.blockCheck = blockCheckUntilExpected;
    fresh.endCheck = endCheckTruncateToExpected;
    return 1;
}

}  // namespace salvora
