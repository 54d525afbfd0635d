#include "formats/iso_brands.h"

#include <algorithm>
#include <cstring>

#include "carve/shared_checks.h"
#include "formats/mov.h"

namespace salvora {

namespace {

constexpr size_t kBrandLength = 4;
constexpr uint64_t kSmallestFtyp = 16;  // header, major brand, minor version
constexpr uint64_t kLargestFtyp = 4096;

struct BrandRow {
    const char* brands[10];  // a brand matches when it starts with one of these
    const char* extension;
};

// Searched in this order for the compatible brands. AVIF files list "mif1"
// too, so the AVIF row stands before the HEIF row.
const BrandRow kBrandRows[] = {
    {{"avif", "avis"}, "avif"},
    {{"heic", "heix", "hevc", "hevx", "heim", "heis", "hevm", "hevs", "mif1", "msf1"}, "heic"},
    {{"crx "}, "cr3"},
    {{"M4A ", "M4B ", "M4P "}, "m4a"},
    {{"M4V"}, "m4v"},
    {{"isom", "mp41", "mp42", "mmp4"}, "mp4"},
    {{"3gp"}, "3gp"},
    {{"3g2"}, "3g2"},
    {{"jp2"}, "jp2"},
    {{"qt"}, "mov"},
};

const char* rowOf(const Bytes& body, size_t at, const BrandRow& row) {
    for (const char* brand : row.brands) {
        if (brand && body.has(at, kBrandLength) && body.equals(at, brand, std::strlen(brand)))
            return row.extension;
    }
    return nullptr;
}

const char* extensionOfBrand(const Bytes& body, size_t at) {
    for (const BrandRow& row : kBrandRows) {
        if (const char* extension = rowOf(body, at, row))
            return extension;
    }
    return nullptr;
}

const char* const kFollowingBoxes[] = {"meta", "moov", "mdat", "free", "skip", "uuid", "wide"};

bool isFollowingBox(const Bytes& window, uint64_t at) {
    if (window.be32(at) < 8)
        return false;
    return std::any_of(std::begin(kFollowingBoxes), std::end(kFollowingBoxes),
                       [&](const char* type) { return window.equals(at + 4, type, kBrandLength); });
}

}  // namespace

const char* brandExtension(const Bytes& body) {
    if (const char* major = extensionOfBrand(body, 0))
        return major;
    for (const BrandRow& row : kBrandRows) {
        for (size_t at = 2 * kBrandLength; body.has(at, kBrandLength); at += kBrandLength) {
            if (const char* extension = rowOf(body, at, row))
                return extension;
        }
    }
    return nullptr;
}

const char* ftypExtension(const Bytes& window, uint64_t& boxSize) {
    boxSize = window.be32(0);
    if (!window.equalsText(4, "ftyp") || boxSize < kSmallestFtyp || boxSize > kLargestFtyp ||
        boxSize % kBrandLength != 0 || !window.has(0, boxSize))
        return nullptr;
    return brandExtension(Bytes(window.data() + 8, boxSize - 8));
}

uint32_t acceptIsoFile(const Bytes& window, std::initializer_list<const char*> wanted,
                       CarveCandidate& fresh) {
    uint64_t boxSize = 0;
    const char* extension = ftypExtension(window, boxSize);
    if (!extension || !isFollowingBox(window, boxSize))
        return 0;
    const auto match = std::find_if(wanted.begin(), wanted.end(),
                                    [&](const char* name) { return std::strcmp(name, extension) == 0; });
    if (match == wanted.end())
        return 0;
    resetCandidate(fresh);
    fresh.extension = *match;
    fresh.minSize = boxSize + 16;  // at least two more boxes
    fresh.expectedSize = boxSize;
    fresh.blockCheck = blockCheckMov;
    fresh.endCheck = endCheckTruncateToExpected;
    return 1;
}

}  // namespace salvora
