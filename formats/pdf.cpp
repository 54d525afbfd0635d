#include "formats/pdf.h"

#include <algorithm>
#include <optional>

#include "carve/shared_checks.h"
#include "carve/signature_registry.h"
#include "formats/register.h"
#include "formats/search.h"
#include "media/bytes.h"

namespace salvora {

namespace {

const uint8_t kPdf[] = {'%', 'P', 'D', 'F', '-', '1'};
const uint8_t kEof[] = {'%', 'E', 'O', 'F'};

constexpr uint64_t kHeaderArea = 512;
constexpr uint64_t kTrailerLookBack = 20;
constexpr uint32_t kAllLineEnds = 7;  // line feed, carriage return and line feed, carriage return
// No medium is this large; a longer length field is held at this value instead of wrapping.
constexpr uint64_t kLengthCeiling = uint64_t{1} << 62;

bool isPdfWhiteSpace(uint8_t c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}
bool isDigit(uint8_t c) {
    return c >= '0' && c <= '9';
}
// True when `c`, the byte after "/L", ends that name: "/L 1234" is the length
// key, "/Length" or "/Lang" is another name.
bool endsName(uint8_t c) {
    return !((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'));
}

// The length that follows the /L key of the linearisation dictionary, when
// there is one in the header area. `from` is the byte after "Linearized".
std::optional<uint64_t> linearizedLength(const Bytes& header, uint64_t from) {
    uint64_t i = from;
    for (;; ++i) {
        if (i + 1 >= header.size())
            return std::nullopt;
        if (header.u8(i) == '>')
            return std::nullopt;
        if (header.u8(i) == '/' && header.u8(i + 1) == 'L' && endsName(header.u8(i + 2)))
            break;
    }
    i += 2;
    while (i < header.size() && isPdfWhiteSpace(header.u8(i)))
        ++i;
    if (i >= header.size() || !isDigit(header.u8(i)))
        return std::nullopt;
    uint64_t length = 0;
    for (; i < header.size() && isDigit(header.u8(i)); ++i) {
        const uint64_t digit = header.u8(i) - '0';
        length = length > (kLengthCeiling - digit) / 10 ? kLengthCeiling : length * 10 + digit;
    }
    return length;
}

}  // namespace

void registerPdf(FamilyTally& tally) {
    registerSignature(0, kPdf, sizeof kPdf, recognisePdf, tally);
}

uint32_t recognisePdf(const uint8_t* window, uint32_t windowLength, uint32_t, const CarveCandidate&,
                      CarveCandidate& fresh) {
    const Bytes bytes(window, windowLength);
    if (!bytes.equals(0, kPdf, sizeof kPdf))
        return 0;
    const Bytes header(window, std::min<uint64_t>(kHeaderArea, windowLength));
    resetCandidate(fresh);
    fresh.extension = findBytes(header.data(), header.size(), "Illustrator", 11) ? "ai" : "pdf";
    fresh.endCheck = endCheckPdf;
    const std::optional<size_t> linearized = findBytes(header.data(), header.size(), "Linearized", 10);
    if (!linearized)
        return 1;
    const std::optional<uint64_t> length = linearizedLength(header, *linearized + 10);
    if (!length)
        return 1;
    fresh.expectedSize = *length;
    fresh.blockCheck = blockCheckUntilExpected;
    fresh.endCheck = endCheckLinearizedPdf;
    return 1;
}

void endCheckPdf(CarveCandidate& candidate) {
    endCheckFindLastFooter(candidate, kEof, sizeof kEof);
    if (candidate.size > 0)
        endCheckAbsorbLineEnd(candidate, kAllLineEnds);
}

void endCheckLinearizedPdf(CarveCandidate& candidate) {
    if (candidate.size < candidate.expectedSize) {
        candidate.size = 0;
        return;
    }
    candidate.size = candidate.expectedSize;
    // A declared length below 20 bytes is looked at whole (it holds no PDF, so it is dropped).
    const uint64_t lookBack = std::min(kTrailerLookBack, candidate.size);
    uint8_t tail[kTrailerLookBack];
    const size_t got = candidate.output.readAt(candidate.size - lookBack, tail, lookBack);
    if (!findBytes(tail, got, kEof, sizeof kEof))
        candidate.size = 0;
}

}  // namespace salvora
