#include "carve/recovered_output.h"

#include <cerrno>

#include "media/media_reader.h"

namespace salvora {

namespace {

// A kept file may have to be judged twice: again on what reached the disk
// when the destination took only part of it.
constexpr int kJudgements = 2;

// The end check, then the limits every file keeps to, in this order: the
// bytes that were there to take (`reach`), the family's minimum size, what
// was written.
void settleSize(CarveCandidate& file, uint64_t reach) {
    if (file.tally && file.endCheck)
        file.endCheck(file);
    // The rest of a last block that runs past them is padding.
    if (file.size > reach)
        file.size = reach;
    if (file.tally && file.size > 0 && file.size < file.minSize)
        file.size = 0;
    // An end check never makes a file longer than what was written.
    if (file.size > file.output.size())
        file.size = file.output.size();
}

// Keeps the file or drops it. True when it was kept.
bool keepOrDrop(CarveCandidate& file, uint64_t reach, Status* status) {
    for (int judgement = 0; judgement < kJudgements; ++judgement) {
        settleSize(file, reach);
        if (file.size == 0)
            break;
        const int error = file.output.keep(file.size, file.extension);
        if (error == 0)
            return true;
        if (error != EFBIG) {
            if (status)
                *status = Status::fromError(kScanWriteFailed, error);
            break;
        }
        file.size = file.output.size();
    }
    file.output.remove();
    file.size = 0;
    return false;
}

std::string extensionOf(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return "";
    return path.substr(dot + 1);
}

void describe(const CarveCandidate& file, const std::string& path, SavedFile& saved) {
    saved.path = path;
    saved.family = file.tally ? file.tally->family : nullptr;
    saved.extension = extensionOf(path);
    saved.startOffset = file.startOffset;
    saved.size = file.size;
    saved.runs = {ByteRun{file.startOffset, file.size}};
    // The end check found the file stopping short of its own length, or
    // other files' data in it.
    saved.partial = file.incomplete || (file.searchAgainFrom != 0 && file.searchAgainFrom < file.size);
}

}  // namespace

bool keepCandidate(CarveCandidate& file, uint32_t& savedCounter, uint64_t reach, SavedFile* saved,
                   Status* status) {
    if (!keepOrDrop(file, reach, status))
        return false;
    const std::string path = file.output.path();
    if (file.afterSave)
        file.afterSave(path.c_str());
    ++savedCounter;
    if (saved)
        describe(file, path, *saved);
    return true;
}

std::optional<RangeRef> closeCandidate(CarveCandidate& file, uint32_t& savedCounter, uint32_t blockSize,
                                       SearchSpace& space, const MediaReader& medium, SavedFile* saved,
                                       Status* status) {
    // A file carved in one piece holds at most the bytes from its start to
    // the end of the medium.
    const uint64_t reach = file.startOffset < medium.size ? medium.size - file.startOffset : 0;
    if (file.output.isOpen() && !keepCandidate(file, savedCounter, reach, saved, status))
        return std::nullopt;
    if (!file.tally || file.size == 0)
        return std::nullopt;
    if (file.searchAgainFrom == 0 || file.searchAgainFrom >= file.size)
        return space.consumeFile(file, file.size, blockSize);
    // Only the blocks before the doubtful part leave the search space.
    return space.consumeFile(file, file.searchAgainFrom / blockSize * blockSize, blockSize);
}

std::optional<RangeRef> keepPartial(CarveCandidate& file, uint32_t& savedCounter, uint32_t blockSize,
                                    SearchSpace& space, const MediaReader& medium, SavedFile* saved,
                                    Status* status) {
    if (!file.tally || !file.output.isOpen())
        return std::nullopt;
    file.endCheck = nullptr;
    file.minSize = 0;
    file.size = file.output.size();
    const std::optional<RangeRef> next =
        closeCandidate(file, savedCounter, blockSize, space, medium, saved, status);
    if (next && saved)
        saved->partial = true;
    return next;
}

void abandonCandidate(CarveCandidate& file) {
    file.output.remove();
}

}  // namespace salvora
