#include "carve/scan.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "carve/output_file.h"
#include "carve/signature_registry.h"
#include "media/error_text.h"
#include "media/media_reader.h"

namespace salvora {

namespace {

constexpr uint32_t kMinimumWindow = 65536;
constexpr int kDiscoveryStarts = 10;
constexpr size_t kOutputBuffer = 1 << 20;

// One previous block followed by a refill area. The block under examination
// sits at current() with at least windowLength bytes of look-ahead.
class ScanBuffer {
  public:
    explicit ScanBuffer(uint32_t blockSize)
        : blockSize_(blockSize), data_(blockSize + kRefillSize, 0), previous_(0), current_(blockSize) {}

    uint8_t* current() { return data_.data() + current_; }
    uint8_t* previous() { return data_.data() + previous_; }
    void step() {
        previous_ += blockSize_;
        current_ += blockSize_;
    }
    bool windowFits(uint32_t windowLength) const { return current_ + windowLength <= data_.size(); }
    // Keeps the previous block as the previous block of the refill.
    void carryPrevious() {
        std::memmove(data_.data(), previous(), blockSize_);
        rewind();
    }
    // The next block does not follow the previous one: there is no previous block.
    void dropPrevious() {
        std::memset(data_.data(), 0, blockSize_);
        rewind();
    }
    int32_t refill(MediaReader& medium, uint64_t offset) {
        return medium.readAt(current(), kRefillSize, offset);
    }

  private:
    void rewind() {
        previous_ = 0;
        current_ = blockSize_;
    }

    uint32_t blockSize_;
    std::vector<uint8_t> data_;
    size_t previous_;
    size_t current_;
};

uint32_t windowLengthFor(uint32_t blockSize) {
    return std::max(blockSize, kMinimumWindow);
}

void noteReadFailure(uint64_t offset) {
    if (!lastErrorText().empty())
        return;
    char text[160];
    std::snprintf(text, sizeof text, "Error in ReadFile.\nError Code:%d\nDescription:%s (offset %llu)", EIO,
                  std::strerror(EIO), static_cast<unsigned long long>(offset));
    setLastErrorText(text);
}

// Finds up to ten file starts with strict recognition and marks them, so the
// block size and grid can be derived from their alignment.
int32_t discoveryPass(MediaReader& medium, SearchSpace& space, const SignatureRegistry& registry,
                      uint32_t blockSize, ScanObserver& observer) {
    const uint32_t windowLength = windowLengthFor(blockSize);
    ScanBuffer buffer(blockSize);
    CarveCandidate none;
    CarveCandidate fresh;
    RangeRef range = space.ranges.begin();
    if (range == space.head())
        return kScanFinished;
    uint64_t offset = range->start;
    if (buffer.refill(medium, offset) <= 0) {
        noteReadFailure(offset);
        return kScanReadFailed;
    }
    int startsFound = 0;
    while (range != space.head()) {
        if (observer.stopRequested())
            return kScanStopped;
        const uint64_t offsetAtStart = offset;
        FamilyTally* tally = registry.findHeader(buffer.current(), windowLength, 1, none, fresh);
        if (tally && tally->family) {
            range = markFileStart(space, range, offset, tally);
            ++startsFound;
        }
        if (startsFound >= kDiscoveryStarts) {
            range = space.head();
        } else {
            advance(space, range, offset, blockSize);
        }
        buffer.step();
        if (range == space.head())
            break;
        if (offset == offsetAtStart + blockSize && buffer.windowFits(windowLength))
            continue;
        buffer.carryPrevious();
        if (buffer.refill(medium, offset) <= 0) {
            noteReadFailure(offset);
            return kScanReadFailed;
        }
    }
    return kScanFinished;
}

class CarvingPass {
  public:
    CarvingPass(MediaReader& medium, const std::string& folder, SearchSpace& space,
                const SignatureRegistry& registry, uint32_t blockSize, ScanObserver& observer,
                uint32_t& savedCounter)
        : medium_(medium),
          folder_(folder),
          space_(space),
          registry_(registry),
          blockSize_(blockSize),
          windowLength_(windowLengthFor(blockSize)),
          observer_(observer),
          savedCounter_(savedCounter),
          buffer_(blockSize) {}

    int32_t run();

  private:
    bool fileInProgress() const { return current_.tally != nullptr; }
    void lookForHeader();
    void startOutput();
    void handleBlock();
    void moveOn();
    void closeCurrent();
    int percentDone() const;

    MediaReader& medium_;
    const std::string& folder_;
    SearchSpace& space_;
    const SignatureRegistry& registry_;
    const uint32_t blockSize_;
    const uint32_t windowLength_;
    ScanObserver& observer_;
    uint32_t& savedCounter_;
    ScanBuffer buffer_;

