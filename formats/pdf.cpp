#include "formats/pdf.h"

#include <algorithm>
#include <optional>

#include "carve/shared_checks.h"
#include "carve/signature_registry.h"
#include "formats/register.h"
#include "formats/search.h"
#include "formats/window_walk.h"
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

// Bytes looked at after "%EOF" to tell an incremental update from what follows the file.
constexpr uint64_t kAfterEofLook = 128;

enum class AfterEof { kUpdate, kOther, kUnknown };

// The index after the white space and the digits from `at` on; `digits`
// tells how many digits there were.
uint64_t skipNumber(const Bytes& bytes, uint64_t at, uint64_t& digits) {
    while (isPdfWhiteSpace(bytes.u8(at)) && at < bytes.size())
        ++at;
    digits = 0;
    while (isDigit(bytes.u8(at)) && at < bytes.size()) {
        ++at;
        ++digits;
    }
    return at;
}

// What follows the end of file marker (and its line end) at window index
// `at`: an incremental update (an object "N G obj" or a cross-reference
// table "xref"), anything else (the file is over), or not enough bytes to tell.
AfterEof afterEof(const Bytes& bytes, uint64_t at) {
    if (!bytes.has(at, kAfterEofLook))
        return AfterEof::kUnknown;
    const Bytes look(bytes.data() + at, kAfterEofLook);
    // Comment lines (as "%BeginExifToolUpdate") may open the update.
    uint64_t i = 0;
    while (true) {
        while (i < look.size() && isPdfWhiteSpace(look.u8(i)))
            ++i;
        if (look.u8(i) != '%' || look.equalsText(i, "%PDF"))
            break;
        while (i < look.size() && look.u8(i) != '\n' && look.u8(i) != '\r')
            ++i;
    }
    uint64_t number = 0;
    uint64_t generation = 0;
    i = skipNumber(look, i, number);
    if (number == 0)
        return look.equalsText(i, "xref") ? AfterEof::kUpdate : AfterEof::kOther;
    if (!isPdfWhiteSpace(look.u8(i)))
        return AfterEof::kOther;
    i = skipNumber(look, i, generation);
    if (generation == 0 || !isPdfWhiteSpace(look.u8(i)))
        return AfterEof::kOther;
    while (isPdfWhiteSpace(look.u8(i)) && i < look.size())
        ++i;
    return look.equalsText(i, "obj") ? AfterEof::kUpdate : AfterEof::kOther;
}

// The length of the line end at window index `at` (0, 1 or 2 bytes).
uint64_t lineEnd(const Bytes& bytes, uint64_t at) {
    if (bytes.u8(at) == '\r')
        return bytes.u8(at + 1) == '\n' ? 2 : 1;
    return bytes.u8(at) == '\n' ? 1 : 0;
}

}  // namespace

BlockVerdict blockCheckPdf(const uint8_t* window, uint32_t windowLength, CarveCandidate& candidate) {
    const WindowWalk walk(window, windowLength, candidate);
    const Bytes& bytes = walk.bytes();
    if (walk.before(candidate.expectedSize))
        candidate.expectedSize = walk.end() - walk.half();  // the start of the current block
    while (walk.holds(candidate, sizeof kEof - 1)) {
        const uint64_t from = walk.index(candidate);
        const std::optional<size_t> found =
            findBytes(bytes.data() + from, windowLength - from, kEof, sizeof kEof);
        if (!found) {
            // A marker across the window's end is looked at again next time.
            candidate.expectedSize += windowLength - from - (sizeof kEof - 1);
            break;
        }
        const uint64_t marker = from + *found;
        const uint64_t end = marker + sizeof kEof + lineEnd(bytes, marker + sizeof kEof);
        const AfterEof next = afterEof(bytes, end);
        if (next == AfterEof::kUnknown) {
            candidate.expectedSize += *found;  // judged again with the next block
            break;
        }
        if (next == AfterEof::kOther) {
            candidate.expectedSize += end - from;
            candidate.blockCheck = nullptr;
            candidate.endCheck = endCheckTruncateToExpected;
            return BlockVerdict::kFileEnds;
        }
        candidate.expectedSize += end - from;
    }
    return BlockVerdict::kContinue;
}

BlockVerdict blockCheckLinearizedPdf(const uint8_t* window, uint32_t windowLength,
                                     CarveCandidate& candidate) {
    const WindowWalk walk(window, windowLength, candidate);
    if (walk.before(candidate.expectedSize))
        return BlockVerdict::kFileEnds;
    // The bytes after the declared length are needed to tell an update.
    if (!walk.holdsWhole(candidate.expectedSize, kAfterEofLook))
        return BlockVerdict::kContinue;
    if (afterEof(walk.bytes(), walk.index(candidate.expectedSize)) != AfterEof::kUpdate)
        return BlockVerdict::kFileEnds;
    // An incremental update was saved after the linearised file: it is
    // walked on to the "%EOF" that no further update follows.
    candidate.blockCheck = blockCheckPdf;
    candidate.endCheck = endCheckPdf;
    return blockCheckPdf(window, windowLength, candidate);
}

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
    fresh.blockCheck = blockCheckPdf;
    const std::optional<size_t> linearized = findBytes(header.data(), header.size(), "Linearized", 10);
    if (!linearized)
        return 1;
    const std::optional<uint64_t> length = linearizedLength(header, *linearized + 10);
    if (!length)
        return 1;
    fresh.expectedSize = *length;
    fresh.blockCheck = blockCheckLinearizedPdf;
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
