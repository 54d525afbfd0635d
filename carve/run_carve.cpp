#include "carve/run_carve.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "media/media_reader.h"

namespace salvora {

namespace {

// Reads the bytes [at, at + length) of the file that `runs` hold. Returns
// the count read; bytes the medium does not give stay as they were.
size_t readAlong(MediaReader& medium, const std::vector<ByteRun>& runs, uint64_t at, uint8_t* buffer,
                 size_t length) {
    size_t done = 0;
    uint64_t runStart = 0;
    for (const ByteRun& run : runs) {
        if (done == length)
            break;
        const uint64_t runEnd = runStart + run.length;
        if (at + done < runEnd) {
            const uint64_t inRun = at + done - runStart;
            const size_t piece = static_cast<size_t>(std::min<uint64_t>(length - done, run.length - inRun));
            const int64_t got = medium.readAt(buffer + done, piece, run.offset + inRun);
            if (got <= 0)
                break;
            done += static_cast<size_t>(got);
            if (static_cast<size_t>(got) < piece)
                break;
        }
        runStart = runEnd;
    }
    return done;
}

uint64_t totalLength(const std::vector<ByteRun>& runs) {
    uint64_t total = 0;
    for (const ByteRun& run : runs)
        total += run.length;
    return total;
}

// The bytes of `runs` that lie on a medium of `mediumSize` bytes, up to the
// first one past its end.
uint64_t lengthOnMedium(const std::vector<ByteRun>& runs, uint64_t mediumSize) {
    uint64_t total = 0;
    for (const ByteRun& run : runs) {
        if (run.offset >= mediumSize)
            break;
        const uint64_t on = std::min(run.length, mediumSize - run.offset);
        total += on;
        if (on < run.length)
            break;
    }
    return total;
}

}  // namespace

std::vector<ByteRun> runsUpTo(const std::vector<ByteRun>& runs, uint64_t length) {
    std::vector<ByteRun> cut;
    for (const ByteRun& run : runs) {
        if (length == 0)
            break;
        const uint64_t piece = std::min(length, run.length);
        cut.push_back({run.offset, piece});
        length -= piece;
    }
    return cut;
}

CarveCandidate recognisedCopy(const CarveCandidate& file) {
    CarveCandidate copy;
    copy.tally = file.tally;
    copy.startRange = file.startRange;
    copy.startOffset = file.startOffset;
    copy.extension = file.extension;
    copy.minSize = file.minSize;
    copy.expectedSize = file.expectedSize;
    copy.wholeUntil = file.wholeUntil;
    copy.carried = file.carried;  // the walk state its recogniser set
    copy.blockCheck = file.blockCheck;
    copy.endCheck = file.endCheck;
    copy.afterSave = file.afterSave;
    return copy;
}

bool carveAlongRuns(CarveCandidate& file, const std::vector<ByteRun>& runs, uint32_t blockSize,
                    MediaReader& medium, OutputFolder& folder, uint32_t& savedCounter, SavedFile& saved,
                    Status& status) {
    const uint64_t total = totalLength(runs);
    if (total == 0 || !file.tally || !file.tally->family)
        return false;
    file.output = OutputFile(folder, file.extension);
    std::vector<uint8_t> window(2 * size_t{blockSize}, 0);
    uint8_t* const current = window.data() + blockSize;
    const uint64_t limit = file.tally->family->sizeLimit;
    // Whole blocks, as in the contiguous carve: the last one is padded with
    // zeros past the runs, the way a last block past the end of the medium
    // is, so that the family's end rules see the file as they see one that
    // ends with the medium. What it keeps is then cut to the runs.
    for (uint64_t at = 0; at < total; at += blockSize) {
        std::memmove(window.data(), current, blockSize);
        std::memset(current, 0, blockSize);
        const size_t length = static_cast<size_t>(std::min<uint64_t>(blockSize, total - at));
        readAlong(medium, runs, at, current, length);
        const int error = file.output.append(current, blockSize);
        if (error != 0 && error != EFBIG) {
            const ScanResult code = file.output.creationFailed() ? kScanCreateFailed : kScanWriteFailed;
            status = Status::fromError(code, error);
            file.output.remove();
            return false;
        }
        BlockVerdict verdict = BlockVerdict::kContinue;
        if (file.blockCheck)
            verdict = file.blockCheck(window.data(), 2 * blockSize, file);
        file.size += blockSize;
        if (error == EFBIG || verdict == BlockVerdict::kFileEnds || (limit > 0 && file.size >= limit))
            break;
    }
    if (!keepCandidate(file, savedCounter, lengthOnMedium(runs, medium.size), &saved, &status))
        return false;
    saved.runs = runsUpTo(runs, saved.size);
    saved.joined = saved.runs.size() > 1;
    return true;
}

std::string safeFileName(const std::string& name) {
    std::string safe;
    for (const char c : name) {
        const unsigned char byte = static_cast<unsigned char>(c);
        const bool refused = byte < 0x20 || byte == 0x7F || std::strchr("/\\:*?\"<>|", c) != nullptr;
        safe += refused ? '_' : c;
    }
    while (!safe.empty() && (safe.back() == '.' || safe.back() == ' '))
        safe.pop_back();
    constexpr size_t kLongest = 200;
    if (safe.size() > kLongest) {
        size_t cut = kLongest;
        while (cut > 0 && (static_cast<unsigned char>(safe[cut]) & 0xC0) == 0x80)
            --cut;
        safe.resize(cut);
    }
    return safe;
}

}  // namespace salvora
