#include "carve/scan.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "carve/output_folder.h"
#include "carve/page_aligned.h"
#include "carve/run_carve.h"
#include "carve/signature_registry.h"
#include "media/error_text.h"
#include "media/limited_reader.h"
#include "media/media_reader.h"

namespace salvora {

namespace {

constexpr uint32_t kMinimumWindow = 65536;
constexpr int kDiscoveryStarts = 10;

// One previous block followed by a refill area. The block under examination
// sits at current() with at least windowLength bytes of look-ahead.
//
// The buffer remembers which bytes of the medium its refill area holds. A
// move to a block among them keeps those bytes and reads only what follows
// them: the look-ahead carried over each refill, and the blocks after a
// saved file, are not read a second time.
class ScanBuffer {
  public:
    explicit ScanBuffer(uint32_t blockSize)
        : blockSize_(blockSize), data_(blockSize + kRefillSize, 0), previous_(0), current_(blockSize) {}

    const uint8_t* current() const { return data_.data() + current_; }
    const uint8_t* previous() const { return data_.data() + previous_; }
    void step() {
        previous_ += blockSize_;
        current_ += blockSize_;
    }
    bool windowFits(uint32_t windowLength) const { return current_ + windowLength <= data_.size(); }

    // Puts the block at `offset` at current() with a whole refill area from
    // it (zeros past the end of the medium). With `carry`, the previous block stays the previous block (the
    // block at `offset` follows it); otherwise there is no previous block. False when the read returned no
    // data.
    bool moveTo(MediaReader& medium, uint64_t offset, bool carry) {
        if (carry) {
            std::memmove(data_.data(), previous(), blockSize_);
        } else {
            std::memset(data_.data(), 0, blockSize_);
        }
        previous_ = 0;
        current_ = blockSize_;
        uint8_t* area = data_.data() + blockSize_;
        if (offset < heldStart_ || offset >= heldEnd_)
            return readArea(medium, offset);
        const size_t kept = static_cast<size_t>(heldEnd_ - offset);
        std::memmove(area, area + (offset - heldStart_), kept);
        heldStart_ = offset;
        if (mediumEnded_) {
            std::memset(area + kept, 0, kRefillSize - kept);
            return true;
        }
        const int32_t got =
            medium.readAt(area + kept, static_cast<uint32_t>(kRefillSize - kept), offset + kept);
        // Nothing after the held bytes (the medium may end right there, or a
        // read failed): the area is read whole, as a first refill is.
        if (got <= 0)
            return readArea(medium, offset);
        heldEnd_ = offset + kept + static_cast<uint32_t>(got);
        mediumEnded_ = kept + static_cast<uint32_t>(got) < kRefillSize;
        return true;
    }

  private:
    bool readArea(MediaReader& medium, uint64_t offset) {
        const int32_t got = medium.readAt(data_.data() + blockSize_, kRefillSize, offset);
        heldStart_ = offset;
        heldEnd_ = offset + static_cast<uint32_t>(std::max(got, 0));
        mediumEnded_ = got < static_cast<int32_t>(kRefillSize);
        return got > 0;
    }