    CarveCandidate current_;
    CarveCandidate fresh_;
    RangeRef range_{};
    uint64_t offset_ = 0;
    bool moved_ = true;
    uint32_t keptCount_ = 0;
    int32_t result_ = kScanFinished;
    uint64_t extentStart_ = 0;
    uint64_t extentEnd_ = 0;
};

int32_t CarvingPass::run() {
    range_ = space_.ranges.begin();
    if (range_ == space_.head())
        return kScanFinished;
    extentStart_ = space_.ranges.front().start;
    extentEnd_ = space_.ranges.back().end;
    offset_ = range_->start;
    if (buffer_.refill(medium_, offset_) <= 0) {
        noteReadFailure(offset_);
        return kScanReadFailed;
    }
    observer_.progressStarted(extentStart_, extentEnd_);
    while (range_ != space_.head()) {
        if (observer_.stopRequested()) {
            abandonCandidate(current_);
            return kScanStopped;
        }
        moved_ = true;
        const uint64_t offsetAtStart = offset_;
        lookForHeader();
        if (fileInProgress() && current_.path.empty())
            startOutput();
        if (fileInProgress())
            handleBlock();
        moveOn();
        if (range_ == space_.head()) {
            if (result_ > 0) {
                // The file in progress was not written whole: it is not kept.
                abandonCandidate(current_);
                return result_;
            }
            closeCurrent();
            if (range_ == space_.head())
                break;
        }
        buffer_.step();
        if (moved_ && offset_ == offsetAtStart + blockSize_ && buffer_.windowFits(windowLength_))
            continue;
        if (moved_) {
            buffer_.carryPrevious();
        } else {
            buffer_.dropPrevious();
        }
        if (buffer_.refill(medium_, offset_) <= 0) {
            noteReadFailure(offset_);
            abandonCandidate(current_);
            return kScanReadFailed;
        }
    }
    return result_;
}

void CarvingPass::lookForHeader() {
    if (fileInProgress()) {
        const uint64_t holdoff = current_.tally->family->headerHoldoff;
        if (holdoff > 0 && current_.size <= holdoff)
            return;
    }
    FamilyTally* tally = registry_.findHeader(buffer_.current(), windowLength_, 0, current_, fresh_);
    if (!tally || !tally->family)
        return;
    range_ = markFileStart(space_, range_, offset_, tally);
    fresh_.startRange = range_;
    fresh_.startOffset = offset_;
    closeCurrent();
    if (result_ != kScanFinished)
        return;
    // When a file was just saved the scan goes back and meets this header again.
    if (moved_)
        current_ = fresh_;
}

void CarvingPass::startOutput() {
    if (!outputPath(folder_, keptCount_, current_.extension, current_.path)) {
        current_.path = "-";  // no output for this file
        setLastErrorText(std::strerror(ENAMETOOLONG));
        result_ = kScanCreateFailed;
        return;
    }
    if (current_.tally->family->saveOutput != 1)
        return;
    current_.output = openOutputFile(current_.path);
    if (!current_.output) {
        setLastErrorText(std::strerror(errno));
        result_ = kScanCreateFailed;
        return;
    }
    std::setvbuf(current_.output, nullptr, _IOFBF, kOutputBuffer);
}

void CarvingPass::handleBlock() {
    uint32_t status = 1;
    if (current_.output) {
        errno = 0;
        if (std::fwrite(buffer_.current(), blockSize_, 1, current_.output) < 1) {
            const int error = errno;
            setLastErrorText(std::strerror(error));
            if (error == EFBIG) {
                status = 2;
            } else {
                result_ = kScanWriteFailed;
            }
        }
    }
    if (result_ != kScanFinished)
        return;
    range_ = markBlock(space_, range_, offset_, 1);
    if (current_.blockCheck) {
        const uint32_t checked = current_.blockCheck(buffer_.previous(), 2 * blockSize_, current_);
        if (status != 2)
            status = checked;
    }
    current_.size += blockSize_;
    const uint64_t limit = current_.tally->family->sizeLimit;
    if (status != 2 && limit > 0 && current_.size >= limit)
        status = 2;
    if (status == 2)
        closeCurrent();
}

void CarvingPass::moveOn() {
    if (result_ > 0) {
        range_ = space_.head();
    } else if (moved_) {
        observer_.progress(percentDone(), offset_);
        advance(space_, range_, offset_, blockSize_);
    } else {
        backToPreviousStart(space_, range_, offset_);
    }
}

void CarvingPass::closeCurrent() {
    SavedFile saved;
    int writeError = 0;
    const std::optional<RangeRef> next =
        closeCandidate(current_, savedCounter_, blockSize_, space_, medium_, &saved, &writeError);
    if (writeError != 0) {
        setLastErrorText(std::strerror(writeError));
        if (writeError != EFBIG)
            result_ = kScanWriteFailed;
    }
    if (next) {
        range_ = *next;
        if (range_ != space_.head())
            offset_ = range_->start;
        moved_ = false;
        ++keptCount_;
        observer_.fileSaved(keptCount_, saved);
    }
    resetCandidate(current_);
}

int CarvingPass::percentDone() const {
    if (extentEnd_ <= extentStart_ || offset_ <= extentStart_)
        return offset_ > extentStart_ ? 100 : 0;
    const double percent =
        static_cast<double>(offset_ - extentStart_) * 100.0 / static_cast<double>(extentEnd_ - extentStart_);
    return std::clamp(static_cast<int>(percent), 0, 100);
}

}  // namespace

int32_t runScan(MediaReader& medium, const std::string& destinationFolder, const EnabledFamilies& families,
                SearchSpace& searchSpace, uint32_t blockSize, ScanObserver& observer,
                uint32_t& savedCounter) {
    (void)blockSize;  // the block size is always found by the discovery pass
    const uint32_t sectorSize = medium.sectorSize ? medium.sectorSize : 512;
    SignatureRegistry registry;
    registry.build(families);
    int32_t result = discoveryPass(medium, searchSpace, registry, sectorSize, observer);
    if (result == kScanFinished) {
        uint64_t phase = 0;
        const uint32_t carveBlockSize = deriveBlockSize(searchSpace, sectorSize, phase);
        alignToGrid(carveBlockSize, searchSpace, phase);
        CarvingPass pass(medium, destinationFolder, searchSpace, registry, carveBlockSize, observer,
                         savedCounter);
        result = pass.run();
    }
    searchSpace.clear();
    registry.release();
    return result;
}

}  // namespace salvora
