#include "formats/zip.h"

#include <algorithm>
#include <cstring>

#include "carve/signature_registry.h"
#include "formats/register.h"
#include "formats/search.h"
#include "formats/window_walk.h"
#include "formats/zip_records.h"
#include "media/bytes.h"

namespace salvora {

namespace {

const uint8_t kLocalHeader[] = {'P', 'K', 3, 4};
const uint8_t kSpannedLocalHeader[] = {'P', 'K', '0', '0', 'P', 'K', 3, 4};

constexpr uint32_t kFirstNameOffset = 30;
constexpr uint64_t kZipMinSize = 21;
constexpr size_t kOfficeTypeSearch = 2000;

// The first member's name followed directly by its stored content.
struct FirstMember {
    const char* text;
    const char* extension;  // null: decided by officeExtension / starOfficeExtension
};

const char kStarOffice[] = "mimetypeapplication/vnd.sun.xml.";
const char kContentTypes[] = "[Content_Types].xml";

const FirstMember kFirstMembers[] = {
    {kStarOffice, nullptr},
    {"mimetypeapplication/vnd.oasis.opendocument.graphics", "odg"},
    {"mimetypeapplication/vnd.oasis.opendocument.presentation", "odp"},
    {"mimetypeapplication/vnd.oasis.opendocument.spreadsheet", "ods"},
    {"mimetypeapplication/vnd.oasis.opendocument.text", "odt"},
    {kContentTypes, nullptr},
};

struct Word {
    const char* word;
    const char* extension;
};

const Word kStarOfficeWords[] = {{"calc", "sxc"}, {"draw", "sxd"}, {"impress", "sxi"}, {"writer", "sxw"}};

const char* starOfficeExtension(const Bytes& window) {
    const size_t at = kFirstNameOffset + std::strlen(kStarOffice);
    for (const Word& word : kStarOfficeWords) {
        if (window.equals(at, word.word, std::strlen(word.word)))
            return word.extension;
    }
    return "sxw";
}

// The first of "word", "xl" and "ppt" that occurs in the first positions of
// the window names the package; a Word document when none does.
const char* officeExtension(const Bytes& window) {
    const Word kinds[] = {{"word", "docx"}, {"xl", "xlsx"}, {"ppt", "pptx"}};
    for (const Word& kind : kinds) {
        const size_t length = std::strlen(kind.word);
        const size_t limit = std::min(kOfficeTypeSearch, window.size() - length + 1);
        if (offsetPastMatch(window.data(), limit, kind.word, length) != 0)
            return kind.extension;
    }
    return "docx";
}

const char* extensionFromFirstMember(const Bytes& window) {
    for (const FirstMember& member : kFirstMembers) {
        if (!window.equals(kFirstNameOffset, member.text, std::strlen(member.text)))
            continue;
        if (member.extension)
            return member.extension;
        return member.text == kStarOffice ? starOfficeExtension(window) : officeExtension(window);
    }
    return "zip";
}

// --- Following the members of the archive in progress -----------------------

constexpr uint64_t kLocalHeaderLength = 30;
const uint8_t kDescriptorSignature[] = {'P', 'K', 7, 8};

BlockVerdict blockCheckZipDescriptor(const uint8_t* window, uint32_t windowLength, CarveCandidate& candidate);

void stopFollowing(CarveCandidate& candidate) {
    candidate.blockCheck = nullptr;
    candidate.expectedSize = 0;
}

// One step at the local header due at expectedSize. False when it is not in
// the window yet or the members can no longer be followed.
bool followHeader(const WindowWalk& w, CarveCandidate& candidate) {
    const uint64_t at = candidate.expectedSize;
    if (!w.holds(at, kLocalHeaderLength))
        return false;
    const uint64_t j = w.index(at);
    const Bytes& bytes = w.bytes();
    if (bytes.le32(j) != kLocalFileHeader) {
        stopFollowing(candidate);
        return false;
    }
    const uint16_t flags = bytes.le16(j + 6);
    const uint16_t method = bytes.le16(j + 8);
    const uint32_t compressed = bytes.le32(j + 18);
    const uint64_t data = at + kLocalHeaderLength + bytes.le16(j + 26) + bytes.le16(j + 28);
    if (hasSearchedDescriptor(flags, method)) {
        candidate.expectedSize = data;
        candidate.blockCheck = blockCheckZipDescriptor;
        return true;
    }
    if (compressed == 0xFFFFFFFFu) {  // the size is in a zip64 field
        stopFollowing(candidate);
        return false;
    }
    candidate.expectedSize = data + compressed;
    return true;
}

// One step of the search for the data descriptor that ends the member whose
// data starts at (or was searched up to) expectedSize.
bool followDescriptor(const WindowWalk& w, CarveCandidate& candidate) {
    uint64_t from = candidate.expectedSize;
    if (from >= w.end())
        return false;
    if (w.before(from)) {
        stopFollowing(candidate);
        return false;
    }
    const Bytes& bytes = w.bytes();
    while (true) {
        const uint64_t j = w.index(from);
        const std::optional<size_t> hit =
            findBytes(bytes.data() + j, bytes.size() - j, kDescriptorSignature, 4);
        if (!hit) {
            // A signature across the window's end is found by the next check.
            candidate.expectedSize = std::max(from, w.end() - 3);
            return false;
        }
        const uint64_t found = from + *hit;
        // The record after a descriptor of 16 bytes, or of 24 with 8-byte sizes.
        for (const uint64_t length : {uint64_t{16}, uint64_t{24}}) {
            const uint64_t next = found + length;
            if (next == w.end()) {
                // Its signature opens the next block: recogniseZip judges it there.
                candidate.expectedSize = next;
                candidate.blockCheck = blockCheckZip;
                return false;
            }
            if (next + 4 > w.end()) {
                candidate.expectedSize = found;
                return false;
            }
            const uint32_t signature = bytes.le32(w.index(next));
            if (signature == kLocalFileHeader) {
                candidate.expectedSize = next;
                candidate.blockCheck = blockCheckZip;
                return true;
            }
            if (signature == kCentralDirectoryHeader) {
                stopFollowing(candidate);
                return false;
            }
        }
        from = found + 1;  // the signature was part of the member's data
    }
}

void followMembers(const uint8_t* window, uint32_t windowLength, CarveCandidate& candidate) {
    const WindowWalk w(window, windowLength, candidate);
    bool moved = true;
    while (moved && candidate.blockCheck) {
        moved = candidate.blockCheck == blockCheckZip ? followHeader(w, candidate)
                                                      : followDescriptor(w, candidate);
    }
}

BlockVerdict blockCheckZipDescriptor(const uint8_t* window, uint32_t windowLength,
                                     CarveCandidate& candidate) {
    followMembers(window, windowLength, candidate);
    return BlockVerdict::kContinue;
}

// The local header lies exactly where the next member of the archive in
// progress is due: it belongs to that archive.
bool isNextMember(const CarveCandidate& current) {
    return isFamily(current, "zip") && current.blockCheck == blockCheckZip &&
           current.expectedSize == current.size;
}

}  // namespace

void registerZip(FamilyTally& tally) {
    registerSignature(0, kLocalHeader, sizeof kLocalHeader, recogniseZip, tally);
    registerSignature(0, kSpannedLocalHeader, sizeof kSpannedLocalHeader, recogniseZip, tally);
}

uint32_t recogniseZip(const uint8_t* window, uint32_t windowLength, uint32_t, const CarveCandidate& current,
                      CarveCandidate& fresh) {
    const Bytes bytes(window, windowLength);
    if (!bytes.equals(0, kLocalHeader, sizeof kLocalHeader)) {
        if (!bytes.equals(0, kSpannedLocalHeader, sizeof kSpannedLocalHeader))
            return 0;
        // The walk of the end check does not follow spanned archives: this
        // ends the file in progress, and the end check drops this one.
        resetCandidate(fresh);
        fresh.endCheck = endCheckZip;
        fresh.extension = "zip";
        return 1;
    }
    if (isNextMember(current))
        return 0;
    resetCandidate(fresh);
    fresh.minSize = kZipMinSize;
    fresh.endCheck = endCheckZip;
    fresh.extension = extensionFromFirstMember(bytes);
    fresh.blockCheck = blockCheckZip;
    return 1;
}

BlockVerdict blockCheckZip(const uint8_t* window, uint32_t windowLength, CarveCandidate& candidate) {
    followMembers(window, windowLength, candidate);
    return BlockVerdict::kContinue;
}

}  // namespace salvora