    uint32_t blockSize_;
    PageAlignedBytes data_;
    size_t previous_;
    size_t current_;
    // The medium bytes [heldStart_, heldEnd_) lie in the refill area; past
    // heldEnd_ it holds zeros when the medium ended there.
    uint64_t heldStart_ = 0;
    uint64_t heldEnd_ = 0;
    bool mediumEnded_ = false;
};

uint32_t windowLengthFor(uint32_t blockSize) {
    return std::max(blockSize, kMinimumWindow);
}

// A read at `offset` returned no data: the read layer's own words when it
// left them, else the read-failure text with the offset.
Status readFailure(uint64_t offset) {
    std::string text = lastErrorText();
    if (text.empty()) {
        char generic[160];
        std::snprintf(generic, sizeof generic,
                      "Error in ReadFile.\nError Code:%d\nDescription:%s (offset %llu)", EIO,
                      std::strerror(EIO), static_cast<unsigned long long>(offset));
        text = generic;
    }
    return Status(kScanReadFailed, text);
}

// What the discovery pass found and how far it read.
struct Discovery {
    Status status;
    uint64_t readUpTo = 0;  // when it ended early: the first medium offset it did not examine
    int starts = 0;         // file starts marked in the search space
};

// Finds up to ten file starts with strict recognition and marks them, so the
// block size and grid can be derived from their alignment.
Discovery discoveryPass(MediaReader& medium, SearchSpace& space, const SignatureRegistry& registry,
                        ScanObserver& observer) {
    const uint32_t blockSize = space.sectorSize();
    const uint32_t windowLength = windowLengthFor(blockSize);
    Discovery found;
    RangeRef range = space.begin();
    if (range == space.head())
        return found;
    observer.discoveryStarted(space.front().start, space.back().end);
    ScanBuffer buffer(blockSize);
    CarveCandidate none;
    CarveCandidate fresh;
    uint64_t offset = range->start;
    const auto stopAt = [&](Status status) {
        found.status = std::move(status);
        found.readUpTo = offset;
        return found;
    };
    if (!buffer.moveTo(medium, offset, false))
        return stopAt(readFailure(offset));
    while (range != space.head()) {
        if (observer.stopRequested())
            return stopAt(Status(kScanStopped, ""));
        const uint64_t offsetAtStart = offset;
        FamilyTally* tally = registry.findHeader(buffer.current(), windowLength, 1, none, fresh);
        if (tally && tally->family) {
            range = space.markFileStart(range, offset, tally);
            ++found.starts;
        }
        if (found.starts >= kDiscoveryStarts) {
            range = space.head();
        } else {
            space.advance(range, offset, blockSize);
        }
        buffer.step();
        if (range == space.head())
            break;
        if (offset == offsetAtStart + blockSize && buffer.windowFits(windowLength))
            continue;
        observer.discoveryProgress(offset);
        if (!buffer.moveTo(medium, offset, true))
            return stopAt(readFailure(offset));
    }
    return found;
}

class CarvingPass {
  public:
    CarvingPass(MediaReader& medium, OutputFolder& folder, SearchSpace& space,
                const SignatureRegistry& registry, uint32_t blockSize, ScanObserver& observer,
                uint32_t& savedCounter, const ScanAids& aids, bool endsAtReadFailure = false)
        : aids_(aids),
          medium_(medium),
          folder_(folder),
          space_(space),
          registry_(registry),
          blockSize_(blockSize),
          windowLength_(windowLengthFor(blockSize)),
          observer_(observer),
          savedCounter_(savedCounter),
          endsAtReadFailure_(endsAtReadFailure),
          buffer_(blockSize) {}

    Status run();

  private:
    bool fileInProgress() const { return current_.tally != nullptr; }
    bool failed() const { return !status_.ok(); }
    void lookForHeader();
    void startOutput();
    void handleBlock();
    void moveOn();
    enum class Close { kWhole, kPartial };
    void closeCurrent(Close how = Close::kWhole);
    Status keepInterrupted(Status status);
    bool nextWindow(uint64_t offsetAtStart);
    Status abandon(Status status);
    int percentDone(uint64_t offset) const;
    bool carveMapped();
    bool judgedAtClose() const;
    bool joinCurrent();
    void nameAfter(const MappedFile& mapped, OutputFile& output, SavedFile& saved);
    void keptAlong(const std::vector<ByteRun>& runs, SavedFile& saved, uint64_t resumeAt);
    void removeRuns(const std::vector<ByteRun>& runs, uint64_t phase);
    void resumeAt(uint64_t offset, uint64_t phase);

    const ScanAids& aids_;
    MediaReader& medium_;
    OutputFolder& folder_;
    SearchSpace& space_;
    const SignatureRegistry& registry_;
    const uint32_t blockSize_;
    const uint32_t windowLength_;
    ScanObserver& observer_;
    uint32_t& savedCounter_;
    const bool endsAtReadFailure_;  // the medium ends where a read failed
    ScanBuffer buffer_;

