#include "carve/output_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace salvora {

OutputFile OutputFile::inMemory() {
    OutputFile file;
    file.state_ = State::kOpen;
    return file;
}

OutputFile::OutputFile(OutputFolder& folder, const char* extension, size_t memoryLimit)
    : state_(State::kOpen),
      folder_(&folder),
      extension_(extension ? extension : ""),
      memoryLimit_(memoryLimit),
      memory_(folder.takeBuffer()) {}

OutputFile::~OutputFile() {
    if (state_ == State::kOpen)
        remove();
}

OutputFile::OutputFile(OutputFile&& other) noexcept
    : state_(std::exchange(other.state_, State::kNone)),
      folder_(other.folder_),
      extension_(std::move(other.extension_)),
      memoryLimit_(other.memoryLimit_),
      file_(std::move(other.file_)),
      name_(std::move(other.name_)),
      number_(other.number_),
      size_(std::exchange(other.size_, 0)),
      memoryStart_(std::exchange(other.memoryStart_, 0)),
      memory_(std::move(other.memory_)),
      broken_(std::exchange(other.broken_, 0)),
      full_(std::exchange(other.full_, false)),
      creationFailed_(other.creationFailed_),
      cache_(std::move(other.cache_)),
      cacheStart_(other.cacheStart_) {}

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
    if (this != &other) {
        if (state_ == State::kOpen)
            remove();
        state_ = std::exchange(other.state_, State::kNone);
        folder_ = other.folder_;
        extension_ = std::move(other.extension_);
        memoryLimit_ = other.memoryLimit_;
        file_ = std::move(other.file_);
        name_ = std::move(other.name_);
        number_ = other.number_;
        size_ = std::exchange(other.size_, 0);
        memoryStart_ = std::exchange(other.memoryStart_, 0);
        memory_ = std::move(other.memory_);
        broken_ = std::exchange(other.broken_, 0);
        full_ = std::exchange(other.full_, false);
        creationFailed_ = other.creationFailed_;
        cache_ = std::move(other.cache_);
        cacheStart_ = other.cacheStart_;
    }
    return *this;
}

std::string OutputFile::path() const {
    return name_.empty() || !folder_ ? std::string() : folder_->path() + name_;
}

int OutputFile::append(const uint8_t* data, size_t length) {
    if (state_ != State::kOpen)
        return EBADF;
    if (broken_ != 0)
        return broken_;
    if (full_)
        return EFBIG;
    memory_.insert(memory_.end(), data, data + length);
    size_ += length;
    if (!folder_)
        return 0;
    if (!onDisk())
        return memory_.size() > memoryLimit_ ? spill() : 0;
    return memory_.size() >= kWritePiece ? flushMemory() : 0;
}

int OutputFile::spill() {
    int error = 0;
    file_ = folder_->createNumbered(extension_.c_str(), name_, number_, error);
    creationFailed_ = !file_.isOpen();
    if (creationFailed_)
        return fail(error);
    // The head goes out at once; later data is gathered in pieces of kWritePiece.
    return flushMemory();
}

int OutputFile::flushMemory() {
    size_t written = 0;
    const int error = file_.writeAt(memory_.data(), memory_.size(), memoryStart_, written);
    if (error != 0 && error != EFBIG)
        return fail(error);
    memoryStart_ += written;
    size_ = memoryStart_;
    memory_.clear();
    if (error == EFBIG)
        full_ = true;
    return error;
}

int OutputFile::fail(int error) {
    broken_ = error;
    return error;
}

size_t OutputFile::readAt(uint64_t offset, void* buffer, size_t length) {
    if (state_ != State::kOpen || offset >= size_ || length == 0)
        return 0;
    length = static_cast<size_t>(std::min<uint64_t>(length, size_ - offset));
    // Nothing to read: the buffer may be null (an empty vector's data()).
    if (length == 0)
        return 0;
    auto* out = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    if (offset < memoryStart_) {
        const size_t wanted = static_cast<size_t>(std::min<uint64_t>(length, memoryStart_ - offset));
        done = readFromDisk(offset, out, wanted);
        if (done < wanted)
            return done;
    }
    if (done < length) {
        const uint64_t at = offset + done - memoryStart_;
        std::memcpy(out + done, memory_.data() + at, length - done);
    }
    return length;
}

size_t OutputFile::readFromDisk(uint64_t offset, uint8_t* buffer, size_t length) {
    if (length >= kReadPiece) {
        const int64_t got = file_.readAt(offset, buffer, length);
        return got < 0 ? 0 : static_cast<size_t>(got);
    }
    const bool cached = offset >= cacheStart_ && offset + length <= cacheStart_ + cache_.size();
    if (!cached) {
        cacheStart_ = offset - offset % kReadPiece;
        cache_.resize(static_cast<size_t>(std::min<uint64_t>(kReadPiece, memoryStart_ - cacheStart_)));
        const int64_t got = file_.readAt(cacheStart_, cache_.data(), cache_.size());
        cache_.resize(got < 0 ? 0 : static_cast<size_t>(got));
    }
    if (offset < cacheStart_ || offset >= cacheStart_ + cache_.size())
        return 0;
    const size_t available = static_cast<size_t>(cacheStart_ + cache_.size() - offset);
    const size_t count = std::min(length, available);
    std::memcpy(buffer, cache_.data() + (offset - cacheStart_), count);
    return count;
}

int OutputFile::renameKept(const std::string& name) {
    if (state_ != State::kKept || !folder_)
        return EBADF;
    const int error = folder_->rename(name_, name);
    if (error == 0)
        name_ = name;
    return error;
}

int OutputFile::keep(uint64_t length, const char* extension) {
    if (state_ != State::kOpen || !folder_)
        return EBADF;
    if (broken_ != 0) {
        const int error = broken_;
        remove();
        return error;
    }
    length = std::min(length, size_);
    if (!onDisk()) {
        // Created under its final name: it is written once, at its length.
        extension_ = extension ? extension : "";
        memory_.resize(static_cast<size_t>(length));
        size_ = length;
        int error = 0;
        file_ = folder_->createNumbered(extension_.c_str(), name_, number_, error);
        creationFailed_ = !file_.isOpen();
        if (creationFailed_) {
            remove();
            return error;
        }
    }
    if (length > memoryStart_) {
        memory_.resize(static_cast<size_t>(length - memoryStart_));
        const int error = flushMemory();
        if (error == EFBIG)
            return error;
        if (error != 0) {
            remove();
            return error;
        }
    }
    int error = file_.truncate(length);
    if (error != 0) {
        remove();
        return error;
    }
    // Closed before it is renamed: Windows does not rename a file that is
    // open without delete sharing.
    if ((error = file_.close()) != 0) {
        folder_->remove(name_);
        name_.clear();
        state_ = State::kRemoved;
        release();
        return error;
    }
    const std::string wanted = outputName(number_, extension);
    if (wanted != name_ && folder_->rename(name_, wanted) == 0)
        name_ = wanted;
    state_ = State::kKept;
    folder_->numberKept(number_);
    release();
    return 0;
}

void OutputFile::remove() {
    if (state_ != State::kOpen)
        return;
    if (file_.isOpen()) {
        file_.close();
        folder_->remove(name_);
    }
    name_.clear();
    state_ = State::kRemoved;
    release();
}

void OutputFile::release() {
    size_ = 0;
    memoryStart_ = 0;
    if (folder_) {
        folder_->giveBack(std::move(memory_));
        memory_ = PageAlignedBytes();
    } else {
        PageAlignedBytes().swap(memory_);
    }
    PageAlignedBytes().swap(cache_);
}

}  // namespace salvora
