#include "formats/jpeg_join.h"

#include <algorithm>
#include <cstring>

#include "carve/file_map.h"
#include "formats/jpeg.h"
#include "formats/jpeg_entropy.h"
#include "media/media_reader.h"

namespace salvora {

namespace {

constexpr size_t kFeedPiece = 65536;

// The validator fed the written bytes [0, upTo); false when they could not be read back.
bool feedWritten(OutputFile& output, uint64_t upTo, JpegEntropyValidator& validator) {
    std::vector<uint8_t> piece(kFeedPiece);
    for (uint64_t at = 0; at < upTo && validator.result().verdict == JpegDataVerdict::kNeedMore;) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(kFeedPiece, upTo - at));
        const size_t got = output.readAt(at, piece.data(), want);
        if (got == 0)
            return false;
        validator.feed(piece.data(), got);
        at += got;
    }
    return true;
}

// A state of the validator where the first fragment may end.
struct Boundary {
    uint64_t fileOffset = 0;
    JpegEntropyValidator state;
};

// The validator states at the allocation-unit boundaries up to `breakAt`
// (file offsets), the latest last, at most JpegJoiner::kBoundaries of them.
std::vector<Boundary> boundariesBefore(OutputFile& output, uint64_t startOffset, uint64_t breakAt,
                                       uint64_t grain) {
    std::vector<Boundary> found;
    const uint64_t firstInFile = (grain - startOffset % grain) % grain;
    if (breakAt < firstInFile + grain)
        return found;
    // The latest boundary at or before the break, then earlier ones.
    const uint64_t last = firstInFile + (breakAt - firstInFile) / grain * grain;
    const uint64_t span = uint64_t{JpegJoiner::kBoundaries - 1} * grain;
    uint64_t first = last > span ? last - span : firstInFile;
    first = std::max(first, std::max(firstInFile, grain));
    JpegEntropyValidator validator;
    if (!feedWritten(output, first, validator))
        return found;
    std::vector<uint8_t> piece(static_cast<size_t>(grain));
    for (uint64_t at = first; at <= last; at += grain) {
        if (validator.result().verdict != JpegDataVerdict::kNeedMore)
            break;
        found.push_back({at, validator});
        if (output.readAt(at, piece.data(), piece.size()) != piece.size())
            break;
        validator.feed(piece.data(), piece.size());
    }
    return found;
}

// Feeds `validator` the medium from `offset` on until it decides, within the
// room left for the file. Returns its verdict.
JpegDataCheck tryContinuation(JpegEntropyValidator validator, MediaReader& medium, uint64_t offset,
                              uint64_t room) {
    std::vector<uint8_t> piece(JpegJoiner::kPiece);
    uint64_t read = 0;
    while (validator.result().verdict == JpegDataVerdict::kNeedMore && read < room) {
        const uint32_t want = static_cast<uint32_t>(std::min<uint64_t>(piece.size(), room - read));
        const int32_t got = medium.readAt(piece.data(), want, offset + read);
        if (got <= 0)
            break;
        validator.feed(piece.data(), static_cast<size_t>(got));
        read += static_cast<uint64_t>(got);
        if (piece.size() < JpegJoiner::kPiece * 16 && read >= piece.size() * 4)
            piece.resize(piece.size() * 4);  // a continuation that holds up is read in larger pieces
    }
    return validator.result();
}

bool heldByListedFile(const JoinSpace& space, uint64_t offset) {
    return space.map && space.map->heldByLiveFile(offset);
}

// True when the first bytes at `offset` are all one value (blank or erased
// space): no continuation of entropy-coded data starts there.
bool blankAt(MediaReader& medium, uint64_t offset) {
    uint8_t probe[64];
    if (medium.readAt(probe, sizeof probe, offset) != static_cast<int32_t>(sizeof probe))
        return true;
    return std::all_of(probe, probe + sizeof probe, [&](uint8_t byte) { return byte == probe[0]; });
}

}  // namespace

bool JpegJoiner::judges(const FileFamily& family) const {
    return family.extension && std::strcmp(family.extension, "jpg") == 0;
}

bool JpegJoiner::suspects(const CarveCandidate& candidate) const {
    return candidate.endCheck != endCheckJpegWalked;
}

JoinResult JpegJoiner::judge(OutputFile& output, uint64_t written, uint64_t startOffset, MediaReader& medium,
                             const JoinSpace& space) const {
    JoinResult result;
    JpegEntropyValidator whole;
    if (!feedWritten(output, written, whole))
        return result;
    JpegDataCheck check = whole.result();
    if (check.verdict == JpegDataVerdict::kNeedMore)
        check = whole.finish();
    if (check.verdict == JpegDataVerdict::kValid) {
        result.outcome = JoinOutcome::kSound;
        return result;
    }
    if (check.verdict != JpegDataVerdict::kBadData || space.grain == 0)
        return result;
    result.outcome = JoinOutcome::kBroken;
    const std::vector<Boundary> boundaries = boundariesBefore(output, startOffset, check.offset, space.grain);
    if (boundaries.empty())
        return result;
    // Continuations start on a boundary after the earliest possible end of the first fragment.
    uint64_t candidate = startOffset + boundaries.front().fileOffset + space.grain;
    for (uint32_t tried = 0; tried < space.candidates && candidate < medium.size; candidate += space.grain) {
        if (heldByListedFile(space, candidate))
            continue;
        ++tried;
        if (blankAt(medium, candidate))
            continue;
        for (auto boundary = boundaries.rbegin(); boundary != boundaries.rend(); ++boundary) {
            const uint64_t fragmentEnd = startOffset + boundary->fileOffset;
            if (candidate <= fragmentEnd)
                continue;
            const uint64_t room =
                kLargestFile > boundary->fileOffset ? kLargestFile - boundary->fileOffset : 0;
            const JpegDataCheck joined = tryContinuation(boundary->state, medium, candidate, room);
            if (joined.verdict != JpegDataVerdict::kValid)
                continue;
            result.outcome = JoinOutcome::kJoined;
            result.runs = {{startOffset, boundary->fileOffset},
                           {candidate, joined.offset - boundary->fileOffset}};
            return result;
        }
    }
    return result;
}

bool JpegJoiner::soundAlong(MediaReader& medium, const std::vector<ByteRun>& runs) const {
    JpegEntropyValidator validator;
    std::vector<uint8_t> piece(kFeedPiece);
    for (const ByteRun& run : runs) {
        for (uint64_t at = 0; at < run.length && validator.result().verdict == JpegDataVerdict::kNeedMore;) {
            const uint32_t want = static_cast<uint32_t>(std::min<uint64_t>(piece.size(), run.length - at));
            const int32_t got = medium.readAt(piece.data(), want, run.offset + at);
            if (got <= 0)
                return false;
            validator.feed(piece.data(), static_cast<size_t>(got));
            at += static_cast<uint64_t>(got);
        }
    }
    JpegDataCheck check = validator.result();
    if (check.verdict == JpegDataVerdict::kNeedMore)
        check = validator.finish();
    return check.verdict != JpegDataVerdict::kBadData;
}

}  // namespace salvora