    CarveCandidate current_;
    CarveCandidate fresh_;
    // What recognition set in the file in progress, before its walk moved
    // it on: a join carves the file again from there.
    CarveCandidate recognised_;
    RangeRef range_{};
    uint64_t offset_ = 0;
    bool moved_ = true;
    bool jumped_ = false;         // the position was set anew: the next step starts there
    bool brokenCurrent_ = false;  // the file being closed breaks and could not be joined
    // First block at which the file in progress kept headers from being
    // looked for (0: none); a file that is then dropped has them looked
    // for again.
    uint64_t skippedFrom_ = 0;
    uint32_t keptCount_ = 0;
    Status status_;
    uint64_t extentStart_ = 0;
    uint64_t extentEnd_ = 0;
};

Status CarvingPass::run() {
    range_ = space_.begin();
    if (range_ == space_.head())
        return status_;
    extentStart_ = space_.front().start;
    extentEnd_ = space_.back().end;
    offset_ = range_->start;
    if (!buffer_.moveTo(medium_, offset_, false))
        return readFailure(offset_);
    observer_.progressStarted(extentStart_, extentEnd_);
    while (range_ != space_.head()) {
        if (observer_.stopRequested())
            return abandon(Status(kScanStopped, ""));
        moved_ = true;
        jumped_ = false;
        const uint64_t offsetAtStart = offset_;
        lookForHeader();
        if (fileInProgress())
            handleBlock();
        moveOn();
        if (range_ == space_.head()) {
            // A file not written whole is not kept.
            if (failed())
                return abandon(status_);
            if (endsAtReadFailure_) {
                closeCurrent(Close::kPartial);
            } else {
                closeCurrent();
            }
            if (range_ == space_.head())
                break;
        }
        if (!nextWindow(offsetAtStart))
            return keepInterrupted(readFailure(offset_));
    }
    return status_;
}

// A read failure ends the pass: the file in progress stays as written,
// marked partial.
Status CarvingPass::keepInterrupted(Status status) {
    closeCurrent(Close::kPartial);
    return status;
}

// Moves the buffer to the block at offset_, refilling it when the block or
// its look-ahead is not in memory. False when the refill returned no data.
bool CarvingPass::nextWindow(uint64_t offsetAtStart) {
    buffer_.step();
    if (moved_ && offset_ == offsetAtStart + blockSize_ && buffer_.windowFits(windowLength_))
        return true;
    return buffer_.moveTo(medium_, offset_, moved_);
}

Status CarvingPass::abandon(Status status) {
    abandonCandidate(current_);
    return status;
}

void CarvingPass::lookForHeader() {
    if (fileInProgress()) {
        const uint64_t holdoff = current_.tally->family->headerHoldoff;
        if (holdoff > 0 && current_.size <= holdoff)
            return;
        // Inside a container whose structure goes on past this block, a
        // header is that of an embedded file (a video frame, a picture).
        if (current_.size < current_.wholeUntil) {
            if (skippedFrom_ == 0)
                skippedFrom_ = offset_;
            return;
        }
    }
    FamilyTally* tally = registry_.findHeader(buffer_.current(), windowLength_, 0, current_, fresh_);
    if (!tally || !tally->family)
        return;
    range_ = space_.markFileStart(range_, offset_, tally);
    fresh_.startRange = range_;
    fresh_.startOffset = offset_;
    closeCurrent();
    if (failed())
        return;
    // When a file was just saved or dropped over blocks it hid, the scan goes
    // back and meets this header again.
    if (moved_) {
        current_ = std::move(fresh_);
        recognised_ = recognisedCopy(current_);
        if (!carveMapped())
            startOutput();
    }
}

// A file start at the first byte of a mapped file: the file is carved along
// the map's runs. False when the map has no usable file here.
bool CarvingPass::carveMapped() {
    if (!aids_.fileMap || current_.tally->family->saveOutput != OutputMode::kWrite)
        return false;
    const FileFamily& family = *current_.tally->family;
    for (const MappedFile* mapped : aids_.fileMap->startingAt(offset_)) {
        if (mapped->deleted && aids_.joiner && aids_.joiner->judges(family) &&
            !aids_.joiner->soundAlong(medium_, mapped->runs)) {
            continue;  // the guessed placement does not decode: carving and joining decide
        }
        CarveCandidate file = recognisedCopy(recognised_);
        SavedFile saved;
        if (!carveAlongRuns(file, mapped->runs, blockSize_, medium_, folder_, savedCounter_, saved,
                            status_)) {
            if (failed())
                return true;
            continue;
        }
        // A deleted entry's placement is a guess: when the family's own end
        // rules end the file before the size the entry records, the guess
        // ran into other data, and what was kept is only the file's start.
        saved.partial = saved.partial || !mapped->complete || (mapped->deleted && saved.size < mapped->size);
        nameAfter(*mapped, file.output, saved);
        resetCandidate(current_);
        keptAlong(saved.runs, saved, offset_ + blockSize_);
        return true;
    }
    return false;
}

// A kept file that a mapped file describes takes its name: in the report,
// and in the folder when names come from the map.
void CarvingPass::nameAfter(const MappedFile& mapped, OutputFile& output, SavedFile& saved) {
    saved.sourceName = mapped.name;
    if (!aids_.namesFromMap)
        return;
    const std::string safe = safeFileName(mapped.name);
    char number[16];
    std::snprintf(number, sizeof number, "KV%05u_", output.number());
    if (!safe.empty() && output.renameKept(number + safe) == 0) {
        saved.path = output.path();
        const size_t dot = safe.rfind('.');
        saved.extension = dot == std::string::npos ? "" : safe.substr(dot + 1);
    }
}

// A file was kept along `runs`: they leave the search space and the scan
// goes on at `resume` (or the first byte after it that is still searched).
void CarvingPass::keptAlong(const std::vector<ByteRun>& runs, SavedFile& saved, uint64_t resume) {
    const uint64_t phase = saved.startOffset % blockSize_;
    removeRuns(runs, phase);
    resumeAt(resume, phase);
    ++keptCount_;
    observer_.fileSaved(keptCount_, saved);
}

// Takes the whole blocks of `runs` out of the search space.
void CarvingPass::removeRuns(const std::vector<ByteRun>& runs, uint64_t phase) {
    for (const ByteRun& run : runs) {
        if (run.length == 0 || run.offset < phase)
            continue;
        const uint64_t first = (run.offset - phase + blockSize_ - 1) / blockSize_ * blockSize_ + phase;
        const uint64_t end = (run.offset + run.length - phase) / blockSize_ * blockSize_ + phase;
        if (first < end)
            space_.removeBytes(first, end - 1);
    }
}

// Sets the scan position to the first searched block at or after `offset`.
void CarvingPass::resumeAt(uint64_t offset, uint64_t phase) {
    const uint64_t onGrid =
        offset <= phase ? phase : (offset - phase + blockSize_ - 1) / blockSize_ * blockSize_ + phase;
    range_ = space_.begin();
    while (range_ != space_.head() && range_->end < onGrid)
        ++range_;
    if (range_ != space_.head())
        offset_ = std::max(range_->start, onGrid);
    moved_ = false;
    jumped_ = true;
}

void CarvingPass::startOutput() {
    if (current_.tally->family->saveOutput == OutputMode::kWrite)
        current_.output = OutputFile(folder_, current_.extension);
}

void CarvingPass::handleBlock() {
    BlockVerdict verdict = BlockVerdict::kContinue;
    bool cutShort = false;
    if (current_.output.isOpen()) {
        uint64_t length = blockSize_;
        if (current_.writeUntil != 0)
            length = current_.writeUntil > current_.size
                         ? std::min(length, current_.writeUntil - current_.size)
                         : 0;
        const int error = length == 0 ? 0 : current_.output.append(buffer_.current(), length);
        if (error == EFBIG) {
            cutShort = true;  // the destination takes no more of this file
        } else if (error != 0) {
            const ScanResult code = current_.output.creationFailed() ? kScanCreateFailed : kScanWriteFailed;
            status_ = Status::fromError(code, error);
            return;
        }
    }
    range_ = space_.markBlock(range_, offset_, 1);
    if (current_.blockCheck)
        verdict = current_.blockCheck(buffer_.previous(), 2 * blockSize_, current_);
    current_.size += blockSize_;
    const uint64_t limit = current_.tally->family->sizeLimit;
    if (cutShort || (limit > 0 && current_.size >= limit))
        verdict = BlockVerdict::kFileEnds;
    if (verdict == BlockVerdict::kFileEnds) {
        const uint64_t examined = offset_;
        closeCurrent();
        // The scan goes on elsewhere: the block was examined all the same.
        if (!moved_)
            observer_.progress(percentDone(examined), examined);
    }
}

void CarvingPass::moveOn() {
    if (failed()) {
        range_ = space_.head();
    } else if (jumped_) {
        return;
    } else if (moved_) {
        observer_.progress(percentDone(offset_), offset_);
        space_.advance(range_, offset_, blockSize_);
    } else {
        space_.backToPreviousStart(range_, offset_);
    }
}

// A judged file whose data breaks: carved again along a validated join, or
// marked partial. True when the join was kept (the position is set anew).
bool CarvingPass::joinCurrent() {
    JoinSpace joinSpace;
    joinSpace.map = aids_.fileMap;
    joinSpace.grain = aids_.fileMap && aids_.fileMap->grain() ? aids_.fileMap->grain() : blockSize_;
    const JoinResult result = aids_.joiner->judge(current_.output, current_.output.size(),
                                                  current_.startOffset, medium_, joinSpace);
    if (result.outcome == JoinOutcome::kBroken)
        brokenCurrent_ = true;
    if (result.outcome != JoinOutcome::kJoined)
        return false;
    CarveCandidate file = recognisedCopy(recognised_);
    SavedFile saved;
    if (!carveAlongRuns(file, result.runs, blockSize_, medium_, folder_, savedCounter_, saved, status_))
        return false;
    abandonCandidate(current_);
    resetCandidate(current_);
    // A deleted entry whose placement did not decode still names the file it starts.
    if (aids_.fileMap) {
        for (const MappedFile* mapped : aids_.fileMap->startingAt(saved.startOffset)) {
            if (mapped->size == saved.size) {
                nameAfter(*mapped, file.output, saved);
                break;
            }
        }
    }
    // The bytes after the first fragment are searched again: another file's data lay there.
    keptAlong(saved.runs, saved, result.runs.front().offset + result.runs.front().length);
    return true;
}

// On a volume whose map is given, files that the map does not carry are
// where fragments are found, so each of them is judged; elsewhere only a file
// whose carve shows a break is (decoding every photo costs far more than
// carving it).
bool CarvingPass::judgedAtClose() const {
    if (!aids_.joiner || !fileInProgress() || !current_.output.isOpen() || current_.output.size() == 0)
        return false;
    if (!aids_.joiner->judges(*current_.tally->family))
        return false;
    return aids_.fileMap != nullptr || aids_.joiner->suspects(current_);
}

void CarvingPass::closeCurrent(Close how) {
    brokenCurrent_ = false;
    const uint64_t skippedFrom = skippedFrom_;
    skippedFrom_ = 0;
    if (how == Close::kWhole && judgedAtClose() && joinCurrent())
        return;
    if (failed())
        return;
    SavedFile saved;
    const std::optional<RangeRef> next =
        how == Close::kPartial
            ? keepPartial(current_, savedCounter_, blockSize_, space_, medium_, &saved, &status_)
            : closeCandidate(current_, savedCounter_, blockSize_, space_, medium_, &saved, &status_);
    if (next) {
        range_ = *next;
        if (range_ != space_.head())
            offset_ = range_->start;
        moved_ = false;
        ++keptCount_;
        saved.partial = saved.partial || brokenCurrent_;
        observer_.fileSaved(keptCount_, saved);
    } else if (skippedFrom != 0 && skippedFrom < offset_) {
        // A container that was not kept hid the headers in its blocks (its
        // announced size ran over other files): they are looked for again.
        resumeAt(skippedFrom, skippedFrom % blockSize_);
    }
    resetCandidate(current_);
}

int CarvingPass::percentDone(uint64_t offset) const {
    if (extentEnd_ <= extentStart_ || offset <= extentStart_)
        return offset > extentStart_ ? 100 : 0;
    const double percent =
        static_cast<double>(offset - extentStart_) * 100.0 / static_cast<double>(extentEnd_ - extentStart_);
    return std::clamp(static_cast<int>(percent), 0, 100);
}

// The block size for the carving pass and the grid it lies on.
uint32_t alignSpace(SearchSpace& space, const Discovery& discovery) {
    uint64_t phase = 0;
    uint32_t blockSize = space.deriveBlockSize(phase);
    if (!discovery.status.ok() && discovery.starts == 0) {
        // Nothing was found before the pass ended: the sector grid of the space.
        blockSize = space.sectorSize();
        phase = space.empty() ? 0 : space.front().start % blockSize;
    }
    space.alignToGrid(blockSize, phase);
    return blockSize;
}

// The whole allocation units of listed files after their first one leave
// the search space: no file carved in one piece runs through them, their own
// starts stay to be found, and every range still starts on a unit boundary.
void setListedFilesAside(SearchSpace& space, const FileMap& map) {
    const uint64_t grain = map.grain() ? map.grain() : 512;
    for (const MappedFile& file : map.files()) {
        // A file in one piece is carved whole from its start whether or not
        // its mapped carve succeeds: taking its later units out would only cut
        // that carve short.
        if (file.deleted || file.runs.size() < 2)
            continue;
        bool first = true;
        for (const ByteRun& run : file.runs) {
            const uint64_t skip = first ? grain : 0;
            const uint64_t whole = run.length / grain * grain;
            first = false;
            if (whole > skip)
                space.removeBytes(run.offset + skip, run.offset + whole - 1);
        }
    }
}

Status scanInto(OutputFolder& folder, MediaReader& medium, const EnabledFamilies& families,
                SearchSpace& space, const ScanAids& aids, ScanObserver& observer, uint32_t& savedCounter) {
    space.setSectorSize(medium.sectorSize);
    if (aids.fileMap)
        setListedFilesAside(space, *aids.fileMap);
    SignatureRegistry registry;
    registry.build(families);
    const Discovery discovery = discoveryPass(medium, space, registry, observer);
    if (discovery.status.ok()) {
        const uint32_t blockSize = alignSpace(space, discovery);
        return CarvingPass(medium, folder, space, registry, blockSize, observer, savedCounter, aids).run();
    }
    // The part the discovery pass read is carved all the same, as a medium that ends there.
    space.removeBytes(discovery.readUpTo, UINT64_MAX);
    const uint32_t blockSize = alignSpace(space, discovery);
    if (space.empty())
        return discovery.status;
    LimitedReader readPart(medium, discovery.readUpTo);
    const bool readFailed = discovery.status.code == kScanReadFailed;
    Status carved =
        CarvingPass(readPart, folder, space, registry, blockSize, observer, savedCounter, aids, readFailed)
            .run();
    return carved.ok() ? discovery.status : carved;
}

}  // namespace

int32_t runScan(MediaReader& medium, const std::string& destinationFolder, const EnabledFamilies& families,
                SearchSpace& searchSpace, uint32_t blockSize, ScanObserver& observer,
                uint32_t& savedCounter) {
    (void)blockSize;  // the block size is always found by the discovery pass
    return runScan(medium, destinationFolder, families, searchSpace, ScanAids{}, observer, savedCounter);
}

int32_t runScan(MediaReader& medium, const std::string& destinationFolder, const EnabledFamilies& families,
                SearchSpace& searchSpace, const ScanAids& aids, ScanObserver& observer,
                uint32_t& savedCounter) {
    Status status;
    OutputFolder folder;
    if (const int error = folder.open(destinationFolder); error != 0) {
        status = Status::fromError(kScanCreateFailed, error);
    } else {
        status = scanInto(folder, medium, families, searchSpace, aids, observer, savedCounter);
    }
    searchSpace.clear();
    if (!status.text.empty())
        setLastErrorText(status.text);
    return status.code;
}

}  // namespace salvora
